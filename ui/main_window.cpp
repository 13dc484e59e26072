#include "ui/main_window.h"

#include <algorithm>
#include <memory>
#include <cstdlib>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>
#include <QWindow>

#include "commands/command.h"
#include "platform/settings.h"
#include "commands/ovl_convert.h"
#include "formats/file_formats.h"
#include "commands/convert.h"
#include "model/content.h"
#include "transfers/download.h"
#include "link/drive.h"
#include "link/mtp.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "ui/boxes.h"
#include "ui/content_view.h"
#include "ui/dialogs.h"
#include "ui/help_window.h"
#include "ui/info_box.h"
#include "ui/read_only_text.h"

namespace ui {

namespace {

MainWindow* theMainWindow = nullptr;

const MainWindowActions kCoreActions = {&::runCommand, &::convertOvlFile};

// Moves a window that lies wholly or partly off the available area of its
// screen (or, off every screen, the owner's) back inside that area.
void bringOntoScreen(QWidget* window, QWidget* owner) {
    const QRect frame = window->frameGeometry();
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen) screen = owner->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    if (area.contains(frame)) return;
    int x = std::min(frame.left(), area.right() + 1 - frame.width());
    int y = std::min(frame.top(), area.bottom() + 1 - frame.height());
    x = std::max(x, area.left());
    y = std::max(y, area.top());
    window->move(window->pos() + QPoint(x - frame.left(), y - frame.top()));
}

// The port choice looks for Garmin drives again whenever it opens: a
// receiver plugged in after the start shows up.
class PortChoice : public QComboBox {
  public:
    using QComboBox::QComboBox;
    void showPopup() override {
        addGarminDrives(this, mountedVolumeRoots(), mtpUnitNames());
        QComboBox::showPopup();
    }
};

// The four transfer buttons, in their order in the window.
const struct {
    int id;
    TransferCommand command;
    double y;
    const char* text;
} kTransferButtons[] = {{kCmdDownloadWaypoints, DownloadWaypoints, 2.7, "&Wegpunkte / Route(n) holen"},
                        {kCmdUploadWaypoints, UploadWaypoints, 5.36666667, "Wegpunkte / Route(n) &senden"},
                        {kCmdDownloadTracks, DownloadTracks, 8.0333333333, "&Track-Aufzeichnung(en) holen"},
                        {kCmdUploadTracks, UploadTracks, 10.7, "Track-Aufzeichnung(en) se&nden"}};
constexpr int kTransferButtonCount = 4;

// The position of a transfer button's id in kTransferButtons, or -1.
int transferButtonIndex(int id) {
    for (int i = 0; i < kTransferButtonCount; ++i)
        if (kTransferButtons[i].id == id) return i;
    return -1;
}

bool refusedWhileBusy(int id) {
    switch (id) {
    // The conversion reads into the point table that a transfer fills or
    // sends: only the settings stay available.
    case kCmdSettings: return false;
    default: return true;
    }
}

}  // namespace

const MainWindowActions& defaultActions() { return kCoreActions; }

QWidget* boxOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return MainWindow::instance();
}

QStringList mountedVolumeRoots() {
    QStringList roots;
    // A mount table named by WEGMATE_MOUNT_TABLE stands in for the system's
    // mounted volumes, as it does for wegmate-cli (tests).
    if (const char* table = std::getenv("WEGMATE_MOUNT_TABLE"); table && *table) {
        for (const MountEntry& entry : readMountTable(table)) roots << QString::fromStdString(entry.mountPoint);
        return roots;
    }
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    return roots;
}

std::vector<std::string> mtpUnitNames() {
    std::vector<std::string> names;
    for (const MtpUnitInfo& unit : findMtpUnits()) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "Garmin %04x", unit.productId);
        names.push_back(unit.listedName.empty() ? fallback : unit.listedName);
    }
    return names;
}

