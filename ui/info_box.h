#pragma once
// MBCS: the small modal info box, sized to its text and icon.

#include <QDialog>
#include <QIcon>

#include "ui/dialog_units.h"

class QPushButton;

namespace ui {

// The info text of the "&Info" menu item.
extern const char* const kInfoText;

class InfoBox : public QDialog {
    Q_OBJECT
  public:
    // style 0x40 shows the information icon.
    InfoBox(QWidget* owner, const QString& text, const QString& title, unsigned style);
    QPushButton* okButton() const { return ok_; }
    const QString& text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QFont font_;
    QPixmap icon_;
    int margin_ = 0;
    int iconWidth_ = 0;
    QPushButton* ok_;
};

// Shows the box modally; 1 after OK or Enter, 0 after Esc or the close box.
int showInfoBox(QWidget* owner, const QString& text, const QString& title, unsigned style);

}  // namespace ui
