#pragma once
// Geometry and fonts of the program's windows.
//
// Every size is derived from dialog base units: the average character width
// (baseX) and the height (baseY) of a font. One horizontal dialog unit is
// baseX / 4 pixels, one vertical unit baseY / 8 pixels.

#include <QColor>
#include <QFont>
#include <QRect>

class QWidget;
class QPalette;

namespace ui {

struct DialogUnits {
    int baseX = 8;
    int baseY = 16;

    int x(double units) const { return static_cast<int>(units * baseX / 4.0); }
    int y(double units) const { return static_cast<int>(units * baseY / 8.0); }
    QRect rect(double left, double top, double width, double height) const {
        return QRect(x(left), y(top), x(width), y(height));
    }
};

// Base units of a font: the average width of its letters and its height.
DialogUnits dialogUnitsOf(const QFont& font);
// Base units of the application's default font (the main window's units).
DialogUnits systemDialogUnits();

// The font of a dialog template, "MS Sans Serif" of the given point size.
// The desktop's default font stands for the 8 pt template font; larger
// templates scale it.
QFont templateFont(int pointSize);
// The proportional text font the dialogs paint their explanations with.
QFont proportionalFont();
// The system fixed-pitch font of the edit fields.
QFont fixedPitchFont();
// "MS Sans Serif", semi-bold, 0.9 times the system base unit height: the
// font of the help text, the device description, the track list and the
// info box.
QFont semiBoldTextFont();

// The main window's background, RGB 220, 220, 220.
QColor backgroundColor();
// Fills the widget with the background colour.
void useBackground(QWidget* widget);

}  // namespace ui