void addGarminDrives(QComboBox* portChoice, const QStringList& roots, const std::vector<std::string>& mtpUnits) {
    // The entries after "COM 8" are the drives, the MTP units, then the
    // simulator; the one chosen stays chosen while it is there.
    const QString chosen =
        portChoice->currentIndex() >= kDrivePortIndex ? portChoice->currentData().toString() : QString();
    while (portChoice->count() > kDrivePortIndex) portChoice->removeItem(kDrivePortIndex);
    for (const QString& root : roots) {
        DriveDevice device;
        if (!readGarminDevice(root.toStdString(), device).empty()) continue;
        portChoice->addItem(QString::fromStdString(drivePortLabel(device)), root);
        if (root == chosen) portChoice->setCurrentIndex(portChoice->count() - 1);
    }
    for (size_t i = 0; i < mtpUnits.size(); i++) {
        const QString data = QStringLiteral("mtp:%1").arg(i);
        portChoice->addItem(QString::fromUtf8("Garmin-MTP (%1)").arg(QString::fromStdString(mtpUnits[i])), data);
        if (data == chosen) portChoice->setCurrentIndex(portChoice->count() - 1);
    }
    portChoice->addItem(QString::fromUtf8(kSimulatorPortText), QString::fromUtf8(kSimulatorPortData));
    if (chosen == QString::fromUtf8(kSimulatorPortData)) portChoice->setCurrentIndex(portChoice->count() - 1);
}

namespace {

// The built-in simulator behind the USB driver seam: it lives from its first
// command to the end of the program, so that what was sent to it can be
// fetched again.
std::unique_ptr<Simulator> simulator;
UsbDriver simulatorDriver;

// Installs the simulator as the USB receiver for the scope of one command.
struct SimulatorScope {
    bool active;
    explicit SimulatorScope(bool use) : active(use) {
        if (!active) return;
        if (!simulator) {
            simulator = std::make_unique<Simulator>(*findSimProfile("etrex"));
            // Sample data: a few waypoints, two routes, two track logs.
            simulator->generate(6, 2, 5, 2, 120);
            simulatorDriver = simulator->usbDriver();
        }
        installUsbDriver(&simulatorDriver);
    }
    ~SimulatorScope() {
        if (active) installUsbDriver(nullptr);
    }
};

}  // namespace

