// TOP50 ASCII overlays: exact bytes of the writer, the numbering and naming
// of the reader, its question and its messages.

#include "format_test_util.h"
#include "formats/ovl_ascii.h"
#include "formats/reading.h"
#include "tests/support/scripted_platform.h"

namespace {

const char kMsgRead[] = "Fehler beim Lesen der OVL-Datei.";
const char kMsgNoOvl[] = "Keine gültige ASCII-OVL-Datei!";
const char kMsgCapacity[] = "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.";
const char kQuestionTitle[] = "Wegmate  --  Mehrere Track-Aufz.";
const char kQuestion[] =
    "Falls mehrere Linienobjekte vorhanden sind, sollen \ndiese als verschiedene Track-Aufzeichnungen interpre- \n"
    "tiert werden? \n  \n(Vorausgesetzt Ihr GPS-Gerät kann mehrere 'Track \nLogs' speichern.) \n  \n"
    "(Bei 'NEIN' werden mehrere Linien-Objekte als ver- \nschiedene Segmente des gleichen 'Tracks' behandelt.) ";

std::string closing(int symbols, const char* lat, const char* lon) {
    return "[Overlay]\r\nSymbols=" + std::to_string(symbols) +
           "\r\n[MapLage]\r\nMapName=L\xE4nder\xFC"
           "bersicht\r\nDimmFc=100\r\nZoomFc=100\r\nCenterLat=" +
           lat + "\r\nCenterLong=" + lon +
           "\r\nRefColor=255\r\nRefRad=58\r\nRefLine=6\r\nRefOn=1\r\nRefVisib=1\r\nRefOnCenter=1\r\nRefLat=" + lat +
           "\r\nRefLong=" + lon + "\r\n";
}

std::string pointSection(int n, const char* x, const char* y) {
    return "[Symbol " + std::to_string(n) +
           "]\r\nTyp=6\r\nWidth=12\r\nHeight=12\r\nCol=1\r\nZoom=1\r\nSize=2\r\nArea=2\r\nXKoord=" + x +
           "\r\nYKoord=" + y + "\r\n";
}

// Two lines of 3 and 2 points, as the writer produces them.
const char kTwoLines[] =
    "[Symbol 1]\nTyp=3\nCol=5\nZoom=1\nSize=4\nArt=1\nPunkte=3\nXKoord0=1.0\nYKoord0=10.0\nXKoord1=2.0\nYKoord1=11.0\n"
    "XKoord2=3.0\nYKoord2=12.0\n[Symbol 2]\nTyp=3\nPunkte=2\nXKoord0=4.0\nYKoord0=13.0\nXKoord1=5.0\nYKoord1=14.0\n"
    "[Overlay]\nSymbols=2\n[MapLage]\nCenterLat=12.0\n";

class OvlAsciiTest : public FormatTest {
  protected:
    std::string file() const { return dir.file("a.ovl"); }
    int read(int transferKind, bool ask) {
        return readOvlAsciiFile(file().c_str(), TransferKind(transferKind), separateTracks, ask, &naming);
    }
    ScriptedPlatform ui;
    int separateTracks = 7;
};

TEST_F(OvlAsciiTest, WritesPointSymbolsByteForByte) {
    setTable({makePoint({.lat = 50.0, .lon = 7.5, .newSegment = 1}), makePoint({.lat = 51.0, .lon = 8.0}),
              makePoint({.lat = 100.0}), makePoint({.lat = 49.0, .lon = 9.0})});
    ASSERT_EQ(writeOvlAsciiFile(file().c_str(), PointObjects), 1);
    EXPECT_EQ(readFile(file()),
              pointSection(1, "7.50000000", "50.00000000") + pointSection(2, "8.00000000", "51.00000000") +
                  pointSection(3, "9.00000000", "49.00000000") + closing(3, "50.00000000", "8.25000000"));
}

TEST_F(OvlAsciiTest, WritesLinesAndCountsOnlyWrittenSections) {
    setTable({makePoint({.lat = 10.0, .lon = 1.0, .newSegment = 1}), makePoint({.lat = 11.0, .lon = 2.0}),
              makePoint({.lat = 60.0, .lon = 50.0, .newSegment = 1}),
              makePoint({.lat = 12.0, .lon = 3.0, .newSegment = 1}), makePoint({.lat = -13.0, .lon = -4.0}),
              makePoint({.lat = 14.0, .lon = 5.0})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeOvlAsciiFile(file().c_str(), LineObjects), 1);
    EXPECT_EQ(readFile(file()),
              "[Symbol 1]\r\nTyp=3\r\nCol=5\r\nZoom=1\r\nSize=4\r\nArt=1\r\nPunkte=2\r\n"
              "XKoord0=1.00000000\r\nYKoord0=10.00000000\r\nXKoord1=2.00000000\r\nYKoord1=11.00000000\r\n"
              "[Symbol 2]\r\nTyp=3\r\nCol=5\r\nZoom=1\r\nSize=4\r\nArt=1\r\nPunkte=3\r\n"
              "XKoord0=3.00000000\r\nYKoord0=12.00000000\r\nXKoord1=-4.00000000\r\nYKoord1=-13.00000000\r\n"
              "XKoord2=5.00000000\r\nYKoord2=14.00000000\r\n" +
                  closing(2, "23.50000000", "23.00000000"));
}

TEST_F(OvlAsciiTest, EmptyTableGivesClosingSectionsThatTheReaderRefuses) {
    setTable({makePoint({.lat = -90.5})});
    ASSERT_EQ(writeOvlAsciiFile(file().c_str(), PointObjects), 1);
    EXPECT_EQ(readFile(file()), closing(0, "0.00000000", "0.00000000"));
    EXPECT_EQ(read(6, false), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgNoOvl});
}

TEST_F(OvlAsciiTest, FailedWriteKeepsTheEarlierFile) {
    EXPECT_EQ(writeOvlAsciiFile(dir.file("none/a.ovl").c_str(), PointObjects), 0);
    writeFile(file(), "earlier");
    setTable({makePoint({.lat = 50.0, .lon = 7.5, .newSegment = 1}), makePoint({.lat = 51.0, .lon = 8.0})});
    {
        FileSizeLimit limit(200);
        ASSERT_TRUE(limit.active);
        EXPECT_EQ(writeOvlAsciiFile(file().c_str(), PointObjects), 0);
    }
    EXPECT_EQ(readFile(file()), "earlier");
    EXPECT_EQ(dir.listing(), "a.ovl ");
    EXPECT_TRUE(ui.events().empty());
}

TEST_F(OvlAsciiTest, RoutesFromTwoLines) {
    writeFile(file(), kTwoLines);
    ui.queueInitials("KB");
    ASSERT_EQ(read(7, false), 1);
    ASSERT_EQ(pointTable.count, 5);
    const PointRecord* r = pointTable.records;
    const int numbers[] = {1, 1, 1, 2, 2};
    const int points[] = {1, 2, 3, 1, 2};
    const int segments[] = {1, 0, 0, 1, 0};
    const char* names[] = {"KB0001", "KB0002", "KB0003", "KC0001", "KC0002"};
    const char* routes[] = {"RTE01", "RTE01", "RTE01", "RTE02", "RTE02"};
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, numbers[i]);
        EXPECT_EQ(r[i].NumberOfPoint, points[i]);
        EXPECT_EQ(r[i].NewSegment, segments[i]);
        EXPECT_STREQ(r[i].NameOfPoint, names[i]);
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, routes[i]);
        EXPECT_STREQ(r[i].Comment, "");
        EXPECT_EQ(r[i].Altitude, kNoAltitude);
        EXPECT_EQ(r[i].HasSymbol, 0);
        EXPECT_DOUBLE_EQ(r[i].Longitude, i + 1.0);
        EXPECT_DOUBLE_EQ(r[i].Latitude, i + 10.0);
    }
    EXPECT_EQ(separateTracks, 0);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);
    EXPECT_TRUE(ui.questionTexts().empty());

    // The dialog comes on every waypoint read, asked before or not.
    naming.initialsAsked = true;
    ui.queueInitials("AA");
    ASSERT_EQ(read(7, false), 1);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 2u);
    EXPECT_STREQ(pointTable.records[4].NameOfPoint, "AB0002");
}

