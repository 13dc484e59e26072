#include "ui/main_window.h"

#include <algorithm>
#include <cstdlib>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QStyle>
#include <QWindow>

#include "commands/command.h"
#include "platform/settings.h"
#include "commands/ovl_convert.h"
#include "formats/file_formats.h"
#include "link/drive.h"
#include "ui/boxes.h"
#include "ui/dialogs.h"
#include "ui/help_window.h"
#include "ui/info_box.h"
#include "ui/read_only_text.h"

namespace ui {

namespace {

MainWindow* theMainWindow = nullptr;

const MainWindowActions kCoreActions = {&::runCommand, &::convertOvlFile};

// The client area with the three painted labels.
class ClientArea : public QWidget {
  public:
    ClientArea(QWidget* parent, const DialogUnits& units) : QWidget(parent), units_(units) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const int x = 4 * units_.baseX;
        const int lineHeight = QFontMetrics(font()).height();
        const struct {
            double y;
            const char* text;
        } labels[] = {{1.85, "Serieller Anschluss:"}, {5.85, "Dateiart:   "}, {9.85, "Objektart:  "}};
        for (const auto& label : labels) {
            const int y = static_cast<int>(label.y * units_.baseY);
            painter.drawText(QRect(x, y, width() - x, lineHeight), Qt::AlignLeft | Qt::AlignTop,
                             QString::fromUtf8(label.text));
        }
    }

  private:
    DialogUnits units_;
};

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
        addGarminDrives(this, mountedVolumeRoots());
        QComboBox::showPopup();
    }
};

// The four transfer buttons, in their order in the window.
const struct {
    int id;
    TransferCommand command;
    double y;
    const char* text;
} kTransferButtons[] = {{kCmdDownloadWaypoints, DownloadWaypoints, 2.7, "Wegpunkte / Route(n) holen"},
                        {kCmdUploadWaypoints, UploadWaypoints, 5.36666667, "Wegpunkte / Route(n) senden"},
                        {kCmdDownloadTracks, DownloadTracks, 8.0333333333, "Track-Aufzeichnung(en) holen"},
                        {kCmdUploadTracks, UploadTracks, 10.7, "Track-Aufzeichnung(en) senden"}};
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

void addGarminDrives(QComboBox* portChoice, const QStringList& roots) {
    // The entries after "COM 8" are the drives; the one chosen stays chosen
    // while it is there.
    const QString chosen =
        portChoice->currentIndex() >= kDrivePortIndex ? portChoice->currentData().toString() : QString();
    while (portChoice->count() > kDrivePortIndex) portChoice->removeItem(kDrivePortIndex);
    for (const QString& root : roots) {
        DriveDevice device;
        if (!readGarminDevice(root.toStdString(), device).empty()) continue;
        portChoice->addItem(QString::fromStdString(drivePortLabel(device)), root);
        if (root == chosen) portChoice->setCurrentIndex(portChoice->count() - 1);
    }
}

