#include "ui/point_map.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "print/qt_messages.h"

namespace quorvel {

const QColor PointMap::kInside(0, 90, 200);
const QColor PointMap::kOutside(220, 0, 0);
const QColor PointMap::kDistorted(240, 130, 0);

namespace {

constexpr int kMargin = 28;           // room for the axis labels
constexpr double kNear = 6;           // pixels from a point that still point at it
constexpr std::size_t kRings = 5000;  // selected points ringed at most

}  // namespace

QString PointMap::AxisText(double v, bool geographic, double span) {
    if (!geographic || !(std::fabs(v) < 1e6)) return QString::number(v, 'f', span < 10 ? 2 : 0);
    // Whole seconds, or hundredths where the view spans little more than a minute.
    const int decimals = span < 0.02 ? 2 : 0;
    const long long scale = decimals > 0 ? 100 : 1;
    const auto total = static_cast<long long>(std::llround(std::fabs(v) * 3600 * scale));
    const long long degrees = total / (3600 * scale);
    const long long minutes = total % (3600 * scale) / (60 * scale);
    const long long seconds = total % (60 * scale);
    return QStringLiteral("%1%2.%3%4")
        .arg(v < 0 && total > 0 ? QStringLiteral("-") : QString())
        .arg(degrees)
        .arg(minutes, 2, 10, QChar(u'0'))
        .arg(seconds, 2 + decimals, 10, QChar(u'0'));
}

PointMap::PointMap(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 200);
    setToolTip(QStringLiteral("滚轮缩放，拖动平移，双击显示全部"));
}

void PointMap::SetData(MapData data) {
    data_ = std::move(data);
    ready_ = true;
    const MapData& m = data_;
    const bool meridian = std::isfinite(m.meridian);
    double x0 = meridian ? m.meridian : HUGE_VAL, x1 = meridian ? m.meridian : -HUGE_VAL;
    double y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (std::size_t i = 0; i < m.x.size(); ++i) {
        if (!std::isfinite(m.x[i]) || !std::isfinite(m.y[i])) continue;
        x0 = std::min(x0, m.x[i]);
        x1 = std::max(x1, m.x[i]);
        y0 = std::min(y0, m.y[i]);
        y1 = std::max(y1, m.y[i]);
    }
    if (y0 > y1) {  // no point at all: nothing to frame
        all_ = view_ = QRectF();
        update();
        return;
    }
    const double pad = std::max({x1 - x0, y1 - y0, m.geographic ? 0.1 : 10000.0}) * 0.05;
    all_ = QRectF(QPointF(x0 - pad, y0 - pad), QPointF(x1 + pad, y1 + pad));
    ShowAll();
}

QRectF PointMap::Fitted(QRectF wanted) const {
    const double w = std::max(1, width() - 2 * kMargin);
    const double h = std::max(1, height() - 2 * kMargin);
    const double scale = std::max(wanted.width() / w, wanted.height() / h);
    const QPointF c = wanted.center();
    return {c.x() - scale * w / 2, c.y() - scale * h / 2, scale * w, scale * h};
}

void PointMap::ShowAll() {
    showingAll_ = true;
    view_ = Fitted(all_);
    stale_ = true;
    update();
}

void PointMap::ZoomAt(QPointF pixel, double factor) {
    if (!ready_ || Empty()) return;
    const QPointF at = ToPlane(pixel);
    showingAll_ = false;
    view_ =
        QRectF(at.x() - (at.x() - view_.left()) / factor, at.y() - (at.y() - view_.top()) / factor,
               view_.width() / factor, view_.height() / factor);
    stale_ = true;
    update();
}

QPointF PointMap::ToPixel(double x, double y) const {
    const double w = width() - 2 * kMargin, h = height() - 2 * kMargin;
    return {kMargin + (x - view_.left()) / view_.width() * w,
            kMargin + (view_.bottom() - y) / view_.height() * h};  // north up
}

QPointF PointMap::ToPlane(QPointF p) const {
    const double w = width() - 2 * kMargin, h = height() - 2 * kMargin;
    return {view_.left() + (p.x() - kMargin) / w * view_.width(),
            view_.bottom() - (p.y() - kMargin) / h * view_.height()};
}

