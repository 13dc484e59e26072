// Whole transfers through the main window against the receiver simulator:
// the real core behind the buttons, the real dialogs answered as a user
// would answer them.

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "commands/command.h"
#include "link/transport.h"
#include "modal_script.h"
#include "sim/simulator.h"
#include "ui/application.h"
#include "ui/boxes.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"
#include "ui/read_only_text.h"

namespace {

const QString kInfoTitle = QStringLiteral("Wegmate-INFO");
const QString kRouteMode = QStringLiteral("Wegmate  --  Wegpunktmodus");

}  // namespace

class TransferTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void deviceInfoOverSerial();
    void downloadAndUploadWaypointsOverSerial();
    void busyDuringARealTransfer();
    void uploadFromAsciiOverlayAsksForInitials();
    void singleTrackOverUsbThenUploadWithTrackName();
    void usbWithoutReceiver();
    void ovlConversionFromTheMenu();

  private:
    void choose(int port, int fileType, int objectType) {
        window_->portChoice()->setCurrentIndex(port);
        window_->fileTypeChoice()->setCurrentIndex(fileType);
        window_->objectTypeChoice()->setCurrentIndex(objectType);
    }
    QString path(const char* name) const { return files_.filePath(QString::fromLatin1(name)); }
    // The serial receiver's waypoints, not as routes, into the chosen file type.
    void downloadWaypointsInto(const QString& file) {
        ModalScript script;
        script.onFile(QStringLiteral("Wegmate  --  OVL-Datei schreiben"), file);
        script.onBox(kRouteMode, QStringLiteral("&Nein"));
        script.onBox(kInfoTitle, QStringLiteral("OK"));
        window_->button(104)->click();
        QVERIFY2(script.finished(), qPrintable(script.describe()));
    }

    QTemporaryDir config_;
    QTemporaryDir files_;
    std::unique_ptr<Simulator> serial_;
    std::unique_ptr<ui::MainWindow> window_;
};

void TransferTest::initTestCase() {
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    ui::installGermanTranslations();
    ui::installQtPlatform();
    const SimProfile* etrex = findSimProfile("etrex");
    QVERIFY(etrex);
    serial_ = std::make_unique<Simulator>(*etrex);
    serial_->generate(5, 1, 4, 2, 30);
    const std::string tty = serial_->startPty();
    QVERIFY(!tty.empty());
    setSerialDeviceOverride(1, tty);
}

