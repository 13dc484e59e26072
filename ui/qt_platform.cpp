#include "ui/qt_platform.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QThread>

#include <map>

#include "formats/file_formats.h"
#include "model/content.h"
#include "ui/boxes.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"

namespace ui {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text ? text : ""); }

void qtMessageBox(const char* title, const char* text, BoxIcon icon) {
    messageBox(boxOwner(), utf8(title), utf8(text), icon);
}

bool qtAskYesNo(QuestionId id, const char* title, const char* text, int) {
    // Tracks ticked in the content list are the choice: the download takes
    // every track and keeps the ticked ones, without the chain of questions.
    if (id == QuestionId::SingleTrack && !transferSelection.empty()) return false;
    return askYesNo(boxOwner(), utf8(title), utf8(text));
}

bool qtAskOkCancel(QuestionId, const char* title, const char* text) {
    return askOkCancel(boxOwner(), utf8(title), utf8(text));
}

bool qtOpen(const char* title, FileFilter filter, std::string& fileName) {
    const std::string preset = takePresetFileToOpen();
    if (!preset.empty()) {
        fileName = preset;
        return true;
    }
    return chooseFileToOpen(boxOwner(), utf8(title), filter, fileName);
}

bool qtSave(const char* title, FileFilter filter, const char* defaultExtension, std::string& fileName) {
    return chooseFileToSave(boxOwner(), utf8(title), filter, utf8(defaultExtension), fileName);
}

void qtStatusLine(const char* text) {
    if (MainWindow* window = MainWindow::instance()) window->setStatusText(utf8(text));
}

// The window shows the counts within the status text.
void qtProgress(long done, long total) {
    if (MainWindow* window = MainWindow::instance()) window->showProgress(done, total);
}

void qtPump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void qtRepaint() {
    if (MainWindow* window = MainWindow::instance()) window->repaint();
}

void qtWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

void qtBeep() { beep(); }

// The transfers' fixed pauses: the window stays painted meanwhile.
void qtPause(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = milliseconds - clock.elapsed();
        if (left <= 0) break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 50)));
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

bool qtInitials(const InitialsDialog& dialog, std::string& entry) {
    InitialsDialogWindow window(boxOwner(), dialog, entry);
    if (window.exec() != QDialog::Accepted) return false;
    entry = window.entry();
    return true;
}

bool qtRouteTrackId(const RouteTrackIdDialog& dialog, std::string& entry) {
    RouteTrackIdDialogWindow window(boxOwner(), dialog, entry);
    if (window.exec() != QDialog::Accepted) {
        entry.clear();
        return false;
    }
    entry = window.entry();
    return true;
}

bool qtTrackSelect(const TrackSelectDialog& dialog, int& selected) {
    TrackSelectDialogWindow window(boxOwner(), dialog);
    if (window.exec() != QDialog::Accepted) return false;
    selected = window.selected();
    return selected >= 0;
}

void qtDeviceInfo(const char* title, const char* text) {
    DeviceInfoDialogWindow window(boxOwner(), utf8(title), utf8(text));
    window.exec();
}

const Platform kQtPlatform = {
    .messageBox = qtMessageBox,
    .askYesNo = qtAskYesNo,
    .askOkCancel = qtAskOkCancel,
    .chooseFileToOpen = qtOpen,
    .chooseFileToSave = qtSave,
    .setStatusLine = qtStatusLine,
    .progress = qtProgress,
    .pumpEvents = qtPump,
    .repaintMainWindow = qtRepaint,
    .setWaitCursor = qtWaitCursor,
    .beep = qtBeep,
    .pause = qtPause,
    .initialsDialog = qtInitials,
    .routeTrackIdDialog = qtRouteTrackId,
    .trackSelectDialog = qtTrackSelect,
    .deviceInfoDialog = qtDeviceInfo,
};

// A preset that names a file (not a pattern) selects it in the dialog.
void applyPreset(QFileDialog& dialog, const std::string& fileName) {
    const QString preset = QString::fromStdString(fileName);
    if (preset.isEmpty()) return;
    const QFileInfo info(preset);
    if (preset.contains(QLatin1Char('*')) || preset.contains(QLatin1Char('?'))) {
        if (info.path() != QStringLiteral(".") && QDir(info.path()).exists()) dialog.setDirectory(info.path());
        return;
    }
    if (info.isAbsolute() && info.dir().exists()) dialog.setDirectory(info.dir());
    dialog.selectFile(info.fileName());
}

// The directory of the last file chosen, per file type, for this session:
// the next dialog of that type starts there unless its preset names one.
std::map<FileFilter, QString> lastDirectories;

void rememberDirectory(FileFilter filter, const QString& file) {
    lastDirectories[filter] = QFileInfo(file).absolutePath();
}

void prepareDialog(QFileDialog& dialog, const QString& title, FileFilter filter) {
    dialog.setWindowTitle(title);
    auto last = lastDirectories.find(filter);
    const bool remembered = last != lastDirectories.end() && QDir(last->second).exists();
    dialog.setDirectory(remembered ? last->second : QDir::currentPath());
    // The dialog of this program, not the desktop's: same behaviour everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(nameFilters(filter));
    dialog.selectNameFilter(nameFilters(filter).first());
    // The filter list shows the descriptions as they are written, blanks
    // included (the dialog itself would fold them).
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        const QStringList shown = filterDescriptions(filter);
        for (int i = 0; i < types->count() && i < shown.size(); ++i) types->setItemText(i, shown[i]);
    }
}

}  // namespace

QStringList nameFilters(FileFilter filter) {
    // "*.*" of the descriptions means every file, with or without a dot.
    return {QString::fromUtf8(fileFormatWithFilter(filter).filterMatch), QStringLiteral("Alle Dateien (*)")};
}

QStringList filterDescriptions(FileFilter filter) {
    return {QString::fromUtf8(fileFormatWithFilter(filter).filterText), QStringLiteral("Alle Dateien   (*.*)")};
}

bool chooseFileToOpen(QWidget* owner, const QString& title, FileFilter filter, std::string& fileName) {
    QFileDialog dialog(owner);
    prepareDialog(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    applyPreset(dialog, fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    rememberDirectory(filter, dialog.selectedFiles().first());
    fileName = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
    return true;
}

bool chooseFileToSave(QWidget* owner, const QString& title, FileFilter filter, const QString& defaultExtension,
                      std::string& fileName) {
    QFileDialog dialog(owner);
    prepareDialog(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultExtension);
    // The extension the dialog adds follows the case of the typed name:
    // "TOUR" becomes "TOUR.MIF", "tour" "tour.mif".
    if (auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        QObject::connect(field, &QLineEdit::textChanged, &dialog, [&dialog, defaultExtension](const QString& text) {
            const QString name = QFileInfo(text).fileName();
            const bool upperCase = name == name.toUpper() && name != name.toLower();
            dialog.setDefaultSuffix(upperCase ? defaultExtension.toUpper() : defaultExtension.toLower());
        });
    }
    // Qt asks before it replaces an existing file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    applyPreset(dialog, fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    rememberDirectory(filter, dialog.selectedFiles().first());
    fileName = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
    return true;
}

const Platform& qtPlatform() { return kQtPlatform; }

void installQtPlatform() { installPlatform(&kQtPlatform); }

}  // namespace ui