void PointMap::Render() {
    points_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    points_.fill(Qt::transparent);
    const MapData& m = data_;
    const double w = width() - 2 * kMargin, h = height() - 2 * kMargin;
    const double sx = w / view_.width(), sy = h / view_.height();
    const QRgb inside = kInside.rgba(), outside = kOutside.rgba(), distorted = kDistorted.rgba();
    const int iw = points_.width(), ih = points_.height();
    // Few points are drawn larger, so that a handful stand out; many stay fine-grained.
    const int dot = m.x.size() < 2000 ? 4 : 2;
    for (std::size_t i = 0; i < m.x.size(); ++i) {
        const double px = kMargin + (m.x[i] - view_.left()) * sx;
        const double py = kMargin + (view_.bottom() - m.y[i]) * sy;
        if (!(px >= 0 && py >= 0 && px < iw - dot && py < ih - dot)) continue;
        const int x = static_cast<int>(px), y = static_cast<int>(py);
        const bool beyond = i < m.distorted.size() && m.distorted[i];
        const QRgb colour = m.outside[i] ? outside : beyond ? distorted : inside;
        // Red, then orange, wins where points fall on one pixel, so no outlier hides.
        for (int dy = 0; dy < dot; ++dy) {
            auto* line = reinterpret_cast<QRgb*>(points_.scanLine(y + dy));
            for (int dx = 0; dx < dot; ++dx) {
                QRgb& pixel = line[x + dx];
                if (pixel != outside && (pixel != distorted || colour == outside)) pixel = colour;
            }
        }
    }
    stale_ = false;
}

void PointMap::SetSelected(std::vector<std::size_t> points) {
    selected_ = std::move(points);
    update();
}

QPointF PointMap::PixelOf(std::size_t point) const {
    const double half = data_.x.size() < 2000 ? 2 : 1;  // the dot's centre, as Render draws it
    return ToPixel(data_.x.at(point), data_.y.at(point)) + QPointF(half, half);
}

std::optional<std::size_t> PointMap::PointAt(QPointF pixel) const {
    if (!ready_ || Empty()) return std::nullopt;
    const double w = width() - 2 * kMargin, h = height() - 2 * kMargin;
    const double sx = w / view_.width(), sy = h / view_.height();
    const double half = data_.x.size() < 2000 ? 2 : 1;
    std::optional<std::size_t> nearest;
    double best = kNear * kNear;
    for (std::size_t i = 0; i < data_.x.size(); ++i) {
        const double dx = kMargin + half + (data_.x[i] - view_.left()) * sx - pixel.x();
        const double dy = kMargin + half + (view_.bottom() - data_.y[i]) * sy - pixel.y();
        const double d = dx * dx + dy * dy;  // NaN for a point not drawn: never nearer
        if (d <= best) {
            best = d;
            nearest = i;
        }
    }
    return nearest;
}

bool PointMap::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::optional<std::size_t> point = PointAt(help->pos());
        if (point && nameOf_) {
            QToolTip::showText(help->globalPos(), nameOf_(*point), this);
            return true;
        }
    }
    return QWidget::event(event);
}