void TransferTest::init() {
    serial_->clearUploadLog();
    window_ = std::make_unique<ui::MainWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void TransferTest::cleanup() {
    window_.reset();
    QVERIFY(!transferBusy);
}

void TransferTest::cleanupTestCase() {
    setSerialDeviceOverride(1, "");
    serial_->stop();
}

void TransferTest::deviceInfoOverSerial() {
    choose(1, 0, 0);
    ModalScript script;
    QString text;
    script.on(QString::fromUtf8(" Wegmate -- Angeschlossenes Gerät"), [&text](QWidget* window) {
        auto* dialog = qobject_cast<ui::DeviceInfoDialogWindow*>(window);
        text = dialog->textView()->toPlainText();
        dialog->okButton()->click();
    });
    window_->action(50)->trigger();
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QVERIFY2(text.startsWith(QStringLiteral("eTrex")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\nProtokolle:\nP000\nL001\nA010")));
    QVERIFY(script.statusTexts().contains(QStringLiteral("  Status:   Bitte warten.")));
    QCOMPARE(window_->statusLine()->text(), QStringLiteral("  Status:   Bereit."));
}

void TransferTest::downloadAndUploadWaypointsOverSerial() {
    choose(1, 0, 1);  // COM 1, MapInfo MIF, points
    const QString mif = path("wegpunkte.mif");
    {
        ModalScript script;
        script.onFile(QStringLiteral("Wegmate  --  MIF-Datei schreiben"), mif);
        script.onBox(kRouteMode, QStringLiteral("&Nein"));
        script.onBox(kInfoTitle, QStringLiteral("OK"));
        QTest::mouseClick(window_->button(104), Qt::LeftButton);
        QVERIFY2(script.finished(), qPrintable(script.describe()));
        QCOMPARE(script.boxTexts().size(), 2);  // the route question and the result
        QCOMPARE(script.boxTexts().last(), QString::fromUtf8("Übertragung erfolgreich beendet (00005 Punkte)."));
        // The status line was updated, and painted, while the records came in.
        bool counted = false;
        for (const QString& status : script.statusTexts())
            counted = counted || status.contains(QStringLiteral("empfangen"));
        QVERIFY2(counted, qPrintable(script.statusTexts().join(QStringLiteral(" | "))));
    }
    QVERIFY(QFile::exists(mif));
    QVERIFY(QFile::exists(path("wegpunkte.mid")));
    QCOMPARE(window_->statusLine()->text(), QStringLiteral("  Status:   Bereit."));

    {
        ModalScript script;
        script.onFile(QString::fromUtf8("Wegmate  --  MIF-Datei öffnen zum Senden an GPS-Gerät"), mif);
        script.onBox(kRouteMode, QStringLiteral("&Nein"));
        script.onBox(kInfoTitle, QStringLiteral("OK"));
        QTest::mouseClick(window_->button(105), Qt::LeftButton);
        QVERIFY2(script.finished(), qPrintable(script.describe()));
        QCOMPARE(script.boxTexts().size(), 2);
        QCOMPARE(script.boxTexts().last(), QString::fromUtf8("Übertragung erfolgreich beendet (0005 Punkte)."));
    }
    const SimUploadLog log = serial_->uploadLog();
    QCOMPARE(log.transfers, 1);
    QCOMPARE(int(log.waypoints.size()), 5);
    QCOMPARE(QString::fromStdString(log.waypoints[0].name), QStringLiteral("WP0001"));
    // Comments go to the receiver in capitals.
    QCOMPARE(QString::fromStdString(log.waypoints[4].comment), QStringLiteral("PUNKT 5"));
    QCOMPARE(window_->statusLine()->text(), QStringLiteral("  Status:   Bereit."));
}

void TransferTest::busyDuringARealTransfer() {
    choose(1, 0, 1);  // COM 1, MIF, points: waypoints form no lines
    int beepsDuring = -1;
    bool busyDuring = false;
    bool visibleAfterClose = false;
    ModalScript script;
    script.onFile(QStringLiteral("Wegmate  --  MIF-Datei schreiben"), path("busy.mif"));
    script.on(kRouteMode, [&](QWidget* box) {
        // The link is open and the transfer waits for this answer.
        // Shown busy: the transfer buttons and refused menu items are
        // disabled and take no click; closing the window beeps.
        busyDuring = transferBusy && !window_->button(106)->isEnabled() && !window_->action(50)->isEnabled() &&
                     !window_->action(48)->isEnabled();
        const int before = ui::beepCount();
        window_->button(106)->click();
        window_->action(50)->trigger();
        window_->action(48)->trigger();
        window_->close();
        visibleAfterClose = window_->isVisible();
        beepsDuring = ui::beepCount() - before;
        ModalScript::clickButton(box, QStringLiteral("&Nein"));
    });
    script.onBox(kInfoTitle, QStringLiteral("OK"));
    window_->button(104)->click();
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QVERIFY(busyDuring);
    QCOMPARE(beepsDuring, 1);
    QVERIFY(visibleAfterClose);
    QVERIFY(!transferBusy);
    QVERIFY(window_->button(106)->isEnabled());
    QVERIFY(window_->close());
}

void TransferTest::uploadFromAsciiOverlayAsksForInitials() {
    choose(1, 1, 1);  // COM 1, TOP50-OVL-ASCII, points
    const QString ovl = path("punkte.ovl");
    downloadWaypointsInto(ovl);
    QVERIFY(QFile::exists(ovl));
    ModalScript script;
    script.onFile(QString::fromUtf8("Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät"), ovl);
    script.on(QStringLiteral(" Wegmate -- Wegpunktbezeichnungen"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::InitialsDialogWindow*>(window);
        QCOMPARE(dialog->field()->text(), QStringLiteral("AA"));
        dialog->field()->setText(QStringLiteral("K"));
        dialog->okButton()->click();  // refused, the dialog stays
        dialog->field()->clear();
        QTest::keyClicks(dialog->field(), QStringLiteral("kb"));
        dialog->okButton()->click();
    });
    script.onBox(QStringLiteral("FEHLER"), QStringLiteral("OK"));
    script.onBox(kRouteMode, QStringLiteral("&Nein"));
    script.onBox(kInfoTitle, QStringLiteral("OK"));
    window_->button(105)->click();
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(script.boxTexts().first(),
             QStringLiteral("Als Eingabe werden hier genau zwei Zeichen \naus den Bereichen 'A' - 'Z' oder "
                            "'0' - '9' \nerwartet!"));
    QCOMPARE(script.boxTexts().at(1), QStringLiteral("Wegpunkte in ROUTE(N) laden? \n"));
    const SimUploadLog log = serial_->uploadLog();
    QCOMPARE(int(log.waypoints.size()), 5);
    for (const SimWaypoint& waypoint : log.waypoints)
        QVERIFY2(QString::fromStdString(waypoint.name).startsWith(QStringLiteral("KB")), waypoint.name.c_str());
}

void TransferTest::singleTrackOverUsbThenUploadWithTrackName() {
    const SimProfile* etrex = findSimProfile("etrex");
    Simulator usb(*etrex);
    usb.generate(0, 0, 0, 3, 20);
    UsbDriver driver = usb.usbDriver();
    installUsbDriver(&driver);

    choose(0, 1, 0);  // USB, TOP50-OVL-ASCII, lines
    const QString ovl = path("track.ovl");
    QStringList listed;
    {
        ModalScript script;
        script.onFile(QStringLiteral("Wegmate  --  OVL-Datei schreiben"), ovl);
        script.onBox(QStringLiteral("Wegmate  --  Track-Aufz.-Auswahl"), QStringLiteral("&Ja"));
        script.on(QStringLiteral(" Wegmate -- Auswahl Track-Aufzeichnung"), [&listed](QWidget* window) {
            auto* dialog = qobject_cast<ui::TrackSelectDialogWindow*>(window);
            for (int i = 0; i < dialog->list()->count(); ++i) listed << dialog->list()->item(i)->text();
            dialog->list()->setCurrentRow(1);
            dialog->okButton()->click();
        });
        script.onBox(kInfoTitle, QStringLiteral("OK"));
        window_->button(106)->click();
        QVERIFY2(script.finished(), qPrintable(script.describe()));
        QCOMPARE(script.boxTexts().last(), QString::fromUtf8("Übertragung erfolgreich beendet (00020 Punkte)."));
    }
    installUsbDriver(nullptr);
    QCOMPARE(listed, QStringList({QStringLiteral("TRACK01"), QStringLiteral("TRACK02"), QStringLiteral("TRACK03")}));
    QVERIFY(QFile::exists(ovl));

    // Back to the receiver on COM 1 with that one track; the overlay has no
    // track name, so the program asks for one.
    choose(1, 1, 0);
    ModalScript script;
    script.onFile(QString::fromUtf8("Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät"), ovl);
    // Several lines (the track's segments) stay one track log.
    script.onBox(QStringLiteral("Wegmate  --  Mehrere Track-Aufz."), QStringLiteral("&Nein"));
    script.on(QStringLiteral(" Wegmate -- Routen-/Track-ID"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::RouteTrackIdDialogWindow*>(window);
        QCOMPARE(dialog->field()->text(), QStringLiteral("ACTIVE LOG"));
        QCOMPARE(dialog->field()->maxLength(), 50);
        dialog->field()->setText(QStringLiteral("WANDERUNG"));
        dialog->okButton()->click();
    });
    script.onBox(kInfoTitle, QStringLiteral("OK"));
    window_->button(107)->click();
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    const SimUploadLog log = serial_->uploadLog();
    QCOMPARE(int(log.tracks.size()), 1);
    QCOMPARE(QString::fromStdString(log.tracks[0].name), QStringLiteral("WANDERUNG"));
    QCOMPARE(int(log.tracks[0].points.size()), 20);
}

void TransferTest::usbWithoutReceiver() {
    const SimProfile* etrex = findSimProfile("etrex");
    Simulator usb(*etrex);
    usb.faults.usbAbsent = true;
    UsbDriver driver = usb.usbDriver();
    installUsbDriver(&driver);
    choose(0, 0, 0);
    ModalScript script;
    script.onBox(QStringLiteral("FEHLER"), QStringLiteral("OK"));
    window_->button(104)->click();
    installUsbDriver(nullptr);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(script.boxTexts(), QStringList({QStringLiteral("Fehler beim Initialisieren der USB-Verbindung.")}));
    // The status line kept its idle text throughout.
    for (const QString& status : script.statusTexts()) QCOMPARE(status, QStringLiteral("  Status:   Bereit."));
}

void TransferTest::ovlConversionFromTheMenu() {
    choose(1, 2, 1);  // COM 1, TOP50-OVL-Binär, points
    const QString ovl = path("binaer.ovl");
    downloadWaypointsInto(ovl);
    QVERIFY(QFile::exists(ovl));

    // The conversion needs no receiver. Its save dialog offers the input's
    // name, which the user keeps here to replace the input file.
    const QString question = QStringLiteral(" Wegmate  --  OVL-3/4-Konvertierung");
    const QString saveTitle = QStringLiteral("Wegmate  --  Umgewandelte OVL-Datei schreiben");
    {
        ModalScript script;
        script.onBox(question, QStringLiteral("OK"));
        script.onFile(QString::fromUtf8("Wegmate  --  Zu konvertierende OVL-Datei öffnen"), ovl);
        QString presetName;
        script.on(saveTitle, [&presetName, ovl](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            presetName = field->text();
            ModalScript::enterFileName(dialog, ovl);
        });
        script.on(saveTitle, [](QWidget* box) {  // replace the existing file?
            QVERIFY(ModalScript::clickButton(box, QStringLiteral("&Ja")) ||
                    ModalScript::clickButton(box, QStringLiteral("&Yes")));
        });
        script.onBox(QStringLiteral("Wegmate"), QStringLiteral("OK"));
        window_->action(56)->trigger();
        QVERIFY2(script.finished(), qPrintable(script.describe()));
        QCOMPARE(presetName, QStringLiteral("binaer.ovl"));
        QCOMPARE(script.boxTexts().last(),
                 QStringLiteral("Neue OVL-Datei mit editierbaren \n\"Objektdaten\" wurde geschrieben. "));
        QVERIFY(QFile(ovl).size() > 0);
    }

    // Cancelled at the question: nothing else happens.
    ModalScript cancelled;
    cancelled.onBox(question, QStringLiteral("Abbrechen"));
    window_->action(56)->trigger();
    QVERIFY2(cancelled.finished(), qPrintable(cancelled.describe()));
    QCOMPARE(cancelled.log().size(), 1);
}

QTEST_MAIN(TransferTest)
#include "transfer_test.moc"
