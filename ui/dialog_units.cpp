#include "ui/dialog_units.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPalette>
#include <QWidget>

namespace ui {

DialogUnits dialogUnitsOf(const QFont& font) {
    QFontMetrics metrics(font);
    DialogUnits units;
    // The average width of the 52 Latin letters, rounded: what the dialog
    // manager measures for a dialog font. (The font's own average width
    // figure is far too small for many outline fonts and clips the texts.)
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    units.baseX = qMax(1, (letters / 26 + 1) / 2);
    units.baseY = qMax(1, metrics.height());
    return units;
}

DialogUnits systemDialogUnits() { return dialogUnitsOf(QApplication::font()); }

QFont templateFont(int pointSize) {
    QFont font = QApplication::font();
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    font.setPointSizeF(base * pointSize / 8.0);
    return font;
}

QFont proportionalFont() { return QApplication::font(); }

QFont fixedPitchFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // The fixed-pitch font keeps the height of the text around it.
    const QFont normal = QApplication::font();
    if (normal.pointSizeF() > 0) font.setPointSizeF(normal.pointSizeF());
    return font;
}

QFont semiBoldTextFont() {
    QFont font = QApplication::font();
    font.setWeight(QFont::DemiBold);
    font.setPixelSize(qMax(1, static_cast<int>(systemDialogUnits().baseY * 0.9)));
    return font;
}

QColor backgroundColor() { return QColor(220, 220, 220); }

void useBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, backgroundColor());
    palette.setColor(QPalette::Button, backgroundColor());
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace ui