TEST_F(OvlAsciiTest, TracksAsSegmentsOrSeparateTracks) {
    writeFile(file(), kTwoLines);
    const int segments[] = {1, 0, 0, 1, 0};

    // No question allowed: one track with two segments.
    ASSERT_EQ(read(6, false), 1);
    ASSERT_EQ(pointTable.count, 5);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(pointTable.records[i].NumberOfRouteOrTrack, 1);
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, i + 1);
        EXPECT_EQ(pointTable.records[i].NewSegment, segments[i]);
        EXPECT_STREQ(pointTable.records[i].NameOfPoint, "");
        EXPECT_STREQ(pointTable.records[i].NameOfRouteOrTrack, "TRK01");
    }
    EXPECT_TRUE(ui.questionTexts().empty());
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::InitialsDialog).empty());

    // Answer No: the same.
    ui.queueYesNo(false);
    ASSERT_EQ(read(6, true), 1);
    EXPECT_EQ(separateTracks, 0);
    EXPECT_EQ(pointTable.records[4].NumberOfRouteOrTrack, 1);
    EXPECT_EQ(pointTable.records[4].NumberOfPoint, 5);

    // Answer Yes: two tracks, asked once.
    ui.clearEvents();
    ui.queueYesNo(true);
    ASSERT_EQ(read(6, true), 1);
    EXPECT_EQ(separateTracks, 1);
    EXPECT_EQ(pointTable.records[3].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(pointTable.records[3].NumberOfPoint, 1);
    EXPECT_STREQ(pointTable.records[3].NameOfRouteOrTrack, "TRK02");
    ASSERT_EQ(ui.eventsOf(ScriptedEvent::YesNo).size(), 1u);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::YesNo)[0]->title, kQuestionTitle);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::YesNo)[0]->text, kQuestion);
}

