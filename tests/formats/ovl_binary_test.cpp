// TOP50 binary overlays: exact bytes of the writer, the object texts, the
// reader of versions 2, 3 and 4 and its messages.

#include "format_test_util.h"
#include "formats/file_formats.h"
#include "formats/ovl_binary.h"
#include "ovl_binary_util.h"
#include "tests/support/scripted_platform.h"
#include "model/times.h"

namespace {

const char kMsgRead[] = "Fehler beim Lesen der OVL-Datei.";
const char kMsgNoBinary[] = "Dies ist keine gültige OVL-BINÄR-Datei.";
const char kMsgCapacity[] = "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.";

std::string invalidObject(int type, int flag) {
    return "OVL-Datei enthält ein ungültiges Graphik-Objekt: \nTyp: " + std::to_string(type) +
           "  Objekttyp: " + std::to_string(flag) +
           " \n(Hier sind nur PUNKT-/KREIS- oder LINIEN- \nObjekte zulässig -- und zwar nur OHNE eine \n"
           "Verknüpfung mit einer Multimedia-Datei oder \neiner Datenbank.)";
}

class OvlBinaryTest : public FormatTest {
  protected:
    std::string file() const { return dir.file("b.ovl"); }
    int read(int transferKind) {
        kind = -1;
        return readOvlBinaryFile(file().c_str(), TransferKind(transferKind), kind, hasNumbers, hasNames, nullptr,
                                 &naming);
    }
    int readBytes(const std::string& bytes, int transferKind) {
        writeFile(file(), bytes);
        return read(transferKind);
    }
    ScriptedPlatform ui;
    int kind = -1;
    bool hasNumbers = false;
    bool hasNames = false;
};

// ---------------------------------------------------------------- writer

TEST_F(OvlBinaryTest, WritesOneRouteAsLineObject) {
    setTable(
        {makePoint({.route = 1, .routeName = "R", .number = 1, .name = "A", .lat = 50.0, .lon = 7.0, .newSegment = 1}),
         makePoint({.route = 1, .routeName = "R", .number = 2, .name = "B", .lat = 52.0, .lon = 8.0}),
         makePoint({.lat = 91.0, .lon = 8.5}),
         makePoint({.route = 1, .routeName = "R", .number = 3, .name = "C", .lat = 51.0, .lon = 9.0})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeOvlBinaryFile(file().c_str(), LineObjects), 1);
    std::string expected = v2Header(8.0, 51.0) + le16(3) + le16(1) + le16(1) + le16(16) + le32(9) +
                           std::string("1\r\nR\r\n\r\n", 9) + le16(5) + le16(4) + le16(1) + le16(3) + leDouble(7.0) +
                           leDouble(50.0) + leDouble(8.0) + leDouble(52.0) + leDouble(9.0) + leDouble(51.0);
    std::string written = readFile(file());
    EXPECT_EQ(written.size(), 169u + 20u + 9u + 48u);
    EXPECT_EQ(written, expected);
}

TEST_F(OvlBinaryTest, LineTextCarriesTimeAndDisplayAndSkipsShortLines) {
    PointRecord single =
        makePoint({.route = 5, .routeName = "EINZELN", .number = 1, .lat = 1.0, .lon = 1.0, .newSegment = 1});
    PointRecord a = makePoint({.route = 6,
                               .routeName = " WEG ",
                               .number = 1,
                               .comment = "  Notiz ",
                               .lat = 2.0,
                               .lon = 2.0,
                               .newSegment = 1});
    a.Time = 86400;
    a.HasSymbol = 1;
    a.Display1 = 7;
    a.Display2 = 8;
    setTable({single, a, makePoint({.lat = 3.0, .lon = 3.0})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeOvlBinaryFile(file().c_str(), LineObjects), 1);
    const char text[] = "6\r\nWEG\r\nNotiz\r\n1990-01-01 00:00:00 /7/8";
    std::string expected = v2Header(2.0, 2.0) + le16(3) + le16(1) + le16(1) + le16(16) + le32(sizeof text) +
                           std::string(text, sizeof text) + le16(5) + le16(4) + le16(1) + le16(2) + leDouble(2.0) +
                           leDouble(2.0) + leDouble(3.0) + leDouble(3.0);
    EXPECT_EQ(readFile(file()), expected);
    // The writer trims the texts in the table.
    EXPECT_STREQ(pointTable.records[1].NameOfRouteOrTrack, "WEG");
    EXPECT_STREQ(pointTable.records[1].Comment, "Notiz");
}

TEST_F(OvlBinaryTest, WritesPointObjectsWithTheirTexts) {
    PointRecord p1 = makePoint({.route = 2, .routeName = "R", .number = 4, .name = "P1", .lat = 50.5, .lon = 7.5});
    p1.NewSegment = 1;
    PointRecord p2 = makePoint({.number = 5, .name = "WP", .lat = 49.5, .lon = 8.5});
    p2.Time = 86400 + 3661;
    p2.Altitude = 123.9f;
    p2.HasSymbol = 1;
    p2.Symbol = 18;
    p2.Display1 = 1;
    p2.Display2 = 2;
    PointRecord p3 = makePoint({.number = 6,
                                .name = "X",
                                .comment = "K\xFC"
                                           "hl",
                                .lat = 50.0,
                                .lon = 8.0});
    p3.Time = 86400;
    p3.Altitude = 20000.0f;
    setTable({p1, p2, p3});
    ASSERT_EQ(writeOvlBinaryFile(file().c_str(), PointObjects), 1);

    auto pointRecord = [](const char* text, size_t length, double lon, double lat) {
        return le16(6) + le16(1) + le16(1) + le16(16) + le32((uint32_t)length + 1) + std::string(text, length) + '\0' +
               le16(1) + le16(12) + le16(12) + le16(1) + le16(2) + le16(2) + leDouble(lon) + leDouble(lat);
    };
    const char t1[] = "4* / P1\r\n2 / R\r\n\r\n";
    const char t2[] = "5 / WP\r\n0 / \r\n1990-01-01 01:01:01\r\n123 /18/1/2";
    // A point with a comment keeps its time on a fifth line.
    const char t3[] = "6 / X\r\n0 / \r\nK\xFChl\r\n\r\n1990-01-01 00:00:00";
    ASSERT_EQ(sizeof t1 - 1, 18u);
    std::string expected = v2Header(8.0, 50.0) + pointRecord(t1, sizeof t1 - 1, 7.5, 50.5) +
                           pointRecord(t2, sizeof t2 - 1, 8.5, 49.5) + pointRecord(t3, sizeof t3 - 1, 8.0, 50.0);
    EXPECT_EQ(readFile(file()), expected);
    EXPECT_EQ(readFile(file()).size(), 169u + (40 + 19) + (40 + sizeof t2) + (40 + sizeof t3));
    ui.queueInitials("AA");
    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 3);
    EXPECT_EQ(pointTable.records[1].Time, 86400 + 3661);
    EXPECT_EQ(pointTable.records[2].Time, 86400);
    EXPECT_TRUE(pointTable.records[2].Comment[0]);
}

TEST_F(OvlBinaryTest, EmptyTableAndFailedWrite) {
    setTable({makePoint({.lat = 95.0})});
    ASSERT_EQ(writeOvlBinaryFile(file().c_str(), PointObjects), 1);
    EXPECT_EQ(readFile(file()), v2Header(0.0, 0.0));
    EXPECT_EQ(writeOvlBinaryFile(dir.file("none/b.ovl").c_str(), PointObjects), 0);
    EXPECT_EQ(dir.listing(), "b.ovl ");

    // A write that falls short leaves the earlier file in place.
    setTable({makePoint({.lat = 50.0, .lon = 7.0, .newSegment = 1}), makePoint({.lat = 51.0, .lon = 8.0})});
    {
        FileSizeLimit limit(200);
        ASSERT_TRUE(limit.active);
        EXPECT_EQ(writeOvlBinaryFile(file().c_str(), PointObjects), 0);
    }
    EXPECT_EQ(readFile(file()), v2Header(0.0, 0.0));
    EXPECT_EQ(dir.listing(), "b.ovl ");
}

// ---------------------------------------------------------------- reader

TEST_F(OvlBinaryTest, ReadsThePointTextBack) {
    ASSERT_EQ(readBytes(v2Header(0, 0) + v2Point("4* / P1\r\n2 / R\r\n\r\n", 7.5, 50.5), 7), 1);
    ASSERT_EQ(pointTable.count, 1);
    const PointRecord& r = pointTable.records[0];
    EXPECT_EQ(kind, PointObjects);
    EXPECT_EQ(r.NumberOfPoint, 4);
    EXPECT_EQ(r.NewSegment, 1);
    EXPECT_STREQ(r.NameOfPoint, "P1");
    EXPECT_EQ(r.NumberOfRouteOrTrack, 2);
    EXPECT_STREQ(r.NameOfRouteOrTrack, "R");
    EXPECT_STREQ(r.Comment, "");
    EXPECT_EQ(r.Altitude, kNoAltitude);
    EXPECT_EQ(r.HasSymbol, 0);
    EXPECT_EQ(r.Time, 0);
    EXPECT_DOUBLE_EQ(r.Longitude, 7.5);
    EXPECT_DOUBLE_EQ(r.Latitude, 50.5);
    EXPECT_TRUE(hasNumbers);
    EXPECT_TRUE(hasNames);
    EXPECT_TRUE(ui.events().empty());
}

TEST_F(OvlBinaryTest, CompactFormAndAttributes) {
    std::string bytes = v2Header(0, 0) + v2Point("1203\r\nkirche \xE4\r\n\r\n1", 1, 2) +
                        v2Point("  7 / wp/ 9\r\nx / -- \r\n2001-02-03 04:05:06\r\n-12 /300/4/5", 3, 4) +
                        v2Point("8\r\n3\r\nam See 1990-01-01\r\n- 7/x/1", 5, 6) + v2Point("120\r\n\r\n\r\n0", 7, 8);
    ASSERT_EQ(readBytes(bytes, 6), 1);
    ASSERT_EQ(pointTable.count, 4);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 12);
    EXPECT_EQ(r[0].NumberOfPoint, 3);
    EXPECT_EQ(r[0].NewSegment, 1);
    EXPECT_STREQ(r[0].NameOfPoint, "kirche \xE4");

    EXPECT_EQ(r[1].NumberOfPoint, 7);
    EXPECT_EQ(r[1].NewSegment, 0);
    EXPECT_STREQ(r[1].NameOfPoint, "wp/ 9");
    EXPECT_EQ(r[1].NumberOfRouteOrTrack, 0);
    EXPECT_STREQ(r[1].NameOfRouteOrTrack, "--");
    EXPECT_STREQ(r[1].Comment, "2001-02-03 04:05:06");
    EXPECT_EQ(r[1].Time, parseTime("2001-02-03 04:05:06"));
    EXPECT_EQ(r[1].Altitude, -12.0f);
    EXPECT_EQ(r[1].HasSymbol, 1);
    EXPECT_EQ(r[1].Symbol, 300);
    EXPECT_EQ(r[1].Display1, 4);
    EXPECT_EQ(r[1].Display2, 5);

    EXPECT_EQ(r[2].NumberOfRouteOrTrack, 3);
    EXPECT_STREQ(r[2].NameOfRouteOrTrack, "");
    EXPECT_STREQ(r[2].Comment, "am See 1990-01-01");
    EXPECT_EQ(r[2].Time, 0);
    EXPECT_EQ(r[2].Altitude, kNoAltitude);
    EXPECT_EQ(r[2].HasSymbol, 0);
    EXPECT_EQ(r[2].Display1, 1);

    EXPECT_EQ(r[3].NumberOfRouteOrTrack, 1);
    EXPECT_EQ(r[3].NumberOfPoint, 20);
    EXPECT_EQ(r[3].NewSegment, 0);
    EXPECT_TRUE(hasNumbers);
    EXPECT_FALSE(hasNames);  // "-- " is no name
}

TEST_F(OvlBinaryTest, TimeNeedsYearAndDashes) {
    std::string bytes =
        v2Header(0, 0) + v2Point("1\r\n0\r\n1990-01-01 00:00:00\r\n", 1, 2) +
        v2Point("1\r\n0\r\n2049-12-31 23:59:59\r\n", 1, 2) + v2Point("1\r\n0\r\n2001:01-01 00:00:00\r\n", 1, 2) +
        v2Point("1\r\n0\r\n2026-02-30 12:00:00\r\n", 1, 2) + v2Point("1\r\n0\r\n2051-01-01 00:00:00\r\n", 1, 2);
    ASSERT_EQ(readBytes(bytes, 6), 1);
    EXPECT_EQ(pointTable.records[0].Time, 86400);
    EXPECT_EQ(pointTable.records[1].Time, parseTime("2049-12-31 23:59:59"));
    EXPECT_EQ(pointTable.records[2].Time, 0);
    // A time text of a day that does not exist or a year the receiver has
    // not is left empty and counted; the comment keeps the text.
    EXPECT_EQ(pointTable.records[3].Time, 0);
    EXPECT_EQ(pointTable.records[4].Time, 0);
    EXPECT_STREQ(pointTable.records[3].Comment, "2026-02-30 12:00:00");
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 2);
}

