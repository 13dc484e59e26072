#pragma once
// A multi-line text view that can be scrolled, searched with the caret,
// selected (Ctrl+A) and copied (Ctrl+C), but not changed: the device
// description and the short help.

#include <QPlainTextEdit>

namespace ui {

class ReadOnlyText : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ReadOnlyText(QWidget* parent = nullptr);
    // Sets the text; CR LF line ends become plain line breaks.
    void setText(const QString& text);
    // Keep the Return key (it then does nothing) instead of leaving it to
    // the dialog's default button.
    void setKeepsReturn(bool keep) { keepsReturn_ = keep; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void insertFromMimeData(const QMimeData*) override {}
    bool canInsertFromMimeData(const QMimeData*) const override { return false; }

  private:
    bool keepsReturn_ = false;
};

}  // namespace ui
