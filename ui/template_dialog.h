#pragma once
// Base of the program's dialogs: a fixed client size in dialog units of the
// dialog's own font, and helpers that place controls in those units.

#include <QDialog>
#include <QStringList>
#include <vector>

#include "ui/dialog_units.h"

class QLabel;
class QPushButton;

namespace ui {

class TemplateDialog : public QDialog {
    Q_OBJECT
  public:
    // pointSize: the template's font size; width, height in dialog units.
    // closeBox: caption with a close box; otherwise a bare caption.
    TemplateDialog(QWidget* owner, int pointSize, double width, double height, bool closeBox);

    const DialogUnits& units() const { return units_; }

  protected:
    // A push button at a dialog-unit rectangle.
    QPushButton* addButton(const QString& text, double x, double y, double w, double h, bool isDefault);
    // Explanatory lines, one label each, at 6 units from the left and at the
    // given vertical unit positions plus 4 pixels, in the proportional font;
    // the font is made smaller when the longest line would not fit.
    std::vector<QLabel*> addExplanationLines(const QStringList& lines, const std::vector<int>& positions);
    // A label in the default font, left of a control, vertically centred on it.
    QLabel* addLabelBeside(const QString& text, QWidget* control);
    // Places a widget at a dialog-unit rectangle.
    void place(QWidget* widget, double x, double y, double w, double h);
    // Moves the dialog to (x, y) dialog units from the top-left corner of
    // the owner's client area.
    void placeRelativeToOwner(double x, double y);
    void placeRelativeTo(QWidget* owner, double x, double y);
    // Centres the dialog on the screen.
    void centreOnScreen();

  private:
    DialogUnits units_;
};

}  // namespace ui