// The fourth text line: an altitude, symbol or display value that its field
// cannot hold stays absent and is counted, never wrapped.
TEST_F(OvlBinaryTest, ValuesWithoutRoomInTheFourthLineStayAbsent) {
    std::string bytes = v2Header(0, 0) + v2Point("1 / A\r\n0\r\n\r\n25000 /999999/3/4", 1, 2) +
                        v2Point("2 / B\r\n0\r\n\r\n-500 /12/-1/257", 1, 2) +
                        v2Point("3 / C\r\n0\r\n\r\n19999 /65535/255/0", 1, 2) +
                        v2Line("4\r\nWEG\r\n\r\n /300/2", {{1, 1}, {2, 2}});
    ASSERT_EQ(readBytes(bytes, 6), 1);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[0].Altitude, kNoAltitude);
    EXPECT_EQ(r[0].HasSymbol, 0);  // 999999 is no symbol (not 16959)
    EXPECT_EQ(r[1].Altitude, kNoAltitude);
    EXPECT_EQ(r[1].HasSymbol, 1);
    EXPECT_EQ(r[1].Symbol, 12);
    EXPECT_EQ(r[1].Display1, 0);  // not 255
    EXPECT_EQ(r[1].Display2, 0);  // not 1: as an empty value leaves it
    EXPECT_EQ(r[2].Altitude, 19999.0f);
    EXPECT_EQ(r[2].Symbol, 65535);
    EXPECT_EQ(r[2].Display1, 255);
    // The line's colour 300 is refused, and with it the colour beside it.
    EXPECT_EQ(r[3].HasSymbol, 0);
    // A: altitude, symbol and its two display values; B: altitude and both
    // display values; the line: both values.
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 4 + 3 + 2);
}

