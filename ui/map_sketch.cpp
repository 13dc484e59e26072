#include "ui/map_sketch.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace ui {

namespace {

constexpr double kMargin = 10.0;
constexpr double kKmPerDegreeLatitude = 111.195;  // on the mean earth radius
constexpr double kZoomStep = 1.25;

double radians(double degrees) { return degrees * M_PI / 180.0; }

}  // namespace

MapSketch::MapSketch(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    setAccessibleName(QStringLiteral("Kartenskizze"));
}

void MapSketch::setItems(std::vector<SketchItem> items) {
    items_ = std::move(items);
    empty_ = true;
    for (const SketchItem& item : items_)
        for (const auto& segment : item.segments)
            for (const QPointF& p : segment) {
                if (empty_) {
                    minLon_ = maxLon_ = p.x();
                    minLat_ = maxLat_ = p.y();
                    empty_ = false;
                }
                minLon_ = std::min(minLon_, p.x());
                maxLon_ = std::max(maxLon_, p.x());
                minLat_ = std::min(minLat_, p.y());
                maxLat_ = std::max(maxLat_, p.y());
            }
    highlighted_ = -1;
    resetView();
}

void MapSketch::setHighlighted(int index) {
    highlighted_ = index;
    update();
}

void MapSketch::resetView() {
    zoom_ = 1.0;
    pan_ = QPointF();
    update();
}

double MapSketch::fitScale() const {
    const double centreLat = (minLat_ + maxLat_) / 2;
    const double widthKm = (maxLon_ - minLon_) * kKmPerDegreeLatitude * std::cos(radians(centreLat));
    const double heightKm = (maxLat_ - minLat_) * kKmPerDegreeLatitude;
    const double w = std::max(1.0, width() - 2 * kMargin);
    const double h = std::max(1.0, height() - 2 * kMargin);
    double scale = 1e9;
    if (widthKm > 0) scale = std::min(scale, w / widthKm);
    if (heightKm > 0) scale = std::min(scale, h / heightKm);
    // A single position: 1 km across the shorter side.
    if (scale == 1e9) scale = std::min(w, h);
    return scale;
}

QPointF MapSketch::toPixel(double latitude, double longitude) const {
    const double centreLat = (minLat_ + maxLat_) / 2;
    const double centreLon = (minLon_ + maxLon_) / 2;
    const double s = pixelsPerKm();
    const double x = (longitude - centreLon) * kKmPerDegreeLatitude * std::cos(radians(centreLat)) * s;
    const double y = (latitude - centreLat) * kKmPerDegreeLatitude * s;
    return QPointF(width() / 2.0 + x, height() / 2.0 - y) + pan_;
}

double MapSketch::scaleBarKm() const {
    // The longest of 1, 2, 5 times a power of ten that fits a quarter of
    // the width.
    const double maxKm = width() / 4.0 / pixelsPerKm();
    double bar = std::pow(10.0, std::floor(std::log10(maxKm)));
    if (bar * 5 <= maxKm)
        bar *= 5;
    else if (bar * 2 <= maxKm)
        bar *= 2;
    return bar;
}

void MapSketch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    if (empty_) return;
    painter.setRenderHint(QPainter::Antialiasing);
    for (int pass = 0; pass < 2; pass++) {
        // The highlighted item last, over the others.
        for (int i = 0; i < (int)items_.size(); i++) {
            const bool highlight = i == highlighted_;
            if (highlight != (pass == 1)) continue;
            const SketchItem& item = items_[i];
            QColor colour = item.kind == ItemKind::Track   ? QColor(200, 40, 40)
                            : item.kind == ItemKind::Route ? QColor(30, 90, 200)
                                                           : QColor(20, 120, 20);
            if (highlight) colour = QColor(255, 140, 0);
            painter.setPen(QPen(colour, highlight ? 3 : 1.5));
            for (const auto& segment : item.segments) {
                if (item.kind == ItemKind::Waypoint || segment.size() == 1) {
                    for (const QPointF& p : segment) {
                        const QPointF at = toPixel(p.y(), p.x());
                        painter.drawEllipse(at, highlight ? 5 : 3, highlight ? 5 : 3);
                    }
                    continue;
                }
                QPainterPath path;
                for (size_t k = 0; k < segment.size(); k++) {
                    const QPointF at = toPixel(segment[k].y(), segment[k].x());
                    if (k == 0)
                        path.moveTo(at);
                    else
                        path.lineTo(at);
                }
                painter.drawPath(path);
            }
        }
    }
    // The scale bar at the bottom left.
    const double km = scaleBarKm();
    const double length = km * pixelsPerKm();
    const QPointF start(kMargin, height() - kMargin);
    painter.setPen(QPen(palette().color(QPalette::Text), 2));
    painter.drawLine(start, start + QPointF(length, 0));
    painter.drawLine(start, start - QPointF(0, 4));
    painter.drawLine(start + QPointF(length, 0), start + QPointF(length, -4));
    const QString text = km >= 1 ? QStringLiteral("%1 km").arg(km) : QStringLiteral("%1 m").arg(km * 1000);
    painter.drawText(start + QPointF(length + 4, 0), text);
}

void MapSketch::zoomAt(double factor, QPointF pixel) {
    // The position under the pixel stays where it is.
    const QPointF centre(width() / 2.0, height() / 2.0);
    pan_ = pixel - (pixel - centre - pan_) * factor - centre;
    zoom_ *= factor;
    update();
}

void MapSketch::wheelEvent(QWheelEvent* event) {
    const double factor = event->angleDelta().y() > 0 ? kZoomStep : 1 / kZoomStep;
    zoomAt(factor, event->position());
}

void MapSketch::mousePressEvent(QMouseEvent* event) { dragStart_ = event->position(); }

void MapSketch::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    pan_ += event->position() - dragStart_;
    dragStart_ = event->position();
    update();
}

void MapSketch::keyPressEvent(QKeyEvent* event) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double step = 20;
    switch (event->key()) {
    case Qt::Key_Plus: zoomAt(kZoomStep, centre); break;
    case Qt::Key_Minus: zoomAt(1 / kZoomStep, centre); break;
    case Qt::Key_0: resetView(); break;
    case Qt::Key_Left: pan_.rx() += step; update(); break;
    case Qt::Key_Right: pan_.rx() -= step; update(); break;
    case Qt::Key_Up: pan_.ry() += step; update(); break;
    case Qt::Key_Down: pan_.ry() -= step; update(); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

}  // namespace ui
