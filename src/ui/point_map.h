#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/file_job.h"

namespace quorvel {

// The points of a computed file on a plane: longitude and latitude (or easting and northing for
// a zone change), the central meridian and the band 3° either side of it, points outside the
// band in red, points whose length distortion exceeds the limit in orange. The wheel zooms about
// the pointer, dragging pans, a double click (or Home) shows every point again. However many points
// there are, each pixel is painted once. Resting the pointer on a point shows its name; clicking
// one tells which; the points selected in the table are ringed. Axes are labelled in packed degrees
// (metres for a zone change).
class PointMap : public QWidget {
    Q_OBJECT

  public:
    // Empty until SetData gives it the points.
    explicit PointMap(QWidget* parent = nullptr);
    void SetData(MapData data);
    bool HasData() const { return ready_; }
    // Whether the data holds no point to draw.
    bool Empty() const { return all_.isNull(); }
    // The name of point `i` (the row of the table), shown when the pointer rests on it.
    void SetNames(std::function<QString(std::size_t)> nameOf) { nameOf_ = std::move(nameOf); }
    // Points ringed on the map: the rows selected in the table.
    void SetSelected(std::vector<std::size_t> points);
    const std::vector<std::size_t>& selected() const { return selected_; }
    // The point drawn nearest `pixel`, within a few pixels.
    std::optional<std::size_t> PointAt(QPointF pixel) const;
    QPointF PixelOf(std::size_t point) const;
    // A view edge as the axes label it: packed degrees (d.mmss), or metres for a zone change.
    static QString AxisText(double value, bool geographic, double span);

    QSize sizeHint() const override { return {420, 420}; }

    // The part of the plane shown, in the map's units.
    QRectF view() const { return view_; }
    void ShowAll();
    void ZoomAt(QPointF pixel, double factor);

    static const QColor kInside;
    static const QColor kOutside;
    static const QColor kDistorted;  // beyond the distortion limit

  signals:
    void pointClicked(std::size_t point);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QRectF Fitted(QRectF wanted) const;  // the same scale on both axes
    QPointF ToPixel(double x, double y) const;
    QPointF ToPlane(QPointF pixel) const;
    void Render();

    MapData data_;
    bool ready_ = false;
    QRectF all_;
    QRectF view_;
    QImage points_;  // the rendered points, redone when the view or the size changes
    bool stale_ = true;
    bool showingAll_ = true;
    QPoint dragFrom_;
    QRectF dragView_;
    std::function<QString(std::size_t)> nameOf_;
    std::vector<std::size_t> selected_;
};

}  // namespace quorvel
