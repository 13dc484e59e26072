#pragma once
// KURZANLEITUNGDLG: the modeless short help.

#include "ui/template_dialog.h"

class QPushButton;

namespace ui {

class ReadOnlyText;

// The help text as it is shown (line breaks as plain line feeds).
QString shortHelpText();

class HelpWindow : public TemplateDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* owner);
    ReadOnlyText* textView() const { return text_; }
    QPushButton* okButton() const { return ok_; }

  private:
    ReadOnlyText* text_;
    QPushButton* ok_;
};

}  // namespace ui
