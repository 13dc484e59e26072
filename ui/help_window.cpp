#include "ui/help_window.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>

#include "ui/read_only_text.h"

namespace ui {

QString shortHelpText() {
    QFile file(QStringLiteral(":/wegmate/kurzanleitung.txt"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// The window has no parent: it is a window beside the main window, which
// may come in front of it, and which closes it when the program ends.
HelpWindow::HelpWindow(QWidget* owner) : TemplateDialog(nullptr, 8, 268, 180, false) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral(" Wegmate -- Kurzanleitung"));
    text_ = new ReadOnlyText(this);
    text_->setFont(semiBoldTextFont());
    text_->setText(shortHelpText());
    place(text_, 4, 4, 260, 156);
    ok_ = addButton(QStringLiteral("&OK"), 224, 163, 40, 13, true);
    connect(ok_, &QPushButton::clicked, this, &QWidget::close);
    // OK, Enter and Esc all close the window, which then deletes itself.
    connect(this, &QDialog::finished, this, &QWidget::close);
    placeRelativeTo(owner, 20, 20);
}

}  // namespace ui
