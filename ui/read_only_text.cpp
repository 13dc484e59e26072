#include "ui/read_only_text.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextCursor>

namespace ui {

ReadOnlyText::ReadOnlyText(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // Read-only, yet with a caret that the keyboard moves and selects with.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);
}

void ReadOnlyText::setText(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(plain);
}

void ReadOnlyText::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: QPlainTextEdit::keyPressEvent(event); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (keepsReturn_) {
            event->accept();
            return;
        }
        // Left to the dialog: Enter presses its OK button.
        event->ignore();
        return;
    case Qt::Key_Escape:
        // Left to the dialog, which closes.
        event->ignore();
        return;
    default:
        // Everything else, typing and deleting included, is swallowed.
        event->accept();
        return;
    }
}

void ReadOnlyText::focusInEvent(QFocusEvent* event) {
    if (event->reason() == Qt::PopupFocusReason) {
        QPlainTextEdit::focusInEvent(event);
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.setPosition(0);
    setTextCursor(cursor);
    QPlainTextEdit::focusInEvent(event);
}

void ReadOnlyText::contextMenuEvent(QContextMenuEvent* event) {
    // Only copying and selecting are offered.
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("&Kopieren"), this, &QPlainTextEdit::copy);
    copyAction->setEnabled(textCursor().hasSelection());
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Alles markieren"), this, &QPlainTextEdit::selectAll);
    menu.exec(event->globalPos());
}

}  // namespace ui