TEST_F(OvlAsciiTest, PointSymbolsAreNumberedThroughTheFileInAnyCase) {
    writeFile(file(),
              "[symbol 1]\r\ntyp=6\r\nxkoord=7.5\r\nykoord=50.5\r\n[Symbol 2]\r\nXKoord= 8.25 \r\n"
              "YKoord=+51\r\n[Overlay]\r\nSymbols=2\r\n");
    ui.queueInitials("AA");
    ASSERT_EQ(read(7, false), 1);
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 7.5);
    EXPECT_DOUBLE_EQ(pointTable.records[1].Longitude, 8.25);
    EXPECT_DOUBLE_EQ(pointTable.records[1].Latitude, 51.0);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);
    EXPECT_EQ(pointTable.records[1].NewSegment, 0);
    EXPECT_EQ(pointTable.records[1].NumberOfRouteOrTrack, 1);
    EXPECT_EQ(pointTable.records[1].NumberOfPoint, 2);
    EXPECT_STREQ(pointTable.records[1].NameOfPoint, "AA0002");
}

TEST_F(OvlAsciiTest, TrailingXWithoutYIsRefused) {
    writeFile(file(), "[Symbol 1]\nXKoord=1\nYKoord=2\nXKoord=3\n");
    ASSERT_EQ(read(6, false), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgRead});
}

TEST_F(OvlAsciiTest, PositionsOutsideTheGlobeAreLeftOutAndCounted) {
    writeFile(file(),
              "[Symbol 1]\nTyp=6\nXKoord=190\nYKoord=50\n[Symbol 2]\nTyp=3\nPunkte=2\nXKoord0=8\nYKoord0=51\n"
              "XKoord1=-180\nYKoord1=-90\n[Overlay]\nSymbols=2\n");
    ASSERT_EQ(read(6, false), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{positionsLeftOut(1)});
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 8.0);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);

    writeFile(file(), "[Symbol 1]\nTyp=6\nXKoord=7\nYKoord=-91\n[Overlay]\nSymbols=1\n");
    ui.clearEvents();
    EXPECT_EQ(read(6, false), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kNoValidPosition});
}

TEST_F(OvlAsciiTest, CutFilesAreRefused) {
    // Every cut of a written file is refused or keeps all its points.
    setTable({makePoint({.lat = 50.111, .lon = 7.5, .newSegment = 1}), makePoint({.lat = 51.0, .lon = 8.25}),
              makePoint({.lat = 49.5, .lon = 9.0, .newSegment = 1}), makePoint({.lat = 49.25, .lon = 9.5})});
    for (int objectKind : {PointObjects, LineObjects}) {
        countLinePoints(objectKind);
        std::vector<PointRecord> original(pointTable.records, pointTable.records + pointTable.count);
        ASSERT_EQ(writeOvlAsciiFile(file().c_str(), objectKind), 1);
        SCOPED_TRACE("kind " + std::to_string(objectKind));
        expectEveryCutRefusedOrWhole(file(), original, [&] { return read(6, false); });
        setTable({original[0], original[1], original[2], original[3]});
    }
    // A line that declares more points than it has.
    writeFile(file(), "[Symbol 1]\nTyp=3\nPunkte=3\nXKoord0=1\nYKoord0=2\nXKoord1=1\nYKoord1=2\n[Overlay]\nSymbols=1\n");
    ui.clearEvents();
    EXPECT_EQ(read(6, false), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgRead});
    // A byte-order mark before the first section is skipped.
    writeFile(file(), "\xEF\xBB\xBF[Symbol 1]\nXKoord=1\nYKoord=2\n[Overlay]\nSymbols=1\n");
    EXPECT_EQ(read(6, false), 1);
}

