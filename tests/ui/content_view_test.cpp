// The content view: a file's items listed by kind with check boxes, the
// ticked ones given to the transfer that moves them, saved on their own,
// and the sketch's projection, zoom and pan.

#include <QComboBox>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "model/content.h"
#include "modal_script.h"
#include "platform/settings.h"
#include "ui/content_view.h"
#include "ui/main_window.h"
#include "ui/map_sketch.h"
#include "ui/qt_platform.h"

namespace {

const char* const kMixedGpx =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    "<wpt lat=\"50.1\" lon=\"7.1\"><name>Münchner Haus</name></wpt>\n"
    "<rte><name>Heimweg</name><rtept lat=\"50.1\" lon=\"7.1\"><name>A1</name></rtept>"
    "<rtept lat=\"50.2\" lon=\"7.1\"><name>A2</name></rtept></rte>\n"
    "<trk><name>Tour</name><trkseg><trkpt lat=\"50\" lon=\"7\"/><trkpt lat=\"50.01\" lon=\"7\"/></trkseg></trk>\n"
    "<trk><name>Runde</name><trkseg><trkpt lat=\"48\" lon=\"11\"/><trkpt lat=\"48\" lon=\"11.1\"/>"
    "<trkpt lat=\"48.1\" lon=\"11.1\"/></trkseg></trk>\n"
    "</gpx>\n";

std::string selectionSeen;
std::vector<TransferCommand> commandsSeen;
int recordCommand(TransferCommand command, const Port&, FileKind, ObjectKind) {
    selectionSeen = transferSelection;
    commandsSeen.push_back(command);
    return 0;
}
void noConversion() {}
const ui::MainWindowActions kRecorder = {&recordCommand, &noConversion};

QStringList rowTexts(QTreeWidgetItem* node) {
    QStringList rows;
    for (int i = 0; i < node->childCount(); i++) {
        QStringList cells;
        for (int c = 0; c < 7; c++) cells << node->child(i)->text(c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

}  // namespace

class ContentViewTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void aFilesItemsAreListedAndTickedOnesGoToTheUpload();
    void tickedItemsAreSavedOnTheirOwn();
    void theSketchProjectsZoomsAndPans();
    void aDownloadFromTheSimulatorShowsWhatCame();

  private:
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    void openContent(ui::MainWindow& window);
    QTemporaryDir dir_;
};

void ContentViewTest::initTestCase() {
    qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    ui::installQtPlatform();
    QFile file(path("mixed.gpx"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kMixedGpx);
}

void ContentViewTest::openContent(ui::MainWindow& window) {
    window.fileTypeChoice()->setCurrentIndex(3);  // GPX
    ModalScript script;
    script.onFile(QStringLiteral("Wegmate  --  Datei-Inhalt anzeigen"), path("mixed.gpx"));
    window.command(ui::kCmdShowFileContent);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

void ContentViewTest::aFilesItemsAreListedAndTickedOnesGoToTheUpload() {
    settings = Settings{};
    ui::MainWindow window(kRecorder);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    openContent(window);
    QTreeWidget* list = window.content()->list();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Wegpunkte und Routen (2)"));
    QCOMPARE(rowTexts(list->topLevelItem(0)), QStringList({QString::fromUtf8("Wegpunkt|1|Münchner Haus||1||0.00"),
                                                           QStringLiteral("Route|2|Heimweg||2||11.12")}));
    QCOMPARE(rowTexts(list->topLevelItem(1)), QStringList({QStringLiteral("Track|1|Tour||2||1.11"),
                                                           QStringLiteral("Track|2|Runde||3||18.56")}));
    ModalScript::screenshot(QStringLiteral("Inhalt"));

    // Nothing ticked: the upload moves everything, as before.
    window.command(ui::kCmdUploadTracks);
    QCOMPARE(selectionSeen, std::string());
    // The second track ticked: the track upload takes it, the waypoint
    // upload does not, and a download (of the receiver's content) neither.
    list->topLevelItem(1)->child(1)->setCheckState(0, Qt::Checked);
    window.command(ui::kCmdUploadTracks);
    QCOMPARE(selectionSeen, std::string("2"));
    window.command(ui::kCmdUploadWaypoints);
    QCOMPARE(selectionSeen, std::string());
    window.command(ui::kCmdDownloadTracks);
    QCOMPARE(selectionSeen, std::string());
    QCOMPARE(transferSelection, std::string());

    // Choosing a row draws that item highlighted.
    list->setCurrentItem(list->topLevelItem(1)->child(0));
    QCOMPARE(window.content()->sketch()->highlighted(), 2);
}

void ContentViewTest::tickedItemsAreSavedOnTheirOwn() {
    settings = Settings{};
    ui::MainWindow window(kRecorder);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    openContent(window);
    QTreeWidget* list = window.content()->list();
    list->topLevelItem(1)->child(1)->setCheckState(0, Qt::Checked);
    list->setCurrentItem(list->topLevelItem(1)->child(0));
    ModalScript script;
    script.onFile(QStringLiteral("Wegmate  --  GPX-Datei schreiben"), path("runde.gpx"));
    script.onBox(QStringLiteral("Wegmate-INFO"), QStringLiteral("OK"));
    window.command(ui::kCmdSaveContent);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QVERIFY(script.boxTexts().join("").contains(QStringLiteral("(00003 Punkte)")));
    QFile saved(path("runde.gpx"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QVERIFY(bytes.contains("<name>Runde</name>"));
    QVERIFY(!bytes.contains("Tour"));
    QCOMPARE(bytes.count("<trkpt"), 3);
}

void ContentViewTest::theSketchProjectsZoomsAndPans() {
    ui::MapSketch sketch;
    sketch.resize(400, 300);
    // Two points one degree of longitude apart at 50 degrees north: the
    // width (71.47 km) fits 380 pixels, the height is centred.
    sketch.setItems({ui::SketchItem{ItemKind::Route, {{QPointF(7, 50), QPointF(8, 50)}}}});
    QPointF west = sketch.toPixel(50, 7);
    QCOMPARE(west.x(), 10.0);
    QCOMPARE(west.y(), 150.0);
    QCOMPARE(sketch.toPixel(50, 8).x(), 390.0);
    QCOMPARE(sketch.scaleBarKm(), 10.0);  // 100 pixels hold 18.8 km

    // "+" zooms about the centre: the middle stays, the west end moves out.
    QTest::keyClick(&sketch, Qt::Key_Plus);
    QCOMPARE(sketch.toPixel(50, 7.5).x(), 200.0);
    QCOMPARE(sketch.toPixel(50, 7).x(), 200.0 - 190.0 * 1.25);
    // The wheel zooms about the pointer: the west end stays under it.
    west = sketch.toPixel(50, 7);
    QWheelEvent wheel(west, sketch.mapToGlobal(west), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&sketch, &wheel);
    QCOMPARE(sketch.toPixel(50, 7), west);
    // Arrow keys pan, "0" shows everything again.
    QTest::keyClick(&sketch, Qt::Key_Left);
    QCOMPARE(sketch.toPixel(50, 7).x(), west.x() + 20);
    QTest::keyClick(&sketch, Qt::Key_0);
    QCOMPARE(sketch.toPixel(50, 7), QPointF(10, 150));
}

// The simulator of the port choice, with the real transfers: the tracks
// downloaded are listed; the second ticked, the next download writes only it.
void ContentViewTest::aDownloadFromTheSimulatorShowsWhatCame() {
    settings = Settings{};
    ui::MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.portChoice()->setCurrentIndex(window.portChoice()->count() - 1);
    QCOMPARE(window.portChoice()->currentText(), QStringLiteral("Simulator (eTrex)"));
    window.fileTypeChoice()->setCurrentIndex(3);  // GPX
    const QString single = QStringLiteral("Wegmate  --  Track-Aufz.-Auswahl");
    for (const char* name : {"all.gpx", "second.gpx"}) {
        ModalScript script;
        script.onFile(QStringLiteral("Wegmate  --  GPX-Datei schreiben"), path(name));
        // With a track ticked, no question of a single track comes.
        if (std::string(name) == "all.gpx") script.onBox(single, QStringLiteral("&Nein"));
        script.onBox(QStringLiteral("Wegmate-INFO"), QStringLiteral("OK"));
        // The bar beside the status line follows the points received.
        int barShown = -1;
        QObject::connect(window.progressBar(), &QProgressBar::valueChanged, &window,
                         [&](int value) { barShown = std::max(barShown, value); });
        window.command(ui::kCmdDownloadTracks);
        QVERIFY2(script.finished(), qPrintable(script.describe()));
        QCOMPARE(barShown, 1000);
        QVERIFY(!window.progressBar()->isVisible());
        if (std::string(name) == "all.gpx") {
            QCOMPARE(script.boxTexts().last(), QString::fromUtf8("Übertragung erfolgreich beendet (00240 Punkte)."));
            QTreeWidget* list = window.content()->list();
            QCOMPARE(list->topLevelItemCount(), 1);
            QCOMPARE(rowTexts(list->topLevelItem(0)).size(), 2);
            QVERIFY(rowTexts(list->topLevelItem(0))[1].startsWith(QStringLiteral("Track|2|TRACK02||120|")));
            list->topLevelItem(0)->child(1)->setCheckState(0, Qt::Checked);
        } else {
            QCOMPARE(script.boxTexts().last(), QString::fromUtf8("Übertragung erfolgreich beendet (00120 Punkte)."));
        }
    }
}

QTEST_MAIN(ContentViewTest)
#include "content_view_test.moc"
