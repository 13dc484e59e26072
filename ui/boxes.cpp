#include "ui/boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>


namespace ui {

namespace {

int beeps = 0;

QMessageBox::Icon iconOf(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

void prepare(QMessageBox& box, const QString& title, const QString& text) {
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
}

}  // namespace

void messageBox(QWidget* owner, const QString& title, const QString& text, BoxIcon icon) {
    QMessageBox box(iconOf(icon), QString(), QString(), QMessageBox::NoButton, owner);
    prepare(box, title, text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool askYesNo(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::NoButton, owner);
    prepare(box, title, text);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool askOkCancel(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::NoButton, owner);
    prepare(box, title, text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok;
}

void errorBox(QWidget* owner, const QString& text) {
    messageBox(owner, QStringLiteral("FEHLER"), text, BoxIcon::Warning);
}

void beep() {
    ++beeps;
    QApplication::beep();
}

int beepCount() { return beeps; }

}  // namespace ui
