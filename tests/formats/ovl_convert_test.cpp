// "&OVL-Umwandlung  ": questions, dialogs and the file it writes.

#include "format_test_util.h"
#include "formats/ovl_binary.h"
#include "commands/ovl_convert.h"
#include "ovl_binary_util.h"
#include "tests/support/scripted_platform.h"

namespace {

const char kQuestionTitle[] = " Wegmate  --  OVL-3/4-Konvertierung";
const char kQuestion[] =
    "Diese Funktion wandelt eine Datei im binären OVL-3/4-Format \n- erzeugt von der TOP50-Software in der Version "
    "3 oder 4 - \nin eine Form um, in der direkt in die OVL-Datei integrierte \nsogenannte \"Objektdaten\" zu jedem "
    "Punkt bzw. jeder Linie \nals vierzeiliger Text eingegeben werden können. Wichtig für \nPunkt- und "
    "Routenbezeichnungen usw.  (Siehe auch Hilfe-Text.) \nNach der Dateiumwandlung sind die Attributdaten über "
    "\n\"Objektdaten\" (V3) bzw. \"Multimedia ...\" (V4) im Kontext- \nmenü eines Graphikobjekts abrufbar und "
    "bearbeitbar. ";
const char kOpenTitle[] = "Wegmate  --  Zu konvertierende OVL-Datei öffnen";
const char kSaveTitle[] = "Wegmate  --  Umgewandelte OVL-Datei schreiben";
const char kMsgNoObject[] = "OVL-Datei enthält kein gültiges Punkt- oder Linien-Objekt!";
const char kMsgWritten[] = "Neue OVL-Datei mit editierbaren \n\"Objektdaten\" wurde geschrieben. ";

class OvlConvertTest : public FormatTest {
  protected:
    std::string input() const { return dir.file("in.ovl"); }
    std::string output() const { return dir.file("out.ovl"); }
    ScriptedPlatform ui;
};

TEST_F(OvlConvertTest, ConvertsPointsAndWritesTheProgramsOwnForm) {
    writeFile(input(), v34Header(4) + v34Point(nullptr, 7.0, 50.0) + v34Point("3 / Turm\r\n1 / R\r\n\r\n", 9.0, 52.0));
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    ui.queueSaveFile(output());
    convertOvlFile();

    const auto& events = ui.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, ScriptedEvent::OkCancel);
    EXPECT_EQ(events[0].title, kQuestionTitle);
    EXPECT_EQ(events[0].text, kQuestion);
    EXPECT_EQ(events[1].kind, ScriptedEvent::OpenFile);
    EXPECT_EQ(events[1].title, kOpenTitle);
    EXPECT_EQ(events[1].text, "*.ovl");
    EXPECT_EQ(events[1].filter, FileFilter::Overlay);
    EXPECT_EQ(events[2].kind, ScriptedEvent::SaveFile);
    EXPECT_EQ(events[2].title, kSaveTitle);
    EXPECT_EQ(events[2].text, input());  // preset with the input's name
    EXPECT_EQ(events[2].extra, output());
    EXPECT_EQ(events[2].filter, FileFilter::Overlay);
    EXPECT_EQ(events[3].kind, ScriptedEvent::Box);
    EXPECT_EQ(events[3].title, "Wegmate");
    EXPECT_EQ(events[3].text, kMsgWritten);
    EXPECT_EQ(events[3].icon, BoxIcon::Information);

    // Unnamed points stay unnamed; the first point starts the line.
    const char t1[] = "1* / \r\n0 / \r\n\r\n";
    const char t2[] = "3 / Turm\r\n1 / R\r\n\r\n";
    auto point = [](const char* text, size_t length, double lon, double lat) {
        return le16(6) + le16(1) + le16(1) + le16(16) + le32((uint32_t)length + 1) + std::string(text, length) + '\0' +
               le16(1) + le16(12) + le16(12) + le16(1) + le16(2) + le16(2) + leDouble(lon) + leDouble(lat);
    };
    EXPECT_EQ(readFile(output()),
              v2Header(8.0, 51.0) + point(t1, sizeof t1 - 1, 7.0, 50.0) + point(t2, sizeof t2 - 1, 9.0, 52.0));
}

TEST_F(OvlConvertTest, LinesStayLinesAndTheInputCanBeReplaced) {
    writeFile(input(), v34Header(3) + v34Line(3, nullptr, {{1, 2}, {3, 4}, {5, 6}}) +
                           v34Line(23, "7\r\nB\r\n\r\n", {{7, 8}}) + v34Line(3, nullptr, {{9, 10}, {11, 12}}));
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    ui.queueSaveFile(input());
    convertOvlFile();
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgWritten});
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::InitialsDialog).empty());

    int kind = 0;
    bool numbers = false, names = false;
    ASSERT_EQ(readOvlBinaryFile(input().c_str(), TransferKind::OvlConversion, kind, numbers, names), 1);
    EXPECT_EQ(kind, LineObjects);
    ASSERT_EQ(pointTable.count, 5);  // the one-point line is left out
    EXPECT_EQ(pointTable.records[0].NumberOfRouteOrTrack, 1);
    EXPECT_EQ(pointTable.records[3].NumberOfRouteOrTrack, 3);
    EXPECT_EQ(pointTable.records[3].NewSegment, 1);
    EXPECT_DOUBLE_EQ(pointTable.records[4].Latitude, 12.0);
    EXPECT_EQ(readFile(input()).substr(0, 22), "DOMGVCRD Ovlfile V2.0:");
}

