#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <memory>

#include "ui/file_job.h"

namespace quorvel {

// The points of a computed file on a plane: longitude and latitude (or easting and northing for
// a zone change), the central meridian and the band 3° either side of it, points outside the
// band in red. The wheel zooms about the pointer, dragging pans, a double click (or Home) shows
// every point again. However many points there are, each pixel is painted once.
class PointMap : public QWidget {
    Q_OBJECT

  public:
    // Empty until SetData gives it the points.
    explicit PointMap(QWidget* parent = nullptr);
    void SetData(MapData data);
    bool HasData() const { return ready_; }

    QSize sizeHint() const override { return {420, 420}; }

    // The part of the plane shown, in the map's units.
    QRectF view() const { return view_; }
    void ShowAll();
    void ZoomAt(QPointF pixel, double factor);

    static const QColor kInside;
    static const QColor kOutside;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
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
};

}  // namespace quorvel
