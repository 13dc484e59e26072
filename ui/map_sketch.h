#pragma once
// A sketch of the content: tracks and routes as lines, waypoints as marks,
// in a plain projection of the points (no map), with a scale bar, zoom and
// pan by mouse and keys.

#include <vector>

#include <QPointF>
#include <QWidget>

#include "model/content.h"

namespace ui {

// One item as the sketch draws it: its valid positions, split at segment
// starts.
struct SketchItem {
    ItemKind kind;
    std::vector<std::vector<QPointF>> segments;  // (longitude, latitude)
};

class MapSketch : public QWidget {
    Q_OBJECT
  public:
    explicit MapSketch(QWidget* parent = nullptr);

    void setItems(std::vector<SketchItem> items);
    // The item drawn highlighted, -1 for none.
    void setHighlighted(int index);
    int highlighted() const { return highlighted_; }

    // The pixel of a position with the current view; the whole content
    // fits the widget with a margin of 10 pixels at zoom 1.
    QPointF toPixel(double latitude, double longitude) const;
    double zoom() const { return zoom_; }
    // Back to the whole content.
    void resetView();

    // The scale bar's length in km and in pixels for the current view.
    double scaleBarKm() const;

    QSize sizeHint() const override { return {320, 240}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Pixels per km at zoom 1.
    double fitScale() const;
    double pixelsPerKm() const { return fitScale() * zoom_; }
    void zoomAt(double factor, QPointF pixel);

    std::vector<SketchItem> items_;
    int highlighted_ = -1;
    // The bounds of all positions.
    double minLat_ = 0, maxLat_ = 0, minLon_ = 0, maxLon_ = 0;
    bool empty_ = true;
    double zoom_ = 1.0;
    QPointF pan_;  // pixels
    QPointF dragStart_;
};

}  // namespace ui
