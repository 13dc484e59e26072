#pragma once
// The modal dialogs: SETTINGSDLG, GETINITIALSDLG, ROUTETRACKNAMEDLG,
// TRACKSELDLG and PROTOCOLSDLG.

#include <string>

#include "platform/platform.h"
#include "ui/template_dialog.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace ui {

class ReadOnlyText;

// Maximum points per route and per track log; stores both into the global
// settings on OK when both are above 0.
class SettingsDialog : public TemplateDialog {
    Q_OBJECT
  public:
    explicit SettingsDialog(QWidget* owner);
    QLineEdit* routeField() const { return route_; }
    QLineEdit* trackField() const { return track_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  public slots:
    void accept() override;

  private:
    QLineEdit* route_;
    QLineEdit* track_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// The two initial characters of automatic point names; no way out but
// an entry the check accepts.
class InitialsDialogWindow : public TemplateDialog {
    Q_OBJECT
  public:
    InitialsDialogWindow(QWidget* owner, const InitialsDialog& dialog, const std::string& preset);
    QLineEdit* field() const { return field_; }
    QPushButton* okButton() const { return ok_; }
    std::string entry() const;

  public slots:
    void accept() override;
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    const InitialsDialog& dialog_;
    QLineEdit* field_;
    QPushButton* ok_;
};

// One route/track number or name for a whole file.
class RouteTrackIdDialogWindow : public TemplateDialog {
    Q_OBJECT
  public:
    RouteTrackIdDialogWindow(QWidget* owner, const RouteTrackIdDialog& dialog, const std::string& preset);
    QLineEdit* field() const { return field_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    std::string entry() const;

  protected:
    void accept() override;

  private:
    const RouteTrackIdDialog& dialog_;
    QLineEdit* field_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// Choice of one track log.
class TrackSelectDialogWindow : public TemplateDialog {
    Q_OBJECT
  public:
    TrackSelectDialogWindow(QWidget* owner, const TrackSelectDialog& dialog);
    QListWidget* list() const { return list_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    int selected() const;

  public slots:
    void accept() override;

  private:
    const TrackSelectDialog& dialog_;
    QListWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// The receiver's description and protocol list, read-only.
class DeviceInfoDialogWindow : public TemplateDialog {
    Q_OBJECT
  public:
    DeviceInfoDialogWindow(QWidget* owner, const QString& title, const QString& text);
    ReadOnlyText* textView() const { return text_; }
    QPushButton* okButton() const { return ok_; }

  private:
    ReadOnlyText* text_;
    QPushButton* ok_;
};

}  // namespace ui