MainWindow::MainWindow(const MainWindowActions& actions) : actions_(actions) {
    theMainWindow = this;
    units_ = systemDialogUnits();
    setWindowTitle(QStringLiteral("Wegmate"));
    setWindowIcon(QIcon(QStringLiteral(":/wegmate/wegmate.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    buildMenu();
    buildControls();
    setStatusText(QString::fromUtf8(kStatusReady));
    port_->setFocus();
}

MainWindow::~MainWindow() {
    delete help_.data();
    if (theMainWindow == this) theMainWindow = nullptr;
}

MainWindow* MainWindow::instance() { return theMainWindow; }

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    auto item = [this](QWidget* menu, const char* text, int id) {
        auto* action = new QAction(QString::fromUtf8(text), this);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { command(id); });
        menu->addAction(action);
        return action;
    };
    item(bar, "&Beenden     ", kCmdExit);
    item(bar, "&Einstellungen   ", kCmdSettings);
    item(bar, "&Geräte-Info   ", kCmdDeviceInfo);
    item(bar, "&OVL-Umwandlung  ", kCmdOvlConversion);
    QMenu* help = bar->addMenu(QString::fromUtf8("&Hilfe       "));
    item(help, "&Kurzanleitung", kCmdShortHelp);
    help->addSeparator();
    item(help, "&Info", kCmdInfo);
}

void MainWindow::buildControls() {
    const int bx = units_.baseX;
    const int by = units_.baseY;

    // The menu bar keeps all five items in one row, their trailing blanks
    // included.
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 3px; }"));

    client_ = new QWidget(this);
    useBackground(client_);
    setCentralWidget(client_);
    // The status line runs along the whole bottom; everything else keeps a
    // margin.
    auto* whole = new QVBoxLayout(client_);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->setSpacing(by / 2);
    auto* outer = new QVBoxLayout;
    outer->setContentsMargins(4 * bx, by, 4 * bx, 0);
    whole->addLayout(outer, 1);

    // The three choices with their labels, the four transfer buttons beside
    // them.
    auto* top = new QHBoxLayout;
    auto* choices = new QGridLayout;
    choices->setVerticalSpacing(by / 2);
    auto choice = [this, by, choices](int id, int row, const char* label, const QStringList& entries,
                                      QComboBox* combo = nullptr) {
        if (!combo) combo = new QComboBox(client_);
        combo->setObjectName(QStringLiteral("choice%1").arg(id));
        combo->addItems(entries);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMaxVisibleItems(qMax(3, (6 * by - combo->sizeHint().height()) / qMax(1, by)));
        auto* text = new QLabel(QString::fromUtf8(label), client_);
        text->setObjectName(QStringLiteral("label%1").arg(id));
        text->setBuddy(combo);
        choices->addWidget(text, 2 * row, 0, 1, 2);
        choices->addWidget(combo, 2 * row + 1, 0);
        return combo;
    };
    port_ = choice(101, 0, "&Anschluss:",
                   {QStringLiteral("USB"), QStringLiteral("COM 1"), QStringLiteral("COM 2"), QStringLiteral("COM 3"),
                    QStringLiteral("COM 4"), QStringLiteral("COM 5"), QStringLiteral("COM 6"), QStringLiteral("COM 7"),
                    QStringLiteral("COM 8")},
                   new PortChoice(client_));
    QStringList fileTypes;
    for (const FileFormat& format : fileFormats()) fileTypes << QString::fromUtf8(format.choiceText);
    fileType_ = choice(102, 1, "&Dateiart:", fileTypes);
    objectType_ =
        choice(103, 2, "Ob&jektart:", {QStringLiteral("Linie / Polylinie"), QStringLiteral("Punkt / Symbol")});
    choices->setColumnStretch(1, 1);
    top->addLayout(choices);
    top->addSpacing(4 * bx);
    // MTP units are looked for at the start only when one was chosen last
    // time: detection is no cost for the others.
    const int storedPort = static_cast<int>(settings.portIndex);
    addGarminDrives(port_, mountedVolumeRoots(),
                    storedPort == kMtpPortIndex ? mtpUnitNames() : std::vector<std::string>());
    // A remembered drive is the first one found, or USB when none is there.
    // (The simulator's entry follows the drives.)
    port_->setCurrentIndex(storedPort == kDrivePortIndex && port_->count() <= kDrivePortIndex + 1
                               ? 0
                               : qBound(0, storedPort, kDrivePortIndex));
    if (storedPort == kMtpPortIndex) {
        const int mtp = port_->findData(QStringLiteral("mtp:0"));
        port_->setCurrentIndex(mtp >= 0 ? mtp : 0);
    }
    fileType_->setCurrentIndex(qBound(0, static_cast<int>(settings.fileTypeIndex), fileType_->count() - 1));
    objectType_->setCurrentIndex(qBound(0, static_cast<int>(settings.objectTypeIndex), 1));

    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->setSpacing(by * 2 / 3);
    const auto& buttons = kTransferButtons;
    for (int i = 0; i < kTransferButtonCount; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(buttons[i].text), client_);
        button->setObjectName(QStringLiteral("button%1").arg(buttons[i].id));
        button->setMinimumSize(qMax(29 * bx, button->sizeHint().width()), 2 * by);
        // Enter presses the button that has the focus.
        button->setAutoDefault(true);
        const int id = buttons[i].id;
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
        buttonColumn->addWidget(button);
        buttons_[i] = button;
    }
    buttonColumn->addStretch(1);
    top->addLayout(buttonColumn);
    outer->addLayout(top);

    // The content view and what works on it.
    auto* contentRow = new QHBoxLayout;
    showFile_ = new QPushButton(QString::fromUtf8("Datei-&Inhalt anzeigen ..."), client_);
    showFile_->setObjectName(QStringLiteral("button%1").arg(kCmdShowFileContent));
    showFile_->setAutoDefault(true);
    connect(showFile_, &QPushButton::clicked, this, [this] { command(kCmdShowFileContent); });
    saveChosen_ = new QPushButton(QString::fromUtf8("Auswahl s&peichern ..."), client_);
    saveChosen_->setObjectName(QStringLiteral("button%1").arg(kCmdSaveContent));
    saveChosen_->setAutoDefault(true);
    connect(saveChosen_, &QPushButton::clicked, this, [this] { command(kCmdSaveContent); });
    contentRow->addWidget(showFile_);
    contentRow->addWidget(saveChosen_);
    contentRow->addStretch(1);
    outer->addSpacing(by / 2);
    outer->addLayout(contentRow);
    content_ = new ContentView(client_);
    content_->setObjectName(QStringLiteral("contentView"));
    outer->addWidget(content_, 1);

    status_ = new QLabel(client_);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setTextFormat(Qt::PlainText);
    status_->setFrameStyle(QFrame::Box | QFrame::Plain);
    status_->setLineWidth(1);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setWordWrap(false);
    status_->setMinimumHeight(static_cast<int>(1.2 * by));
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    progressText_ = new QLabel(client_);
    progressText_->setObjectName(QStringLiteral("progressText"));
    progress_ = new QProgressBar(client_);
    progress_->setObjectName(QStringLiteral("progressBar"));
    progress_->setMaximumWidth(20 * bx);
    progress_->setMaximumHeight(static_cast<int>(1.2 * by));
    progress_->hide();
    progressText_->hide();
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(bx);
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(progressText_);
    statusRow->addWidget(progress_);
    whole->addLayout(statusRow);

    setTabOrder(port_, fileType_);
    setTabOrder(fileType_, objectType_);
    setTabOrder(objectType_, buttons_[0]);
    for (int i = 0; i < 3; ++i) setTabOrder(buttons_[i], buttons_[i + 1]);
    setTabOrder(buttons_[3], showFile_);
    setTabOrder(showFile_, saveChosen_);
    setTabOrder(saveChosen_, content_->list());

    // Room for the content: the old window's width at least, and some rows.
    resize(qMax(130 * bx, sizeHint().width()), 55 * by);
}

