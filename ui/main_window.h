#pragma once
// The main window: three choices, four transfer buttons, the status line and
// the menu bar.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "commands/command.h"
#include "ui/dialog_units.h"
#include "ui/help_window.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

namespace ui {

// Command ids of the menu items and buttons.
enum CommandId {
    kCmdInfo = 48,
    kCmdExit = 49,
    kCmdDeviceInfo = 50,
    kCmdShortHelp = 54,
    kCmdSettings = 55,
    kCmdOvlConversion = 56,
    kCmdDownloadWaypoints = 104,
    kCmdUploadWaypoints = 105,
    kCmdDownloadTracks = 106,
    kCmdUploadTracks = 107,
};

// What the commands call; the real core by default, replaceable in tests.
struct MainWindowActions {
    int (*runCommand)(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind);
    void (*convertOvlFile)();
};
const MainWindowActions& defaultActions();

// The window that owns a box: the active modal dialog, else the main window.
QWidget* boxOwner();

// The root paths of the mounted volumes (QStorageInfo), or the mount points
// of the table that WEGMATE_MOUNT_TABLE names.
QStringList mountedVolumeRoots();
// Puts the Garmin drives among roots into the port choice after "COM 8" as
// "Garmin-Laufwerk (NAME)", each with its mount point as item data.
void addGarminDrives(QComboBox* portChoice, const QStringList& roots);

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(const MainWindowActions& actions = defaultActions());
    ~MainWindow() override;

    // The one main window, or nullptr.
    static MainWindow* instance();

    // Runs a command by its id, as the menu and the buttons do.
    void command(int id);

    // Stores the three choices into the settings.
    void storeChoices();
    // Brings the window to the front, restored if minimised, with the focus.
    void bringToFront();

    const DialogUnits& units() const { return units_; }
    QComboBox* portChoice() const { return port_; }
    QComboBox* fileTypeChoice() const { return fileType_; }
    QComboBox* objectTypeChoice() const { return objectType_; }
    QPushButton* button(int id) const;
    QLabel* statusLine() const { return status_; }
    QAction* action(int id) const;
    HelpWindow* helpWindow() const { return help_.data(); }
    QWidget* client() const { return client_; }

    void setStatusText(const QString& text);

  signals:
    // The window accepted its close request and is going away.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void buildMenu();
    void buildControls();
    void openShortHelp();
    // While a transfer runs: the transfer buttons and the menu items that
    // are refused meanwhile are shown disabled.
    void showBusy(bool busy);

    MainWindowActions actions_;
    DialogUnits units_;
    QWidget* client_ = nullptr;
    QComboBox* port_ = nullptr;
    QComboBox* fileType_ = nullptr;
    QComboBox* objectType_ = nullptr;
    QPushButton* buttons_[4] = {};
    QLabel* status_ = nullptr;
    QPointer<HelpWindow> help_;
};

}  // namespace ui