MainWindow::MainWindow(const MainWindowActions& actions) : actions_(actions) {
    theMainWindow = this;
    units_ = systemDialogUnits();
    setWindowTitle(QStringLiteral("Wegmate"));
    setWindowIcon(QIcon(QStringLiteral(":/wegmate/wegmate.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
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

    // The window keeps one size: 61 x 19 base units for the whole window,
    // frame and caption included, as far as they can be known here.
    const int frame = 4;
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    // The menu bar keeps all five items in one row, their trailing blanks
    // included; a font whose letters are wide for their average widens the
    // window rather than hiding items behind an extension arrow.
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 3px; }"));
    const int width = qMax(61 * bx - 2 * frame, menuBar()->sizeHint().width() + 2);
    const int height = 19 * by - caption - 2 * frame;
    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(width, height);

    client_ = new ClientArea(this, units_);
    useBackground(client_);
    setCentralWidget(client_);
    const int clientWidth = width;
    const int clientHeight = height - menuHeight;

    auto choice = [this, by](int id, int x, int y, int w, const QStringList& entries, QComboBox* combo = nullptr) {
        if (!combo) combo = new QComboBox(client_);
        combo->setObjectName(QStringLiteral("choice%1").arg(id));
        combo->addItems(entries);
        // Wide enough for the longest entry beside the drop-down arrow.
        combo->setGeometry(x, y, qMax(w, combo->sizeHint().width()), combo->sizeHint().height());
        combo->setMaxVisibleItems(qMax(3, (6 * by - combo->height()) / qMax(1, by)));
        return combo;
    };
    port_ = choice(101, 4 * bx, 3 * by, 15 * bx,
                   {QStringLiteral("USB"), QStringLiteral("COM 1"), QStringLiteral("COM 2"), QStringLiteral("COM 3"),
                    QStringLiteral("COM 4"), QStringLiteral("COM 5"), QStringLiteral("COM 6"), QStringLiteral("COM 7"),
                    QStringLiteral("COM 8")},
                   new PortChoice(client_));
    QStringList fileTypes;
    for (const FileFormat& format : fileFormats()) fileTypes << QString::fromUtf8(format.choiceText);
    fileType_ = choice(102, 4 * bx, 7 * by, 20 * bx, fileTypes);
    objectType_ =
        choice(103, 4 * bx, 11 * by, 20 * bx, {QStringLiteral("Linie / Polylinie"), QStringLiteral("Punkt / Symbol")});
    addGarminDrives(port_, mountedVolumeRoots());
    // A remembered drive is the first one found, or USB when none is there.
    const int storedPort = static_cast<int>(settings.portIndex);
    port_->setCurrentIndex(storedPort == kDrivePortIndex && port_->count() <= kDrivePortIndex
                               ? 0
                               : qBound(0, storedPort, kDrivePortIndex));
    fileType_->setCurrentIndex(qBound(0, static_cast<int>(settings.fileTypeIndex), fileType_->count() - 1));
    objectType_->setCurrentIndex(qBound(0, static_cast<int>(settings.objectTypeIndex), 1));

    const auto& buttons = kTransferButtons;
    for (int i = 0; i < kTransferButtonCount; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(buttons[i].text), client_);
        button->setObjectName(QStringLiteral("button%1").arg(buttons[i].id));
        button->setGeometry(28 * bx, static_cast<int>(buttons[i].y * by), 29 * bx, 2 * by);
        // Enter presses the button that has the focus.
        button->setAutoDefault(true);
        const int id = buttons[i].id;
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
        buttons_[i] = button;
    }

    status_ = new QLabel(client_);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setTextFormat(Qt::PlainText);
    status_->setFrameStyle(QFrame::Box | QFrame::Plain);
    status_->setLineWidth(1);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setWordWrap(false);
    const int statusHeight = static_cast<int>(1.2 * by);
    status_->setGeometry(0, clientHeight - statusHeight, clientWidth, statusHeight);

    setTabOrder(port_, fileType_);
    setTabOrder(fileType_, objectType_);
    setTabOrder(objectType_, buttons_[0]);
    for (int i = 0; i < 3; ++i) setTabOrder(buttons_[i], buttons_[i + 1]);
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

void MainWindow::showBusy(bool busy) {
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
    } busyScope(this, id == kCmdDeviceInfo || id == kCmdOvlConversion || transferButtonIndex(id) >= 0);
    // Every drive entry is the drive port, with its mount point.
    const Port port = portAtIndex(qMin(port_->currentIndex(), kDrivePortIndex));
    if (port == kDrivePort) setDriveMountPoint(port_->currentData().toString().toStdString());
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
        actions_.runCommand(kTransferButtons[transferButtonIndex(id)].command, port, fileKind, objectKind);
        break;
    default: break;
    }
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
    settings.portIndex = qMin(port_->currentIndex(), kDrivePortIndex);
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
