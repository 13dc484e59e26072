#pragma once
// The main window: three choices, four transfer buttons, the status line and
// the menu bar.

#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "commands/command.h"
#include "ui/dialog_units.h"
#include "ui/help_window.h"

class QAction;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {

class ContentView;

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
    kCmdShowFileContent = 108,  // "Datei-&Inhalt anzeigen ..."
    kCmdSaveContent = 109,      // "Auswahl s&peichern ..."
};

// What the commands call; the real core by default, replaceable in tests.
struct MainWindowActions {
    int (*runCommand)(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind);
    void (*convertOvlFile)();
};
const MainWindowActions& defaultActions();

// The port choice's last entry: the built-in simulator of an eTrex on USB,
// for trying the program without a receiver.
inline constexpr const char* kSimulatorPortText = "Simulator (eTrex)";
inline constexpr const char* kSimulatorPortData = "sim:etrex";

// The window that owns a box: the active modal dialog, else the main window.
QWidget* boxOwner();

// The root paths of the mounted volumes (QStorageInfo), or the mount points
// of the table that WEGMATE_MOUNT_TABLE names.
QStringList mountedVolumeRoots();

// The file that the next open dialog of the core is answered with, without
// being shown (the file whose items the user ticked for an upload), taken
// once; empty: the dialog is shown.
std::string takePresetFileToOpen();
// Puts the Garmin drives among roots into the port choice after "COM 8" as
// "Garmin-Laufwerk (NAME)", each with its mount point as item data, and the
// simulator after them.
void addGarminDrives(QComboBox* portChoice, const QStringList& roots,
                     const std::vector<std::string>& mtpUnits = {});
// The Garmin MTP units connected, by name (libmtp's detection, no unit
// opened); their entries "Garmin-MTP (NAME)" follow the drives.
std::vector<std::string> mtpUnitNames();

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
    ContentView* content() const { return content_; }

    void setStatusText(const QString& text);
    // The bar beside the status line: done of total points, with points per
    // second and the time left; hidden again when the command ends.
    void showProgress(long done, long total);
    QProgressBar* progressBar() const { return progress_; }
    QLabel* progressText() const { return progressText_; }

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
    // The content view's commands: a file's content, and the ticked items
    // saved as a file.
    void showFileContent(FileKind fileKind);
    void saveChosenItems(FileKind fileKind, ObjectKind objectKind);
    // Runs a transfer with the ticked items that belong to it and shows
    // what it moved.
    void runTransfer(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind);

    MainWindowActions actions_;
    DialogUnits units_;
    QWidget* client_ = nullptr;
    QComboBox* port_ = nullptr;
    QComboBox* fileType_ = nullptr;
    QComboBox* objectType_ = nullptr;
    QPushButton* buttons_[4] = {};
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QElapsedTimer progressClock_;
    QPushButton* showFile_ = nullptr;
    QPushButton* saveChosen_ = nullptr;
    ContentView* content_ = nullptr;
    QPointer<HelpWindow> help_;
};

}  // namespace ui