TEST_F(OvlConvertTest, MixedObjectsKeepTheirKindAndGeometry) {
    for (bool pointFirst : {false, true}) {
        const std::string line1 = v34Line(3, nullptr, {{1, 2}, {3, 4}});
        const std::string point = v34Point(nullptr, 5, 6);
        const std::string line2 = v34Line(3, nullptr, {{7, 8}, {9, 10}, {11, 12}});
        writeFile(input(), v34Header(3) + (pointFirst ? point + line1 : line1 + point + line2));
        ui.clearEvents();
        ui.queueOkCancel(true);
        ui.queueOpenFile(input());
        ui.queueSaveFile(output());
        convertOvlFile();
        ASSERT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgWritten});
        std::vector<OvlObject> objects;
        int kind = 0;
        bool numbers = false, names = false;
        ASSERT_EQ(readOvlBinaryFile(output().c_str(), TransferKind::OvlConversion, kind, numbers, names, &objects), 1);
        std::string shape;
        for (const OvlObject& o : objects) shape += (o.kind == LineObjects ? "L" : "P") + std::to_string(o.count);
        EXPECT_EQ(shape, pointFirst ? "P1L2" : "L2P1L3");
        EXPECT_DOUBLE_EQ(pointTable.records[pointTable.count - 1].Latitude, pointFirst ? 4.0 : 12.0);
    }
}

TEST_F(OvlConvertTest, AnEmptyLineAfterAFullTable) {
    std::vector<std::pair<double, double>> many(kMaxPoints, {1.0, 2.0});
    writeFile(input(), v34Header(3) + v34Line(3, nullptr, many) + v34Line(3, nullptr, {}));
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    ui.queueSaveFile(output());
    convertOvlFile();
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgWritten});
}

TEST_F(OvlConvertTest, CancelEndsTheCommandSilently) {
    writeFile(input(), v34Header(3) + v34Point(nullptr, 7.0, 50.0));
    ui.queueOkCancel(false);
    convertOvlFile();
    EXPECT_EQ(ui.events().size(), 1u);

    ui.clearEvents();
    ui.queueOkCancel(true);
    ui.queueCancelFile();
    convertOvlFile();
    EXPECT_EQ(ui.events().size(), 2u);

    ui.clearEvents();
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    ui.queueCancelFile();
    convertOvlFile();
    ASSERT_EQ(ui.events().size(), 3u);
    EXPECT_EQ(ui.events()[2].title, kSaveTitle);
    EXPECT_EQ(ui.events()[2].extra, "ovl");  // the default extension
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_FALSE(fileExists(output()));
}

TEST_F(OvlConvertTest, NoWritableObjectGivesMessageAndNoSaveDialog) {
    const std::string files[] = {
        v34Header(3),                                   // no object at all
        v34Header(3) + v34Point(nullptr, 250.0, 50.0),  // invalid positions only
        v34Header(4) + v34Line(3, nullptr, {{1, 1}}) + v34Line(3, nullptr, {{1, 1}, {2, 95}}),  // no line of 2
    };
    for (const std::string& bytes : files) {
        writeFile(input(), bytes);
        ui.clearEvents();
        ui.queueOkCancel(true);
        ui.queueOpenFile(input());
        convertOvlFile();
        std::vector<std::string> expected{kMsgNoObject};
        // The reader counts the one position it leaves out of a line.
        if (&bytes == &files[2]) expected.insert(expected.begin(), positionsLeftOut(1));
        EXPECT_EQ(ui.boxTexts(), expected);
        EXPECT_TRUE(ui.eventsOf(ScriptedEvent::SaveFile).empty());
    }
}

TEST_F(OvlConvertTest, ReaderAndWriterFailures) {
    writeFile(input(), "not an overlay at all, just text");
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    convertOvlFile();
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Dies ist keine gültige OVL-BINÄR-Datei."});

    writeFile(input(), v34Header(3) + v34Point(nullptr, 7.0, 50.0));
    ui.clearEvents();
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    ui.queueSaveFile(dir.file("missing/out.ovl"));
    convertOvlFile();
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Fehler beim Öffnen oder Schreiben der Ausgabedatei."});
    EXPECT_EQ(ui.events().back().title, "FEHLER");
}

}  // namespace

// Values that the point fields cannot hold leave the converted text without
// them, and one warning before the save dialog counts them.
TEST_F(OvlConvertTest, ValuesWithoutRoomAreLeftOutOfTheTextAndCounted) {
    writeFile(input(), v34Header(4) + v34Point("1 / A\r\n0\r\n2026-02-30 12:00:00\r\n25000 /999999/1/2", 7.0, 50.0));
    ui.queueOkCancel(true);
    ui.queueOpenFile(input());
    ui.queueSaveFile(output());
    convertOvlFile();

    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"5 Angaben der eingelesenen Punkte (Höhe, Zeit, Symbol \n"
                                                       "oder Anzeige) sind ungültig und bleiben leer.",
                                                       kMsgWritten}));
    ASSERT_EQ(ui.events().size(), 5u);
    EXPECT_EQ(ui.events()[2].title, "Wegmate-WARNUNG");
    EXPECT_EQ(ui.events()[3].kind, ScriptedEvent::SaveFile);
    // The comment keeps the text of the day that does not exist; the fourth
    // line holds no altitude and no symbol.
    const char text[] = "1* / A\r\n0 / \r\n2026-02-30 12:00:00\r\n";
    const std::string bytes = readFile(output());
    EXPECT_NE(bytes.find(std::string(text, sizeof text)), std::string::npos);  // with its NUL
}