TEST_F(OvlBinaryTest, RoundTripOfPoints) {
    PointRecord a = makePoint({.route = 3,
                               .routeName = "TOUR",
                               .number = 12,
                               .name = "HAUS",
                               .comment = "12:30 TREFF",
                               .lat = 50.5,
                               .lon = 7.123456789012,
                               .newSegment = 1});
    a.Altitude = 512.0f;
    a.HasSymbol = 1;
    a.Symbol = 8200;
    a.Display1 = 2;
    a.Display2 = 1;
    PointRecord b = makePoint({.route = 3, .routeName = "TOUR", .number = 13, .lat = -50.5, .lon = -7.5});
    b.Time = 86400 * 3000 + 59;
    setTable({a, b});
    ASSERT_EQ(writeOvlBinaryFile(file().c_str(), PointObjects), 1);
    ui.queueInitials("KB");
    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 2);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[0].Longitude, 7.123456789012);  // doubles travel unchanged
    EXPECT_EQ(r[0].NumberOfPoint, 12);
    EXPECT_EQ(r[0].NewSegment, 1);
    EXPECT_STREQ(r[0].NameOfPoint, "HAUS");
    EXPECT_STREQ(r[0].NameOfRouteOrTrack, "TOUR");
    EXPECT_STREQ(r[0].Comment, "12:30 TREFF");
    EXPECT_EQ(r[0].Altitude, 512.0f);
    EXPECT_EQ(r[0].Symbol, 8200);
    EXPECT_EQ(r[0].Display1, 2);
    EXPECT_EQ(r[0].Display2, 1);
    EXPECT_EQ(r[1].Time, 86400 * 3000 + 59);
    EXPECT_EQ(r[1].NewSegment, 0);
    // The unnamed point is named from the initials and its place.
    EXPECT_STREQ(r[1].NameOfPoint, "KB0002");
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);
}