// An overlay as TOP50 draws it: lines and an area give their points, as
// gpsbabel reads them; a text, a rectangle and a point symbol without
// coordinates carry no point to send and are counted in one warning.
TEST_F(OvlAsciiTest, LinesAndAreasAreReadOtherObjectsCounted) {
    const std::string line = "Group=1\nCol=1\nZoom=1\nSize=2\nArt=1\n";
    writeFile(file(), "[Symbol 1]\nTyp=3\n" + line +
                          "Punkte=2\nXKoord0=8.10\nYKoord0=50.10\nXKoord1=8.20\nYKoord1=50.20\n"
                          "[Symbol 2]\nTyp=2\nGroup=1\nCol=1\nArea=2\nZoom=1\nSize=100\nFont=1\nDir=100\n"
                          "XKoord=8.50\nYKoord=50.50\nText=Gipfel\n"
                          "[Symbol 3]\nTyp=4\n" + line +
                          "Punkte=3\nXKoord0=9.00\nYKoord0=51.00\nXKoord1=9.10\nYKoord1=51.00\nXKoord2=9.10\n"
                          "YKoord2=51.10\n"
                          "[Symbol 4]\nTyp=5\n" + line +
                          "XKoord1=8.60\nYKoord1=50.60\nXKoord2=8.70\nYKoord2=50.70\n"
                          "[Symbol 5]\nTyp=6\nGroup=1\nCol=1\nZoom=1\nSize=2\nArea=2\n"
                          "[Symbol 6]\nTyp=3\n" + line +
                          "Punkte=3\nXKoord0=8.30\nYKoord0=50.30\nXKoord1=8.31\nYKoord1=50.31\nXKoord2=8.32\n"
                          "YKoord2=50.32\n[Overlay]\nSymbols=6\n[MapLage]\nMapName=Test\nCenterLat=50.5\n");
    ASSERT_EQ(read(6, false), 1);
    EXPECT_EQ(ui.boxTexts(),
              std::vector<std::string>{"3 Objekte der OVL-Datei ohne Positionen zum Übertragen (Texte, \nRechtecke, "
                                       "Bilder oder Objekte ohne Koordinaten) \nwerden ausgelassen."});
    EXPECT_EQ(ui.events().back().title, "Wegmate-WARNUNG");
    const double longitudes[] = {8.1, 8.2, 9.0, 9.1, 9.1, 8.3, 8.31, 8.32};
    const int newSegments[] = {1, 0, 1, 0, 0, 1, 0, 0};
    ASSERT_EQ(pointTable.count, 8);
    for (int i = 0; i < 8; i++) {
        EXPECT_DOUBLE_EQ(pointTable.records[i].Longitude, longitudes[i]) << i;
        EXPECT_EQ(pointTable.records[i].NewSegment, newSegments[i]) << i;
    }
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    const ShellRun babel =
        runShell("gpsbabel -t -r -w -i ggv_ovl -f '" + file() + "' -o gpx -F -", Stderr::Apart);
    ASSERT_EQ(babel.status, 0) << babel.err;
    int points = 0;
    for (size_t at = babel.out.find("pt lat="); at != std::string::npos; at = babel.out.find("pt lat=", at + 1))
        points++;
    EXPECT_EQ(points, pointTable.count) << babel.out;
}