void PointMap::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!ready_) {
        p.drawText(rect(), Qt::AlignCenter, QtMessage(Tr("Preparing the map of the points…")));
        return;
    }
    if (Empty()) {
        p.drawText(rect(), Qt::AlignCenter,
                   QtMessage(Tr("No point was computed: nothing to map.")));
        return;
    }
    const MapData& m = data_;
    const double top = view_.bottom(), bottom = view_.top();

    // The band, the meridian and the points inside the frame; the labels around it.
    const QRect plot(kMargin, kMargin, width() - 2 * kMargin, height() - 2 * kMargin);
    p.setClipRect(plot);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 245, 235));
    if (!std::isfinite(m.meridian)) {
        // Points each on its own zone's meridian: no band to draw.
    } else if (m.geographic) {
        const QPointF a = ToPixel(m.meridian - 3, top), b = ToPixel(m.meridian + 3, bottom);
        p.drawRect(QRectF(a, b));
    } else if (!m.eastEdge.empty()) {
        // A zone runs from pole to pole: beyond the northings its edges were computed for, the
        // band goes on straight north and south past the view, as wide as at its ends (the
        // width the points are judged by there).
        const double south = std::min(bottom, m.westEdge.front().second) - view_.height();
        const double north = std::max(top, m.westEdge.back().second) + view_.height();
        QPainterPath band;
        band.moveTo(ToPixel(m.westEdge.front().first, south));
        for (const auto& [x, y] : m.westEdge) band.lineTo(ToPixel(x, y));
        band.lineTo(ToPixel(m.westEdge.back().first, north));
        band.lineTo(ToPixel(m.eastEdge.back().first, north));
        for (auto it = m.eastEdge.rbegin(); it != m.eastEdge.rend(); ++it)
            band.lineTo(ToPixel(it->first, it->second));
        band.lineTo(ToPixel(m.eastEdge.front().first, south));
        band.closeSubpath();
        p.drawPath(band);
    }
    if (std::isfinite(m.meridian)) {
        p.setPen(QPen(QColor(0, 130, 0), 1, Qt::DashLine));
        p.drawLine(ToPixel(m.meridian, top), ToPixel(m.meridian, bottom));
    }

    if (stale_ || points_.size() != size()) Render();
    p.drawImage(0, 0, points_);
    // The rows selected in the table, ringed.
    p.setPen(QPen(QColor(255, 140, 0), 2));
    p.setBrush(Qt::NoBrush);
    for (std::size_t k = 0; k < selected_.size() && k < kRings; ++k) {
        const std::size_t i = selected_[k];
        if (i >= m.x.size() || !std::isfinite(m.x[i]) || !std::isfinite(m.y[i])) continue;
        p.drawEllipse(PixelOf(i), 6.0, 6.0);
    }
    p.setClipping(false);

    // Axis labels at the corners of the view.
    p.setPen(Qt::black);
    const QString xName = m.geographic ? QStringLiteral("L") : QStringLiteral("Y");
    const QString yName = m.geographic ? QStringLiteral("B") : QStringLiteral("X");
    const double span = std::min(view_.width(), view_.height());
    p.drawText(QRect(0, height() - kMargin + 4, width(), kMargin - 4), Qt::AlignLeft,
               xName + u' ' + AxisText(view_.left(), m.geographic, span));
    p.drawText(QRect(0, height() - kMargin + 4, width(), kMargin - 4), Qt::AlignRight,
               AxisText(view_.right(), m.geographic, span));
    p.drawText(QRect(2, 2, width(), kMargin), Qt::AlignLeft,
               yName + u' ' + AxisText(top, m.geographic, span));
    p.drawText(QRect(2, height() - 2 * kMargin, width(), kMargin), Qt::AlignLeft | Qt::AlignBottom,
               AxisText(bottom, m.geographic, span));
    p.setPen(QColor(160, 160, 160));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

void PointMap::resizeEvent(QResizeEvent*) {
    view_ = Fitted(showingAll_ ? all_ : view_);
    stale_ = true;
}

void PointMap::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) ZoomAt(event->position(), std::pow(1.25, steps));
    event->accept();
}

void PointMap::mousePressEvent(QMouseEvent* event) {
    dragFrom_ = event->position().toPoint();
    dragView_ = view_;
}

void PointMap::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || Empty()) return;
    const QPointF d = event->position() - dragFrom_;
    const double w = width() - 2 * kMargin, h = height() - 2 * kMargin;
    showingAll_ = false;
    view_ = dragView_.translated(-d.x() / w * dragView_.width(), d.y() / h * dragView_.height());
    stale_ = true;
    update();
}

void PointMap::mouseReleaseEvent(QMouseEvent* event) {
    // A click, not the end of a drag: the point under it, for the table to select.
    if (event->button() != Qt::LeftButton ||
        (event->position().toPoint() - dragFrom_).manhattanLength() > 3)
        return;
    if (const std::optional<std::size_t> point = PointAt(event->position()))
        emit pointClicked(*point);
}

void PointMap::mouseDoubleClickEvent(QMouseEvent*) {
    ShowAll();
}

void PointMap::keyPressEvent(QKeyEvent* event) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomAt(centre, 1.5);
            break;
        case Qt::Key_Minus:
            ZoomAt(centre, 1 / 1.5);
            break;
        case Qt::Key_Home:
            ShowAll();
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace quorvel