TEST_F(OvlBinaryTest, PointsWithoutText) {
    std::string bytes = v2Header(0, 0) + v2Point(nullptr, 1, 2) + v2Point(nullptr, 3, 4) + v2Point("", 5, 6);
    ui.queueInitials("XY");
    ASSERT_EQ(readBytes(bytes, 7), 1);
    ASSERT_EQ(pointTable.count, 3);
    EXPECT_STREQ(pointTable.records[0].NameOfPoint, "XY0001");
    EXPECT_STREQ(pointTable.records[1].NameOfPoint, "XY0002");
    EXPECT_STREQ(pointTable.records[2].NameOfPoint, "XY0003");
    EXPECT_EQ(pointTable.records[1].NumberOfPoint, 2);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);
    EXPECT_EQ(pointTable.records[1].NewSegment, 0);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);

    for (int transferKind : {6, 157}) {
        ui.clearEvents();
        naming = NamingState{};
        ASSERT_EQ(readBytes(bytes, transferKind), 1);
        EXPECT_STREQ(pointTable.records[0].NameOfPoint, "");
        EXPECT_STREQ(pointTable.records[2].NameOfPoint, "");
        EXPECT_TRUE(ui.events().empty());
    }
}

TEST_F(OvlBinaryTest, PositionsOutsideTheGlobeAreLeftOutAndCounted) {
    const std::string bytes = v2Header(0, 0) + v2Point(nullptr, 190, 50) + v2Line(nullptr, {{7, 95}, {8, 51}, {9, 52}});
    ASSERT_EQ(readBytes(bytes, 6), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{positionsLeftOut(2)});
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 8.0);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);
    ui.clearEvents();
    EXPECT_EQ(readBytes(v2Header(0, 0) + v2Point(nullptr, 180.5, 50), 6), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kNoValidPosition});
}