TEST_F(OvlAsciiTest, ReaderMessages) {
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"first line", "[Overlay]\nSymbols=0\n", kMsgNoOvl},
        {"empty file", "", kMsgNoOvl},
        {"two X in a row", "[Symbol 1]\nXKoord=1\nXKoord=2\nYKoord=3\n", kMsgRead},
        {"Y without X", "[Symbol 1]\nYKoord=1\n", kMsgRead},
        {"X without value", "[Symbol 1]\nXKoord\nYKoord=1\n", kMsgRead},
        {"Y not a number", "[Symbol 1]\nXKoord=1\nYKoord=abc\n", kMsgRead},
        {"X with rest", "[Symbol 1]\nXKoord=1.5.3\nYKoord=1\n", kMsgRead},
        {"X with two signs", "[Symbol 1]\nXKoord=+-8\nYKoord=1\n[Overlay]\nSymbols=1\n", kMsgRead},
        {"long line", "[Symbol 1]\nTyp=6\n" + std::string(kMaxLineLength + 1, 'x') + "\nXKoord=1\nYKoord=2\n",
         "Die Eingabedatei enthält eine Zeile von mehr als 1 MB \nund wird nicht gelesen (Zeile 3)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(file(), c.text);
        ui.clearEvents();
        EXPECT_EQ(read(6, false), 0);
        ASSERT_EQ(ui.boxTexts().size(), 1u);
        EXPECT_EQ(ui.boxTexts()[0], c.message);
        EXPECT_EQ(ui.events().back().title, "FEHLER");
    }
    std::filesystem::remove(file());
    ui.clearEvents();
    EXPECT_EQ(read(6, false), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Fehler beim Öffnen der OVL-Eingabedatei."});
}

TEST_F(OvlAsciiTest, LinesUpToTheBoundAreRead) {
    writeFile(file(), "[Symbol 1]\r\nXKoord=1." + std::string(5000, '5') +
                          "\r\nYKoord=2\r\n[Overlay]\r\nSymbols=1\r\n");
    EXPECT_EQ(read(6, false), 1);
    ASSERT_EQ(pointTable.count, 1);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 1.5555555555555556);
}

TEST_F(OvlAsciiTest, CapacityMessageOnlyForAPointBeyondAFullTable) {
    std::string text = "[Symbol 1]\nTyp=3\nPunkte=20000\n";
    for (int i = 0; i < kMaxPoints; i++)
        text += "XKoord" + std::to_string(i) + "=1\nYKoord" + std::to_string(i) + "=2\n";
    writeFile(file(), text + "[Overlay]\nSymbols=1\n");
    ASSERT_EQ(read(6, false), 1);
    EXPECT_EQ(pointTable.count, kMaxPoints);
    EXPECT_TRUE(ui.boxTexts().empty());

    writeFile(file(), text + "XKoord=1\nYKoord=2\n");
    EXPECT_EQ(read(6, false), 0);
    EXPECT_EQ(pointTable.count, kMaxPoints);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgCapacity});

    // A further line after the full table: an empty one is read, one with a
    // point is refused before anything is stored.
    writeFile(file(), text + "[Symbol 2]\nTyp=3\nPunkte=0\n[Overlay]\nSymbols=2\n");
    EXPECT_EQ(read(6, false), 1);
    ui.clearEvents();
    writeFile(file(), text + "[Symbol 2]\nTyp=3\nPunkte=1\nXKoord0=1\nYKoord0=2\n[Overlay]\nSymbols=2\n");
    EXPECT_EQ(read(6, false), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgCapacity});
}

TEST_F(OvlAsciiTest, DecimalCommaLocaleChangesNothing) {
    GermanNumericLocale german(dir.path);
    if (!german.active) GTEST_SKIP() << "no locale with a decimal comma available";
    setTable({makePoint({.lat = 50.0, .lon = 7.5, .newSegment = 1}), makePoint({.lat = 51.0, .lon = 8.0}),
              makePoint({.lat = 100.0}), makePoint({.lat = 49.0, .lon = 9.0})});
    ASSERT_EQ(writeOvlAsciiFile(file().c_str(), PointObjects), 1);
    EXPECT_EQ(readFile(file()),
              pointSection(1, "7.50000000", "50.00000000") + pointSection(2, "8.00000000", "51.00000000") +
                  pointSection(3, "9.00000000", "49.00000000") + closing(3, "50.00000000", "8.25000000"));
    ASSERT_EQ(read(6, false), 1);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 7.5);
    EXPECT_DOUBLE_EQ(pointTable.records[2].Latitude, 49.0);
}

TEST_F(OvlAsciiTest, RoundTripOfLines) {
    setTable({makePoint({.lat = 50.5, .lon = 7.12345678, .newSegment = 1}), makePoint({.lat = 50.6, .lon = 7.2}),
              makePoint({.lat = 51.0, .lon = 8.0, .newSegment = 1}), makePoint({.lat = 51.1, .lon = 8.1})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeOvlAsciiFile(file().c_str(), LineObjects), 1);
    ui.queueYesNo(true);
    ASSERT_EQ(read(6, true), 1);
    ASSERT_EQ(pointTable.count, 4);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 7.12345678);
    EXPECT_EQ(pointTable.records[2].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(pointTable.records[2].NewSegment, 1);
}

}  // namespace
