#pragma once
// Message boxes and questions of the program, with German buttons.

#include <QString>

#include "platform/platform.h"

class QWidget;

namespace ui {

// Modal box with an OK button.
void messageBox(QWidget* owner, const QString& title, const QString& text, BoxIcon icon);
// Question icon with "&Ja" / "&Nein"; true only for Ja.
bool askYesNo(QWidget* owner, const QString& title, const QString& text);
// Question icon with "OK" / "Abbrechen"; true only for OK.
bool askOkCancel(QWidget* owner, const QString& title, const QString& text);

// Error box: title "FEHLER", warning icon.
void errorBox(QWidget* owner, const QString& text);

// The default beep. Counts every beep so that tests can see refusals.
void beep();
int beepCount();

}  // namespace ui