QPushButton* MainWindow::button(int id) const {
    const int index = transferButtonIndex(id);
    return index < 0 ? nullptr : buttons_[index];
}

QAction* MainWindow::action(int id) const {
    const QList<QAction*> all = findChildren<QAction*>();
    for (QAction* candidate : all)
        if (candidate->data().isValid() && candidate->data().toInt() == id) return candidate;
    return nullptr;
}

void MainWindow::setStatusText(const QString& text) { status_->setText(text); }

void MainWindow::showProgress(long done, long total) {
    if (total <= 0) return;
    if (!progress_->isVisible() || done <= 1) progressClock_.start();
    progress_->setRange(0, 1000);
    progress_->setValue(static_cast<int>(qBound(0L, done, total) * 1000 / total));
    progress_->show();
    const double seconds = progressClock_.elapsed() / 1000.0;
    QString text;
    if (seconds > 0.5 && done > 0) {
        const double rate = done / seconds;
        const long left = static_cast<long>((total - done) / rate + 0.5);
        text = QString::fromUtf8("%1 Punkte/s, noch %2:%3")
                   .arg(rate, 0, 'f', 0)
                   .arg(left / 60)
                   .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    progressText_->setText(text);
    progressText_->setVisible(!text.isEmpty());
}

void MainWindow::showBusy(bool busy) {
    if (!busy) {
        progress_->hide();
        progressText_->hide();
    }
    for (QPushButton* b : buttons_)
        if (b) b->setEnabled(!busy);
    for (QAction* action : findChildren<QAction*>())
        if (action->data().isValid() && refusedWhileBusy(action->data().toInt())) action->setEnabled(!busy);
}

void MainWindow::command(int id) {
    if (refusedWhileBusy(id) && transferBusy) {
        beep();
        return;
    }
    // Transfers and the conversion show the busy state while they run; the
    // focus comes back to where it was.
    struct BusyScope {
        MainWindow* window;
        QPointer<QWidget> focus;
        BusyScope(MainWindow* w, bool transfer) : window(transfer ? w : nullptr), focus(QApplication::focusWidget()) {
            if (window) window->showBusy(true);
        }
        ~BusyScope() {
            if (!window) return;
            window->showBusy(false);
            if (focus) focus->setFocus();
        }
    } busyScope(this, id == kCmdDeviceInfo || id == kCmdOvlConversion || id == kCmdShowFileContent ||
                          id == kCmdSaveContent || transferButtonIndex(id) >= 0);
    // Every drive entry is the drive port, with its mount point; the
    // simulator plays a receiver on USB.
    const bool onSimulator = port_->currentData().toString() == QString::fromUtf8(kSimulatorPortData);
    const bool onMtp = port_->currentData().toString().startsWith(QStringLiteral("mtp:"));
    const Port port = onSimulator ? kUsbPort
                      : onMtp     ? kMtpPort
                                  : portAtIndex(qMin(port_->currentIndex(), kDrivePortIndex));
    if (port == kDrivePort) setDriveMountPoint(port_->currentData().toString().toStdString());
    if (onMtp) setMtpSerial("");
    SimulatorScope simulatorScope(onSimulator);
    const FileKind fileKind = fileFormats()[qBound(0, fileType_->currentIndex(), fileType_->count() - 1)].kind;
    const ObjectKind objectKind = objectKindAtIndex(objectType_->currentIndex());
    switch (id) {
    case kCmdInfo: showInfoBox(this, QString::fromUtf8(kInfoText), QStringLiteral(" Wegmate-Info"), 0x40); break;
    case kCmdExit: close(); break;
    case kCmdDeviceInfo: actions_.runCommand(DeviceInfo, port, fileKind, objectKind); break;
    case kCmdShortHelp: openShortHelp(); break;
    case kCmdSettings: {
        SettingsDialog dialog(this);
        dialog.exec();
        break;
    }
    case kCmdOvlConversion: actions_.convertOvlFile(); break;
    case kCmdDownloadWaypoints:
    case kCmdUploadWaypoints:
    case kCmdDownloadTracks:
    case kCmdUploadTracks:
        runTransfer(kTransferButtons[transferButtonIndex(id)].command, port, fileKind, objectKind);
        break;
    case kCmdShowFileContent: showFileContent(fileKind); break;
    case kCmdSaveContent: saveChosenItems(fileKind, objectKind); break;
    default: break;
    }
}

namespace {

// The boxes of a content reading, kept back: a file of waypoints read as
// track logs has none, which is no error of the file.
std::vector<std::string> heldBackErrors;
Platform readingPlatform;

void holdBackBox(const char* title, const char* text, BoxIcon) {
    if (std::string(title) == "FEHLER") heldBackErrors.push_back(text);
}
// Automatic names are no part of what a file holds: the listing asks for
// no initials.
bool noInitials(const InitialsDialog&, std::string&) { return false; }

}  // namespace

namespace {
std::string presetOpenFile;
}  // namespace

std::string takePresetFileToOpen() {
    std::string file;
    file.swap(presetOpenFile);
    return file;
}

void MainWindow::showFileContent(FileKind fileKind) {
    const FileFormat& format = fileFormat(fileKind);
    std::string fileName = format.pattern;
    if (!platform().chooseFileToOpen("Wegmate  --  Datei-Inhalt anzeigen", format.filter, fileName))
        return;
    const Platform& front = platform();
    readingPlatform = front;
    readingPlatform.messageBox = holdBackBox;
    readingPlatform.initialsDialog = noInitials;
    heldBackErrors.clear();
    installPlatform(&readingPlatform);
    content_->clear(ContentSource::File,
                    QString::fromUtf8("Inhalt der Datei %1").arg(QString::fromStdString(fileName)), fileName);
    std::vector<ContentItem> items;
    for (TransferKind kind : {TransferKind::Waypoints, TransferKind::Tracks}) {
        if (!listFileContent(fileKind, kind, fileName, items) || items.empty()) continue;
        content_->showSection(kind, pointTable);
    }
    installPlatform(&front);
    pointTable.reset();
    if (!content_->hasSection(TransferKind::Waypoints) && !content_->hasSection(TransferKind::Tracks) &&
        !heldBackErrors.empty())
        showError(heldBackErrors.front().c_str());
}

void MainWindow::saveChosenItems(FileKind fileKind, ObjectKind objectKind) {
    const TransferKind kind = content_->currentKind();
    if (!content_->hasSection(kind)) {
        showError("Es wird kein Inhalt angezeigt, der gespeichert werden könnte.");
        return;
    }
    const FileFormat& format = fileFormat(fileKind);
    std::string fileName = format.pattern;
    if (!platform().chooseFileToSave(format.saveTitle, format.filter, format.extension, fileName))
        return;
    content_->restoreSection(kind, pointTable);
    if (!applySelection(kind, content_->selection(kind))) return;
    // Waypoints of the list are no vertices of the routes' lines.
    if (objectKind == LineObjects && kind == TransferKind::Waypoints) leaveWaypointsOutOfLines();
    writeDownloadFile(fileName, fileKind, objectKind, kind, true);
}

void MainWindow::runTransfer(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind) {
    const TransferKind kind = transferKindOf(command);
    const bool upload = isUpload(command);
    // Ticked items belong to the transfer that moves the same content
    // again: a file's items to an upload (of that file), the receiver's to
    // a download.
    const ContentSource own = upload ? ContentSource::File : ContentSource::Receiver;
    transferSelection = content_->source() == own ? content_->selection(kind) : std::string();
    if (upload && !transferSelection.empty()) presetOpenFile = content_->sourceFile();
    pointTable.reset();
    actions_.runCommand(command, port, fileKind, objectKind);
    presetOpenFile.clear();
    transferSelection.clear();
    if (pointTable.count == 0) return;
    // What was moved.
    if (upload || content_->source() != ContentSource::Receiver)
        content_->clear(upload ? ContentSource::Sent : ContentSource::Receiver,
                        QString::fromUtf8(upload ? "Zuletzt gesendet" : "Vom Gerät geholt"));
    content_->showSection(kind, pointTable);
}

void MainWindow::openShortHelp() {
    if (help_) {
        // Only one help window: the open one comes back into view, onto
        // the screen when it was moved off it.
        bringOntoScreen(help_.data(), this);
        help_->show();
        help_->raise();
        help_->activateWindow();
        help_->textView()->setFocus();
        return;
    }
    help_ = new HelpWindow(this);
    help_->show();
}

void MainWindow::storeChoices() {
    // The simulator is kept as USB: the parameter file has no place for it.
    const bool onSimulator = port_->currentData().toString() == QString::fromUtf8(kSimulatorPortData);
    const bool onMtp = port_->currentData().toString().startsWith(QStringLiteral("mtp:"));
    settings.portIndex = onSimulator ? 0 : onMtp ? kMtpPortIndex : qMin(port_->currentIndex(), kDrivePortIndex);
    settings.fileTypeIndex = fileType_->currentIndex();
    settings.objectTypeIndex = objectType_->currentIndex();
}

void MainWindow::bringToFront() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    } else if (windowHandle() && !windowHandle()->isExposed()) {
        // Iconified by the window manager without Qt having been told:
        // mapping the window again brings it back.
        hide();
    }
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (transferBusy) {
        beep();
        event->ignore();
        return;
    }
    storeChoices();
    if (help_) help_->close();
    event->accept();
    emit closed();
}

void MainWindow::focusInEvent(QFocusEvent* event) {
    QMainWindow::focusInEvent(event);
    port_->setFocus();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Whenever the window becomes active again the focus is on the port.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) port_->setFocus();
}

}  // namespace ui