TEST_F(OvlBinaryTest, LineObjectsForTracksAndRoutes) {
    std::string bytes = v2Header(0, 0) + v2Line("4\r\nweg\r\nnotiz\r\n /3/9", {{1, 1}, {2, 2}}) +
                        v2Line("4\r\nweg\r\n\r\n", {{3, 3}}) + v2Line(nullptr, {{4, 4}, {5, 5}}) +
                        v2Line(nullptr, {{6, 6}});
    ASSERT_EQ(readBytes(bytes, 6), 1);
    ASSERT_EQ(pointTable.count, 6);
    EXPECT_EQ(kind, LineObjects);
    const PointRecord* r = pointTable.records;
    const int numbers[] = {4, 4, 4, 2, 2, 3};
    const int points[] = {1, 2, 3, 1, 2, 1};
    const int segments[] = {1, 0, 1, 1, 0, 1};
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, numbers[i]);
        EXPECT_EQ(r[i].NumberOfPoint, points[i]);
        EXPECT_EQ(r[i].NewSegment, segments[i]);
        EXPECT_STREQ(r[i].NameOfPoint, "");
        EXPECT_EQ(r[i].Altitude, kNoAltitude);
        EXPECT_DOUBLE_EQ(r[i].Latitude, i + 1.0);
    }
    EXPECT_STREQ(r[0].NameOfRouteOrTrack, "weg");
    EXPECT_STREQ(r[0].Comment, "notiz");
    EXPECT_EQ(r[0].HasSymbol, 1);
    EXPECT_EQ(r[0].Display1, 3);
    EXPECT_EQ(r[0].Display2, 9);
    EXPECT_EQ(r[2].HasSymbol, 0);
    EXPECT_EQ(r[2].Display2, 0);
    EXPECT_TRUE(hasNumbers);
    EXPECT_TRUE(hasNames);

    ui.queueInitials("AZ");
    ASSERT_EQ(readBytes(bytes, 7), 1);
    EXPECT_EQ(r[2].NumberOfPoint, 1);  // a route of its own
    EXPECT_STREQ(r[0].NameOfPoint, "AZ0001");
    EXPECT_STREQ(r[1].NameOfPoint, "AZ0002");
    EXPECT_STREQ(r[2].NameOfPoint, "BA0001");
    EXPECT_STREQ(r[3].NameOfPoint, "BB0001");
    EXPECT_EQ(r[3].NumberOfRouteOrTrack, 3);
    EXPECT_EQ(r[5].NumberOfRouteOrTrack, 4);
}

