// The port choice of the main window with Garmin drives: listed after
// "COM 8" with the device's Model/Description, passed to the command driver
// as the drive port with the chosen mount point, remembered as index 9.

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "commands/command.h"
#include "link/drive.h"
#include "platform/settings.h"
#include "ui/main_window.h"

namespace {

int lastPort = -1;
std::string lastMountPoint;

int recordCommand(TransferCommand, const Port& port, FileKind, ObjectKind) {
    lastPort = portIndex(port);
    lastMountPoint = driveMountPoint();
    return 0;
}
void noConversion() {}

const ui::MainWindowActions kRecorder = {&recordCommand, &noConversion};
const QString kTrees = QStringLiteral(WEGMATE_SOURCE_DIR "/tests/drive/trees");

}  // namespace

class DrivePortTest : public QObject {
    Q_OBJECT
  private slots:
    void drivesAreListedAndChosen() {
        ui::MainWindow window(kRecorder);
        QComboBox* port = window.portChoice();
        ui::addGarminDrives(port,
                            {kTrees + "/etrex30", QStringLiteral("/proc"), kTrees + "/older", kTrees + "/sdcard"});
        QCOMPARE(port->count(), 13);
        QCOMPARE(port->itemText(8), QStringLiteral("COM 8"));
        QCOMPARE(port->itemText(9), QStringLiteral("Garmin-Laufwerk (eTrex 30)"));
        QCOMPARE(port->itemText(10), QStringLiteral("Garmin-Laufwerk (Colorado 300)"));
        QCOMPARE(port->itemText(11), QStringLiteral("Garmin-Laufwerk (eTrex 30)"));
        QCOMPARE(port->itemText(12), QStringLiteral("Simulator (eTrex)"));

        port->setCurrentIndex(10);
        window.button(ui::kCmdDownloadTracks)->click();
        QCOMPARE(lastPort, kDrivePortIndex);
        QCOMPARE(QString::fromStdString(lastMountPoint), kTrees + "/older");

        // A new look keeps the chosen drive; a drive that is gone falls away.
        ui::addGarminDrives(port, {kTrees + "/older"});
        QCOMPARE(port->count(), 11);
        QCOMPARE(port->currentIndex(), 9);
        window.storeChoices();
        QCOMPARE(settings.portIndex, 9);

        port->setCurrentIndex(3);
        window.button(ui::kCmdUploadWaypoints)->click();
        QCOMPARE(lastPort, 3);

        // MTP units follow the drives: the MTP port, kept as such.
        ui::addGarminDrives(port, {kTrees + "/older"}, {"GPSMAP 66s"});
        QCOMPARE(port->count(), 12);
        QCOMPARE(port->itemText(10), QStringLiteral("Garmin-MTP (GPSMAP 66s)"));
        port->setCurrentIndex(10);
        window.button(ui::kCmdDownloadTracks)->click();
        QCOMPARE(lastPort, kMtpPortIndex);
        window.storeChoices();
        QCOMPARE(settings.portIndex, kMtpPortIndex);
        ui::addGarminDrives(port, {kTrees + "/older"});

        // The simulator plays a receiver on USB; the parameter file keeps
        // USB for it.
        port->setCurrentIndex(10);
        window.button(ui::kCmdDownloadTracks)->click();
        QCOMPARE(lastPort, 0);
        window.storeChoices();
        QCOMPARE(settings.portIndex, 0);
    }

    // The tests' own mount table stands in for the machine's volumes: a
    // Garmin drive that happens to be mounted changes no test.
    void mountTableStandsInForTheVolumes() {
        QTemporaryDir dir;
        const QString table = dir.filePath(QStringLiteral("mounts"));
        QFile file(table);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("/dev/sdb1 " + kTrees + "/etrex30 vfat rw 0 0\n").toUtf8());
        file.close();
        const QByteArray before = qgetenv("WEGMATE_MOUNT_TABLE");
        qputenv("WEGMATE_MOUNT_TABLE", table.toUtf8());
        const QStringList roots = ui::mountedVolumeRoots();
        qputenv("WEGMATE_MOUNT_TABLE", before);
        QCOMPARE(roots, QStringList{kTrees + "/etrex30"});
    }
};

QTEST_MAIN(DrivePortTest)
#include "drive_port_test.moc"