TEST_F(OvlBinaryTest, Version3And4Files) {
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        std::string bytes = v34Header(version) + v34Point("1 / a\r\n2 / b\r\n\r\n", 7.25, 50.75) +
                            v34Point(nullptr, 8.25, 51.75) + v34Line(23, "9\r\nL\r\n\r\n", {{1, 2}, {3, 4}}) +
                            v34Line(3, nullptr, {{5, 6}});
        pointTable.reset();
        ASSERT_EQ(readBytes(bytes, 157), 1);
        EXPECT_EQ(kind, PointObjects);
        ASSERT_EQ(pointTable.count, 5);
        const PointRecord* r = pointTable.records;
        EXPECT_STREQ(r[0].NameOfPoint, "a");
        EXPECT_STREQ(r[0].NameOfRouteOrTrack, "b");
        EXPECT_DOUBLE_EQ(r[0].Longitude, 7.25);
        EXPECT_DOUBLE_EQ(r[0].Latitude, 50.75);
        EXPECT_DOUBLE_EQ(r[1].Longitude, 8.25);
        EXPECT_DOUBLE_EQ(r[1].Latitude, 51.75);
        EXPECT_STREQ(r[1].NameOfPoint, "");
        EXPECT_EQ(r[2].NumberOfRouteOrTrack, 9);
        EXPECT_STREQ(r[2].NameOfRouteOrTrack, "L");
        EXPECT_EQ(r[2].NewSegment, 1);
        EXPECT_DOUBLE_EQ(r[3].Longitude, 3.0);
        EXPECT_DOUBLE_EQ(r[3].Latitude, 4.0);
        EXPECT_EQ(r[3].NumberOfPoint, 2);
        EXPECT_EQ(r[4].NumberOfRouteOrTrack, 2);  // the second line without text
        EXPECT_DOUBLE_EQ(r[4].Latitude, 6.0);
        EXPECT_TRUE(ui.events().empty());
    }
}

TEST_F(OvlBinaryTest, InvalidObjects) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"linked point", v34Header(3) + v34Point("x", 1, 2, 17), invalidObject(6, 16)},
        {"linked line", v34Header(4) + v34Point("x", 1, 2) + v34Line(3, nullptr, {{1, 1}}, 17), invalidObject(3, 1)},
        {"rectangle", v34Header(3) + v34Start(5, "x"), invalidObject(5, 16)},
        {"version 2 type 23", v2Header(0, 0) + v2Start(23, nullptr), invalidObject(23, 1)},
        {"version 2 type 4", v2Header(0, 0) + v2Point(nullptr, 1, 1) + v2Start(4, "abc"), invalidObject(4, 16)},
        {"text flag 0", v2Header(0, 0) + le16(6) + le16(1) + le16(1) + le16(0) + std::string(28, '\0'),
         invalidObject(6, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clearEvents();
        EXPECT_EQ(readBytes(c.bytes, 157), 0);
        ASSERT_EQ(ui.boxTexts().size(), 1u);
        EXPECT_EQ(ui.boxTexts()[0], c.message);
        EXPECT_EQ(ui.events()[0].title, "FEHLER");
        EXPECT_EQ(ui.events()[0].icon, BoxIcon::Warning);
    }
}

TEST_F(OvlBinaryTest, HeaderAndLengthMessages) {
    std::string tooLong = v2Header(0, 0) + le16(6) + le16(1) + le16(1) + le16(16) + le32(200) + "abc";
    // A head with k = 0, the text flag 16 at index 0, then the length 70000.
    std::string v3Huge = v34Header(3) + std::string(22, '\0') + le16(0) + std::string("\x10\0", 2) + le32(70000) +
                         std::string(70010, 'x');
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"short header", "DOMGVCRD Ovlfile V2.0", kMsgRead},
        {"foreign file", "DOMGVCRX Ovlfile V2.0:" + std::string(200, '\0'), kMsgNoBinary},
        {"version 5", "DOMGVCRD Ovlfile V5.0:" + std::string(200, '\0'), kMsgNoBinary},
        {"version 1", "DOMGVCRD Ovlfile V1.0:" + std::string(200, '\0'), kMsgNoBinary},
        {"header cut short", v2Header(0, 0).substr(0, 100), kMsgRead},
        {"version 3 header cut", v34Header(3).substr(0, 45), kMsgRead},
        {"text longer than file", tooLong, kMsgRead},
        {"text longer than buffer", v3Huge, kMsgRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clearEvents();
        EXPECT_EQ(readBytes(c.bytes, 6), 0);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{c.message});
    }
    std::filesystem::remove(file());
    ui.clearEvents();
    EXPECT_EQ(read(6), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Fehler beim Öffnen der OVL-Eingabedatei."});
}

TEST_F(OvlBinaryTest, Version2LengthUsesLow16Bits) {
    std::string bytes = v2Header(0, 0) + le16(6) + le16(1) + le16(1) + le16(16) + le32(0x00050003) +
                        std::string("5\r\0", 3) + le16(1) + le16(12) + le16(12) + le16(1) + le16(2) + le16(2) +
                        leDouble(1.5) + leDouble(2.5);
    ASSERT_EQ(readBytes(bytes, 6), 1);
    ASSERT_EQ(pointTable.count, 1);
    EXPECT_EQ(pointTable.records[0].NumberOfPoint, 5);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Latitude, 2.5);
}

TEST_F(OvlBinaryTest, FileEndingInsideAnObjectIsRefused) {
    // Every cut of these files inside an object is refused; a cut between
    // objects keeps the objects before it whole.
    const std::string files[] = {
        v2Header(0, 0) + v2Point("1", 1, 2) + v2Line("3\r\nX", {{1, 1}, {2, 2}, {3, 3}}),
        v34Header(4) + v34Line(3, "1", {{1, 1}, {2, 2}}) + v34Point(nullptr, 1, 2),
    };
    for (const std::string& full : files) {
        const size_t header = full.substr(18, 1) == "2" ? 169 : v34Header(4).size();
        for (size_t cut = header; cut < full.size(); cut++) {
            ui.clearEvents();
            int result = readBytes(full.substr(0, cut), 6);
            SCOPED_TRACE("cut at " + std::to_string(cut));
            if (result == 1) {
                EXPECT_TRUE(cut == header || pointTable.count > 0);
                for (int i = 0; i < pointTable.count; i++) EXPECT_NE(pointTable.records[i].Longitude, 0.0);
            } else {
                EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgRead});
            }
        }
        EXPECT_EQ(readBytes(full, 6), 1);
    }
    // Cut inside the third vertex; a line that claims 65535 vertices and has 4.
    std::string full = files[0];
    ui.clearEvents();
    EXPECT_EQ(readBytes(full.substr(0, full.size() - 4), 6), 0);
    std::string claims = v2Start(3, nullptr) + le16(5) + le16(4) + le16(1) + le16(65535);
    for (int i = 0; i < 4; i++) claims += leDouble(1) + leDouble(2);
    EXPECT_EQ(readBytes(v2Header(0, 0) + claims, 6), 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kMsgRead, kMsgRead}));
}

TEST_F(OvlBinaryTest, CapacityMessageOnlyForAPointBeyondAFullTable) {
    std::vector<std::pair<double, double>> many(kMaxPoints, {1.0, 2.0});
    ASSERT_EQ(readBytes(v2Header(0, 0) + v2Line(nullptr, many), 6), 1);
    EXPECT_EQ(pointTable.count, kMaxPoints);
    EXPECT_TRUE(ui.boxTexts().empty());

    many.push_back({1.0, 2.0});
    ASSERT_EQ(readBytes(v2Header(0, 0) + v2Line(nullptr, many), 6), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgCapacity});

    many.resize(kMaxPoints - 1);
    ui.clearEvents();
    ASSERT_EQ(readBytes(v2Header(0, 0) + v2Line(nullptr, many) + v2Point(nullptr, 1, 2), 6), 1);
    EXPECT_EQ(pointTable.count, kMaxPoints);
    ASSERT_EQ(readBytes(v2Header(0, 0) + v2Line(nullptr, many) + v2Point(nullptr, 1, 2) + v2Point(nullptr, 3, 4), 6),
              0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgCapacity});

    // A full table followed by an empty line or a line of one vertex, in
    // every version: nothing is stored beyond the table.
    many.resize(kMaxPoints);
    for (int version : {2, 4}) {
        const std::string start =
            version == 2 ? v2Header(0, 0) + v2Line(nullptr, many) : v34Header(4) + v34Line(3, nullptr, many);
        ui.clearEvents();
        EXPECT_EQ(readBytes(start + (version == 2 ? v2Line(nullptr, {}) : v34Line(3, nullptr, {})), 6), 1);
        EXPECT_EQ(pointTable.count, kMaxPoints);
        EXPECT_EQ(readBytes(start + (version == 2 ? v2Line("1", {{1, 2}}) : v34Line(23, "1", {{1, 2}})), 6), 0);
        EXPECT_EQ(readBytes(start + (version == 2 ? v2Point("1", 1, 2) : v34Point("1", 1, 2)), 6), 0);
        EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kMsgCapacity, kMsgCapacity}));
    }
}

TEST_F(OvlBinaryTest, ReadTextLineIsBounded) {
    const char text[] = "abcdef\r\nxy\rz\n\r\nend";
    const char* end = text + strlen(text);
    char line[4];
    const char* p = readTextLine(line, text, end, sizeof line);
    EXPECT_STREQ(line, "abc");
    p = readTextLine(line, p, end, sizeof line);
    EXPECT_STREQ(line, "def");
    p = readTextLine(line, p, end, sizeof line);
    EXPECT_STREQ(line, "xy");
    p = readTextLine(line, p, end, sizeof line);
    EXPECT_STREQ(line, "z\n");
    p = readTextLine(line, p, end, sizeof line);
    EXPECT_STREQ(line, "end");
    EXPECT_EQ(p, end);
    p = readTextLine(line, p, end, sizeof line);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(p, end);

    // No NUL needed at the end of the range.
    const char unterminated[3] = {'a', 'b', 'c'};
    p = readTextLine(line, unterminated, unterminated + 2, sizeof line);
    EXPECT_STREQ(line, "ab");
}

// The table of file types: each kind finds its own row, and a kind outside
// the table (a stored index from elsewhere) is the binary overlay.
TEST(FileFormatTable, UnknownKindIsTheBinaryOverlay) {
    for (const FileFormat& format : fileFormats()) EXPECT_EQ(&fileFormat(format.kind), &format);
    EXPECT_STREQ(fileFormat(static_cast<FileKind>(0)).name, "ovl-binary");
    EXPECT_STREQ(fileFormat(static_cast<FileKind>(200)).name, "ovl-binary");
}

}  // namespace
