// MapInfo MIF/MID pair: exact bytes of the writer, the reader's tables and
// every reader message.

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "format_test_util.h"
#include "formats/mif.h"
#include "formats/reading.h"
#include "tests/support/scripted_platform.h"
#include "model/times.h"

namespace {

const std::string kHeader =
    "Version 300\r\n"
    "Charset \"WindowsLatin1\"\r\n"
    "Delimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 104\r\n"
    "Columns 11\r\n"
    "  NumberOfRouteOrTrack Smallint\r\n"
    "  NameOfRouteOrTrack Char(50)\r\n"
    "  NumberOfPoint Smallint\r\n"
    "  NameOfPoint Char(50)\r\n"
    "  Time Char(19)\r\n"
    "  Altitude Char(10)\r\n"
    "  Comment Char(50)\r\n"
    "  NewSegment Char(1)\r\n"
    "  Symbol Char(5)\r\n"
    "  Display1 Char(3)\r\n"
    "  Display2 Char(3)\r\n"
    "Data\r\n"
    "\r\n";

const char kMsgNoMif[] = "Keine gültige MIF-Datei!";
const char kMsgMidRead[] = "Konnte aus MID-Datei nicht lesen.";
const char kMsgMissing[] = "Fehlende Stützpunkte eines PLINE-Objekts in MIF-Datei!\n";
const char kMsgCapacity[] = "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.";
const char kMsgCoordSys[] = "Falsches Koordinatensystem -- muss 'Länge/Breite mit WGS84' sein.";
const char kMsgWrongType[] =
    "MIF-Datei enthielt Objekte falschen Typs.\nVerwenden Sie nur Objekte vom Type 'Punkt' oder 'Polylinie'!";

// A MIF head declaring the given column lines, with LF line ends as many
// tools write them.
std::string mifHead(const std::string& columns, int count) {
    return "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\nCoordSys Earth Projection 1, 104\nColumns " +
           std::to_string(count) + "\n" + columns + "Data\n\n";
}

const std::string kRouteColumns =
    "  NumberOfRouteOrTrack Smallint\n  NameOfRouteOrTrack Char(50)\n  Comment Char(50)\n  Display1 Char(3)\n"
    "  Display2 Char(3)\n";

class MifTest : public FormatTest {
  protected:
    std::string mif() const { return dir.file("out.mif"); }
    std::string mid() const { return dir.file("out.mid"); }
    void writePair(const std::string& mifText, const std::string& midText) {
        writeFile(mif(), mifText);
        writeFile(mid(), midText);
    }
    int read(int transferKind) {
        return readMifFile(mif().c_str(), TransferKind(transferKind), hasNumbers, hasNames, &naming);
    }
    ScriptedPlatform ui;
    bool hasNumbers = false;
    bool hasNames = false;
};

// ---------------------------------------------------------------- writer

TEST_F(MifTest, WritesPointsByteForByte) {
    PointRecord invalid = makePoint({.lat = 95.0, .lon = 7.0, .newSegment = 1});
    PointRecord a = makePoint({.number = 1,
                               .name = "WP1",
                               .comment = "Br\xFC"
                                          "cke",
                               .lat = 50.25,
                               .lon = 7.5});
    a.Time = 86400;
    a.Altitude = 123.7f;
    a.HasSymbol = 1;
    a.Symbol = 65535;
    a.Display1 = 2;
    a.Display2 = 255;
    PointRecord b =
        makePoint({.route = 4, .routeName = "R\"X", .number = 2, .name = "WP2", .lat = -33.5, .lon = -0.125});
    setTable({invalid, a, b});
    ASSERT_EQ(writeMifFile(mif().c_str(), PointObjects), 1);

    EXPECT_EQ(readFile(mif()), kHeader +
                                   "Point 7.50000000 50.25000000\r\n    Symbol (33,15790080,14)\r\n"
                                   "Point -0.12500000 -33.50000000\r\n    Symbol (33,15790080,14)\r\n");
    // The invalid first record leaves the start mark for the next valid one;
    // a quote inside a text is doubled.
    EXPECT_EQ(readFile(mid()),
              "\"0\",\"\",\"1\",\"WP1\",\"1990-01-01 00:00:00\",\"124\",\"Br\xFC"
              "cke\",\"1\",\"65535\",\"2\",\"255\"\r\n"
              "\"4\",\"R\"\"X\",\"2\",\"WP2\",\"\",\"\",\"\",\"0\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(dir.listing(), "out.mid out.mif ");
}

TEST_F(MifTest, WritesPolylinesAndSkipsOnePointLines) {
    PointRecord a = makePoint({.route = 1,
                               .routeName = "R1",
                               .number = 1,
                               .name = "A",
                               .comment = "Start",
                               .lat = 50.0,
                               .lon = 7.0,
                               .newSegment = 1});
    a.Time = 86400;
    a.HasSymbol = 1;
    a.Display1 = 5;
    a.Display2 = 6;
    a.Altitude = 300.0f;
    PointRecord b = makePoint(
        {.route = 1, .routeName = "R1", .number = 2, .name = "B", .comment = "other", .lat = 50.1, .lon = 7.1});
    PointRecord single =
        makePoint({.route = 2, .routeName = "R2", .number = 1, .name = "C", .lat = 51.0, .lon = 8.0, .newSegment = 1});
    PointRecord invalid = makePoint({.lat = 51.0, .lon = 300.0});
    PointRecord c =
        makePoint({.route = 3, .routeName = "R3", .number = 1, .name = "D", .lat = 52.0, .lon = 9.0, .newSegment = 1});
    PointRecord d = makePoint({.route = 3, .routeName = "R3", .number = 2, .name = "E", .lat = 52.5, .lon = 9.5});
    setTable({a, b, single, invalid, c, d});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeMifFile(mif().c_str(), LineObjects), 1);

    EXPECT_EQ(readFile(mif()), kHeader +
                                   "Pline 2\r\n7.00000000 50.00000000\r\n7.10000000 50.10000000\r\n"
                                   "    Pen (2,54,37008)\r\n"
                                   "Pline 2\r\n9.00000000 52.00000000\r\n9.50000000 52.50000000\r\n"
                                   "    Pen (2,54,37008)\r\n");
    EXPECT_EQ(readFile(mid()),
              "\"1\",\"R1\",\"0\",\"\",\"1990-01-01 00:00:00\",\"\",\"Start\",\"\",\"\",\"5\",\"6\"\r\n"
              "\"3\",\"R3\",\"0\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
}

// Altitudes go to the nearest whole metre that the column's range holds.
TEST_F(MifTest, AltitudeLimitsAndRounding) {
    const float altitudes[] = {-500.0f, 20000.0f, 19999.9f, -499.6f, kNoAltitude, NAN, 0.4f, 1955.97f, -12.5f};
    const char* expected[] = {"", "", "19999", "-499", "", "", "0", "1956", "-13"};
    pointTable.reset();
    for (float altitude : altitudes) {
        PointRecord r = makePoint({.lat = 2.0, .lon = 1.0});
        r.Altitude = altitude;
        pointTable.records[pointTable.count++] = r;
    }
    ASSERT_EQ(writeMifFile(mif().c_str(), PointObjects), 1);
    std::string rows = readFile(mid());
    std::string expectedRows;
    for (int i = 0; i < 9; i++)
        expectedRows += std::string("\"0\",\"\",\"0\",\"\",\"\",\"") + expected[i] + "\",\"\",\"" +
                        (i == 0 ? "1" : "0") + "\",\"\",\"\",\"\"\r\n";
    EXPECT_EQ(rows, expectedRows);
}

TEST_F(MifTest, TableWithoutValidPointGivesHeaderAndEmptyMid) {
    setTable({makePoint({.lat = 91.0, .newSegment = 1}), makePoint({.lon = 200.0})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeMifFile(mif().c_str(), LineObjects), 1);
    EXPECT_EQ(readFile(mif()), kHeader);
    EXPECT_EQ(readFile(mid()), "");
}

TEST_F(MifTest, MidNameKeepsTheCaseOfTheExtension) {
    // Writing: the MID beside the MIF in the same case.
    setTable({makePoint({.lat = 50.0, .lon = 7.0, .newSegment = 1})});
    countLinePoints(PointObjects);
    ASSERT_EQ(writeMifFile(dir.file("OUT.MIF").c_str(), PointObjects), 1);
    ASSERT_EQ(writeMifFile(dir.file("low.mif").c_str(), PointObjects), 1);
    EXPECT_EQ(dir.listing(), "OUT.MID OUT.MIF low.mid low.mif ");

    // Reading: the MID in any case of its extension.
    std::filesystem::rename(dir.file("OUT.MID"), dir.file("OUT.mId"));
    ASSERT_EQ(readMifFile(dir.file("OUT.MIF").c_str(), TransferKind::Waypoints, hasNumbers, hasNames), 1);
    EXPECT_EQ(pointTable.count, 1);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST_F(MifTest, FailedWriteLeavesEarlierPairIntact) {
    writePair("old mif", "old mid");
    setTable({makePoint({.lat = 50.0, .lon = 7.0, .newSegment = 1})});
    // A directory where the MIF file should go: the pair cannot be replaced,
    // and the MID file written beside it must not replace the old one either.
    std::filesystem::remove(mif());
    std::filesystem::create_directory(mif());
    EXPECT_EQ(writeMifFile(mif().c_str(), PointObjects), 0);
    EXPECT_EQ(readFile(mid()), "old mid");
    EXPECT_EQ(dir.listing(), "out.mid out.mif ");  // no temporary file left

    EXPECT_EQ(writeMifFile(dir.file("missing/x.mif").c_str(), PointObjects), 0);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST_F(MifTest, PairIsReplacedOnlyWhenBothFilesWereWritten) {
    pointTable.reset();
    for (int i = 0; i < 200; i++)
        pointTable.records[pointTable.count++] = makePoint(
            {.route = 1, .routeName = "ROUTE", .number = i + 1, .name = "P", .lat = 50.0, .lon = 7.0 + i * 0.001});
    ASSERT_EQ(writeMifFile(mif().c_str(), PointObjects), 1);
    long long mifSize = fileSize(mif()), midSize = fileSize(mid());
    ASSERT_NE(mifSize, midSize);
    writePair("old mif", "old mid");
    {
        // Room for the smaller of the two files only.
        FileSizeLimit limit((rlim_t)((mifSize + midSize) / 2));
        ASSERT_TRUE(limit.active);
        EXPECT_EQ(writeMifFile(mif().c_str(), PointObjects), 0);
    }
    EXPECT_EQ(readFile(mif()), "old mif");
    EXPECT_EQ(readFile(mid()), "old mid");
    EXPECT_EQ(dir.listing(), "out.mid out.mif ");
}

TEST_F(MifTest, OutputIgnoresDecimalCommaLocale) {
    GermanNumericLocale german(dir.path);
    if (!german.active) GTEST_SKIP() << "no locale with a decimal comma available";
    setTable({makePoint({.route = 1, .number = 1, .name = "A", .lat = 50.25, .lon = 7.5, .newSegment = 1})});
    ASSERT_EQ(writeMifFile(mif().c_str(), PointObjects), 1);
    EXPECT_NE(readFile(mif()).find("Point 7.50000000 50.25000000\r\n"), std::string::npos);
    ASSERT_EQ(read(7), 1);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Longitude, 7.5);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Latitude, 50.25);
}

// ---------------------------------------------------------------- reader

TEST_F(MifTest, RoundTripOfPointAttributes) {
    PointRecord a = makePoint({.route = 3,
                               .routeName = "TOUR 1",
                               .number = 7,
                               .name = "KIRCHE",
                               .comment = "12:30 AM BACH",
                               .lat = 50.87654321,
                               .lon = 7.12345678});
    a.Time = 86400 * 400 + 3723;
    a.Altitude = -12.0f;
    a.HasSymbol = 1;
    a.Symbol = 8213;
    a.Display1 = 1;
    a.Display2 = 2;
    PointRecord b = makePoint({.route = 4, .number = 1, .name = "P2", .lat = -33.25, .lon = -71.5, .newSegment = 1});
    setTable({a, b});
    ASSERT_EQ(writeMifFile(mif().c_str(), PointObjects), 1);
    pointTable.reset();

    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 2);
    const PointRecord& r = pointTable.records[0];
    EXPECT_DOUBLE_EQ(r.Longitude, 7.12345678);
    EXPECT_DOUBLE_EQ(r.Latitude, 50.87654321);
    EXPECT_EQ(r.NumberOfRouteOrTrack, 3);
    EXPECT_EQ(r.NumberOfPoint, 7);
    EXPECT_STREQ(r.NameOfRouteOrTrack, "TOUR 1");
    EXPECT_STREQ(r.NameOfPoint, "KIRCHE");
    EXPECT_STREQ(r.Comment, "12:30 AM BACH");
    EXPECT_EQ(r.Time, 86400 * 400 + 3723);
    EXPECT_EQ(r.Altitude, -12.0f);
    EXPECT_EQ(r.NewSegment, 1);
    EXPECT_EQ(r.HasSymbol, 1);
    EXPECT_EQ(r.Symbol, 8213);
    EXPECT_EQ(r.Display1, 1);
    EXPECT_EQ(r.Display2, 2);
    const PointRecord& s = pointTable.records[1];
    EXPECT_EQ(s.NewSegment, 1);
    EXPECT_EQ(s.Altitude, kNoAltitude);
    EXPECT_EQ(s.HasSymbol, 0);
    EXPECT_EQ(s.Time, 0);
    EXPECT_STREQ(s.NameOfRouteOrTrack, "");
    EXPECT_TRUE(hasNumbers);
    EXPECT_TRUE(hasNames);
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::InitialsDialog).empty());
}

TEST_F(MifTest, QuotedAndUnquotedFieldsByColumnNumber) {
    std::string head =
        mifHead("  NumberOfRouteOrTrack Smallint\n  NameOfPoint Char(50)\n  NumberOfPoint Smallint\n", 3);
    writePair(head + "Point 7.5 50.1\n    Symbol (33,15790080,14)\nPOINT 7.6   50.2   \r\n",
              "\"1\",\"ab\",\"2\"\r\n1,ab,2\r\n");
    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 2);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(pointTable.records[i].NumberOfRouteOrTrack, 1);
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, 2);
        EXPECT_STREQ(pointTable.records[i].NameOfPoint, "ab");
    }
    EXPECT_DOUBLE_EQ(pointTable.records[1].Longitude, 7.6);
    EXPECT_DOUBLE_EQ(pointTable.records[1].Latitude, 50.2);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);
    EXPECT_EQ(pointTable.records[1].NewSegment, 0);
    EXPECT_TRUE(hasNumbers);
    EXPECT_FALSE(hasNames);
}

TEST_F(MifTest, NumKeyNameFilterTimeLengthAndExtraFields) {
    std::string head =
        mifHead("  NUMKEY Integer\n  name Char(20)\n\n  Time Char(19)\n  Altitude Char(10)\n  Symbol Char(5)\n", 6);
    // Column 3 is the blank line; the rows carry more fields than columns.
    writePair(head + "point 1 2\npoint 3 4\npoint 5 6\n",
              "\"1203\",\"wp-1 \xE4/x\",\"x\",\"2001-02-03 04:05:0\",\"  1e3\",\" 12\",\"9\",\"9\"\n"
              "\"-7\",\"\",\"\",\"2001-02-03 04:05:06x\",\"-5.7\",\"abc\"\n"
              "\"99999999999999\",\"\",\"\",\"2001-02-03 04:05:06\",\"- 5\",\"70000\"\n");
    ASSERT_EQ(read(6), 1);
    ASSERT_EQ(pointTable.count, 3);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 12);
    EXPECT_EQ(r[0].NumberOfPoint, 3);
    EXPECT_STREQ(r[0].NameOfPoint, "wp-1 \xE4/x");
    EXPECT_EQ(r[0].Time, 0);  // 18 characters
    EXPECT_EQ(r[0].Altitude, 1000.0f);
    EXPECT_EQ(r[0].HasSymbol, 1);
    EXPECT_EQ(r[0].Symbol, 12);
    EXPECT_EQ(r[1].NumberOfRouteOrTrack, 0);
    EXPECT_EQ(r[1].NumberOfPoint, -7);
    EXPECT_EQ(r[1].Time, 0);  // 20 characters
    EXPECT_EQ(r[1].Altitude, -5.0f);
    EXPECT_EQ(r[1].HasSymbol, 0);
    // Numbers beyond the range of int are held at its end.
    EXPECT_EQ(r[2].NumberOfRouteOrTrack, INT_MAX / 100);
    EXPECT_EQ(r[2].NumberOfPoint, INT_MAX % 100);
    EXPECT_EQ(r[2].Time, parseTime("2001-02-03 04:05:06"));
    EXPECT_EQ(r[2].Altitude, kNoAltitude);
    EXPECT_EQ(r[2].HasSymbol, 0);  // 70000 is no 16-bit symbol
    // The two short or long times, "abc", "- 5" and 70000 are left empty.
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 5);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST_F(MifTest, LaterDeclarationOfANameWinsAndFarColumnsMatchNothing) {
    std::string columns = "  NameOfPoint Char(5)\n  NameOfPoint Char(5)\n";
    for (int i = 0; i < 400; i++) columns += "  Other Char(1)\n";
    columns += "  Comment Char(5)\n";
    writePair(mifHead(columns, 403) + "Point 1 2\n", "\"a\",\"b\",\"c\"\n");
    ASSERT_EQ(read(6), 1);
    EXPECT_STREQ(pointTable.records[0].NameOfPoint, "b");
    EXPECT_STREQ(pointTable.records[0].Comment, "");
}

// A collection's Region has no point to send: it is left out with a
// warning, its polylines are read with the collection's row.
TEST_F(MifTest, RegionOfACollectionIsLeftOutAndCounted) {
    writePair(mifHead("  NameOfRouteOrTrack Char(50)\n", 1) +
                  "Collection 2\n  Region 1\n    4\n8 50\n8.1 50\n8.1 50.1\n8 50\n    Brush (1,0,0)\n"
                  "  Pline 2\n9 51\n9.1 51.1\n    Pen (1,2,0)\n",
              "\"Ring\"\n");
    ASSERT_EQ(read(6), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"1 Fläche (Region) aus einem Sammelobjekt (Collection) der "
                                                      "MIF-Datei \nwird ausgelassen."});
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_DOUBLE_EQ(pointTable.records[1].Longitude, 9.1);
    EXPECT_STREQ(pointTable.records[0].NameOfRouteOrTrack, "Ring");
}

TEST_F(MifTest, OtherDelimiterAndDoubledQuotes) {
    std::string head =
        "Version 300\nDelimiter \";\"\nColumns 2\n  Comment Char(50)\n  NameOfRouteOrTrack Char(50)\nData\n";
    writePair(head + "Point 1 2\nPoint 3 4\n", "\"a;b \"\"c\"\" 12:30\";\"--+\"\n  \"kept\" ;\"-\"\n");
    ASSERT_EQ(read(7), 1);
    EXPECT_STREQ(pointTable.records[0].Comment, "a;b \"c\" 12:30");
    EXPECT_STREQ(pointTable.records[0].NameOfRouteOrTrack, "--+");
    EXPECT_FALSE(hasNames);  // only '-' and '+'
    // Blanks around the quotes are no part of the value.
    EXPECT_STREQ(pointTable.records[1].Comment, "kept");
    EXPECT_STREQ(pointTable.records[1].NameOfRouteOrTrack, "-");
}

TEST_F(MifTest, PolylinesForTracksJoinSegmentsWithSameNumberAndName) {
    std::string mifText = mifHead(kRouteColumns, 5) +
                          "Pline 3\n1 10\n2 20\n3 30\n    Pen (2,54,37008)\nPline 2\n4 40\n5 50   \n"
                          "Pline 2\n6 60\n7 70\n";
    std::string midText =
        "\"1\",\"Weg\",\"c\xE4 1\",\"4\",\"9\"\n\"1\",\"Weg\",\"\",\"\",\"\"\n\"\",\"\",\"\",\"\",\"\"\n";
    writePair(mifText, midText);
    ASSERT_EQ(read(6), 1);
    ASSERT_EQ(pointTable.count, 7);
    const PointRecord* r = pointTable.records;
    const int expectedNumbers[] = {1, 1, 1, 1, 1, 2, 2};
    const int expectedPoints[] = {1, 2, 3, 4, 5, 1, 2};
    const int expectedSegments[] = {1, 0, 0, 1, 0, 1, 0};
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, expectedNumbers[i]) << i;
        EXPECT_EQ(r[i].NumberOfPoint, expectedPoints[i]) << i;
        EXPECT_EQ(r[i].NewSegment, expectedSegments[i]) << i;
        EXPECT_STREQ(r[i].NameOfPoint, "") << i;
        EXPECT_EQ(r[i].Altitude, kNoAltitude);
        EXPECT_DOUBLE_EQ(r[i].Longitude, i + 1.0);
        EXPECT_DOUBLE_EQ(r[i].Latitude, 10.0 * (i + 1));
    }
    EXPECT_STREQ(r[0].NameOfRouteOrTrack, "Weg");
    EXPECT_STREQ(r[0].Comment, "c\xE4 1");
    EXPECT_STREQ(r[3].Comment, "");
    EXPECT_EQ(r[0].HasSymbol, 1);
    EXPECT_EQ(r[0].Display1, 4);
    EXPECT_EQ(r[0].Display2, 9);
    // The second row's empty display values: no display flag, Display2 0.
    EXPECT_EQ(r[3].HasSymbol, 0);
    EXPECT_EQ(r[3].Display2, 0);
    EXPECT_EQ(r[5].NumberOfRouteOrTrack, 2);  // no number: the object count
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::InitialsDialog).empty());
    EXPECT_TRUE(hasNumbers);
    EXPECT_TRUE(hasNames);
}

TEST_F(MifTest, PolylinesForRoutesAreSeparateAndNamedFromInitials) {
    std::string mifText = mifHead("  Time Char(19)\n", 1) + "Pline 2\n1 1\n2 2\nPline 2\n3 3\n4 4\nPline 1\n5 5\n";
    writePair(mifText, "\"\"\n\"\"\n\"\"\n");
    ui.queueInitials("kz");
    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 5);
    const PointRecord* r = pointTable.records;
    EXPECT_STREQ(r[0].NameOfPoint, "KZ0001");
    EXPECT_STREQ(r[1].NameOfPoint, "KZ0002");
    EXPECT_STREQ(r[2].NameOfPoint, "LA0001");
    EXPECT_STREQ(r[3].NameOfPoint, "LA0002");
    EXPECT_STREQ(r[4].NameOfPoint, "LB0001");
    const int expectedNumbers[] = {1, 1, 2, 2, 3};
    const int expectedPoints[] = {1, 2, 1, 2, 1};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, expectedNumbers[i]);
        EXPECT_EQ(r[i].NumberOfPoint, expectedPoints[i]);
    }
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);
    EXPECT_TRUE(naming.initialsAsked);
    EXPECT_FALSE(hasNumbers);

    // The dialog is not shown again in the same upload.
    ui.clearEvents();
    ASSERT_EQ(read(7), 1);
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::InitialsDialog).empty());
}

TEST_F(MifTest, SameNumberAndNameAreTwoRoutesForWaypointUpload) {
    writePair(mifHead(kRouteColumns, 5) + "Pline 2\n1 1\n2 2\nPline 2\n3 3\n4 4\n",
              "\"5\",\"A\",\"\",\"\",\"\"\n\"5\",\"A\",\"\",\"\",\"\"\n");
    ui.queueInitials("AA");
    ASSERT_EQ(read(7), 1);
    EXPECT_EQ(pointTable.records[2].NumberOfPoint, 1);
    EXPECT_EQ(pointTable.records[2].NumberOfRouteOrTrack, 5);
    EXPECT_EQ(pointTable.records[2].NewSegment, 1);
    EXPECT_STREQ(pointTable.records[2].NameOfPoint, "AB0001");
}

TEST_F(MifTest, SectionsOfAPolylineAreSegmentsOfOneTrackOrRoutesOfTheirOwn) {
    // The form ogr2ogr writes for every track: the count of sections, each
    // led by its vertex count; one MID row for the object.
    writePair(mifHead("  name Char(254)\n", 1) +
                  "PLINE MULTIPLE 2\n  3\n7 50\n7.01 50.01\n7.02 50.02\n  2\n7.1 50.1\n7.11 50.11\n"
                  "    Pen (1,2,0)\nPLINE MULTIPLE 1\n  2\n8 51\n8.01 51.01\n    Pen (1,2,0)\n",
              "\"Morgen\"\n\"Abend\"\n");
    ASSERT_EQ(read(6), 1);
    ASSERT_EQ(pointTable.count, 7);
    const PointRecord* r = pointTable.records;
    const int tracks[] = {1, 1, 1, 1, 1, 2, 2};
    const int points[] = {1, 2, 3, 4, 5, 1, 2};
    const int segments[] = {1, 0, 0, 1, 0, 1, 0};
    for (int i = 0; i < 7; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, tracks[i]);
        EXPECT_EQ(r[i].NumberOfPoint, points[i]);
        EXPECT_EQ(r[i].NewSegment, segments[i]);
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, i < 5 ? "Morgen" : "Abend");
    }
    EXPECT_DOUBLE_EQ(r[4].Longitude, 7.11);
    EXPECT_DOUBLE_EQ(r[4].Latitude, 50.11);

    // For a waypoint upload every section is a route of its own.
    ui.queueInitials("KB");
    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 7);
    EXPECT_EQ(r[3].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(r[3].NumberOfPoint, 1);
    EXPECT_STREQ(r[3].NameOfPoint, "KC0001");
    EXPECT_EQ(r[5].NumberOfRouteOrTrack, 3);
    EXPECT_STREQ(r[5].NameOfPoint, "KD0001");
}

TEST_F(MifTest, OtherFormsOfPointLineAndPline) {
    // CR line ends, tabs, "Line" with two vertices, a Pline count on the
    // next line, style clauses after the objects, and a MID row with a NUL.
    writePair(std::string("Version 300\rColumns 1\r  Name\tChar(20)\rData\r") +
                  "Point\t7.5\t50.5\r    Symbol (35,0,12)\r"
                  "Line 8 51  8.5\t51.5\r    Pen (1,2,0)\r"
                  "Pline\r  3\r1 2\r3\t4 \r5 6\r    Pen (1,2,0)\r    Smooth\r"
                  "  Pline 2\n9 10\n11 12\n    Brush (2,16777215,0)\n    Center 10 11\r\n",
              std::string("\"PK\0x\"\r\"L\"\r\"Q\"\r\"S\"\r", 19));
    ui.queueInitials("AA");
    ASSERT_EQ(read(7), 1) << ui.boxTexts()[0];
    ASSERT_EQ(pointTable.count, 8);
    const PointRecord* r = pointTable.records;
    const double lon[] = {7.5, 8, 8.5, 1, 3, 5, 9, 11};
    const double lat[] = {50.5, 51, 51.5, 2, 4, 6, 10, 12};
    const int routes[] = {0, 1, 1, 2, 2, 2, 3, 3};
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(r[i].Longitude, lon[i]);
        EXPECT_DOUBLE_EQ(r[i].Latitude, lat[i]);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, routes[i]);
    }
    EXPECT_STREQ(r[0].NameOfPoint, "PK");
    EXPECT_STREQ(r[1].NameOfRouteOrTrack, "L");
    EXPECT_STREQ(r[2].NameOfPoint, "AA0002");
    EXPECT_STREQ(r[5].NameOfRouteOrTrack, "Q");
    EXPECT_STREQ(r[7].NameOfRouteOrTrack, "S");
}

TEST_F(MifTest, ReaderMessages) {
    struct Case {
        const char* name;
        std::string mifText;
        std::string midText;
        std::string message;
    };
    const std::string head = mifHead("  NameOfPoint Char(50)\n", 1);
    auto kMsgExtra = [](int line) {
        return "Mehr Stützpunkte eines PLINE-Objekts als angegeben in MIF-Datei (Zeile " + std::to_string(line) + ").";
    };
    auto kMsgLong = [](int line) {
        return "Die Eingabedatei enthält eine Zeile von mehr als 1 MB \nund wird nicht gelesen (Zeile " +
               std::to_string(line) + ").";
    };
    const Case cases[] = {
        {"not a MIF file", "Columns 1\nPoint 1 2\n", "\"a\"\n", kMsgNoMif},
        {"empty MIF file", "", "", kMsgNoMif},
        {"projection", "Version 300\nCoordSys Earth Projection 8, 104\n", "", kMsgCoordSys},
        {"datum 1040", "Version 300\nCOORDSYS EARTH PROJECTION 1,1040\n", "", kMsgCoordSys},
        {"region first", "Version 300\nRegion 1\n  3\n1 1\n2 2\n3 3\nPoint 1 1\n", "\"\"\n\"x\"\n", kMsgWrongType},
        {"missing vertices", head + "Pline 3\n1 1\n2 2\n", "\"\"\n", kMsgMissing},
        {"vertex with one number", head + "Pline 2\n1 1\n2\n", "\"\"\n", kMsgMissing},
        {"vertex of text", head + "Pline 2\n1 1\n    Pen (1,2,0)\n", "\"\"\n", kMsgMissing},
        {"point with one number", head + "Point 7.5\n", "\"\"\n", kMsgNoMif},
        {"point without numbers", head + "Point  \n", "\"\"\n", kMsgNoMif},
        {"point with a word", head + "Point 7.5 north\n", "\"\"\n", kMsgNoMif},
        {"point with two signs", head + "Point +-7.5 50\n", "\"\"\n", kMsgNoMif},
        {"missing MID row", head + "Point 1 1\nPoint 2 2\n", "\"a\"\n", kMsgMidRead},
        {"polyline without MID row", head + "Pline 1\n1 1\n", "", kMsgMidRead},
        {"long MIF line", head + "Point 1 1" + std::string(kMaxLineLength, ' ') + "\n", "\"\"\n", kMsgLong(9)},
        {"long MID row", head + "Point 1 1\n", "\"" + std::string(kMaxLineLength, 'a') + "\"\n", kMsgLong(1)},
        {"announced vertices that never come", head + "Pline 20000\n", "\"\"\n", kMsgMissing},
        {"a missing section", head + "Pline Multiple 2\n  1\n1 1\n", "\"\"\n", kMsgMissing},
        {"section without count", head + "Pline Multiple 1\n1 1\n", "\"\"\n", kMsgMissing},
        {"line with three numbers", head + "Line 1 1 2\n", "\"\"\n", kMsgMissing},
        {"header without objects", head, "", kMsgNoMif},
        // The head takes lines 1 to 8. A count must agree with the vertices
        // that follow it; a MID row must close its quotes.
        {"more vertices than the count", head + "Pline 2\n1 1\n2 2\n3 3\n4 4\n", "\"\"\n", kMsgExtra(12)},
        {"count too small before a point", head + "Pline 1\n1 1\n\n2 2\nPoint 3 3\n", "\"\"\n\"\"\n", kMsgExtra(12)},
        {"line with a further vertex", head + "Line 1 1 2 2\n3 3\n", "\"\"\n", kMsgExtra(10)},
        {"section with more vertices", head + "Pline Multiple 2\n  1\n1 1\n2 2\n  1\n3 3\n", "\"\"\n", kMsgExtra(12)},
        {"unclosed quote", head + "Point 1 1\nPoint 2 2\n", "\"a\"\n\"b,c\n",
         "MID-Datei fehlerhaft: schließendes Anführungszeichen fehlt (Zeile 2)."},
        {"quote within a value", head + "Point 1 1\nPoint 2 2\n", "\"a\",\" 1\" \n5\"0\",\"x\"\n",
         "MID-Datei fehlerhaft: Anführungszeichen mitten in einem Wert (Zeile 2)."},
        {"text after a closing quote", head + "Point 1 1\n", "\"a\"b,\"c\"\n",
         "MID-Datei fehlerhaft: Anführungszeichen mitten in einem Wert (Zeile 1)."},
        {"unclosed quote after a NUL", head + "Point 1 1\n", std::string("x\0,\"b\n", 6),
         "MID-Datei fehlerhaft: schließendes Anführungszeichen fehlt (Zeile 1)."},
        // A line is all its bytes: a NUL does not end it early.
        {"NUL in a long MID row", head + "Point 1 1\nPoint 2 2\n",
         std::string("\"A\"\0", 4) + std::string(kMaxLineLength - 6, 'x') + "\"B\"\n", kMsgLong(1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writePair(c.mifText, c.midText);
        ui.clearEvents();
        EXPECT_EQ(read(6), 0);
        ASSERT_EQ(ui.boxTexts().size(), 1u);
        EXPECT_EQ(ui.boxTexts()[0], c.message);
        EXPECT_EQ(ui.events().back().title, "FEHLER");
        EXPECT_EQ(ui.events().back().icon, BoxIcon::Warning);
    }
}

TEST_F(MifTest, LinesUpToTheirLimitAreRead) {
    const std::string head = mifHead("  NameOfPoint Char(50)\n", 1);
    // Lines of the longest length before CR LF.
    std::string pointLine = "Point 1 2" + std::string(kMaxLineLength - 9, ' ');
    std::string row = "\"" + std::string(kMaxLineLength - 2, 'a') + "\"";
    writePair(head + pointLine + "\r\n", row + "\r\n");
    ASSERT_EQ(read(6), 1);
    EXPECT_EQ(pointTable.count, 1);
    EXPECT_EQ(std::string(pointTable.records[0].NameOfPoint), std::string(50, 'a'));
}

// Points outside the globe leave the table with one count; a polyline's
// start passes to its first valid vertex. A file without any valid point is
// refused.
TEST_F(MifTest, PositionsOutsideTheGlobeAreLeftOutAndCounted) {
    writePair(mifHead(kRouteColumns, 5) +
                  "Point 180 -90\nPoint 190 50\nPoint -180.0001 0\nPline 3\n7 95\n7.5 50\n8 51\nPoint -180 90\n",
              "\n\n\n\"1\",\"R\"\n\n");
    ui.queueInitials("AA");
    ASSERT_EQ(read(7), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{positionsLeftOut(3)});
    EXPECT_EQ(ui.events().back().title, "Wegmate-WARNUNG");
    ASSERT_EQ(pointTable.count, 4);
    const PointRecord* r = pointTable.records;
    EXPECT_DOUBLE_EQ(r[0].Longitude, 180.0);
    EXPECT_DOUBLE_EQ(r[1].Longitude, 7.5);
    EXPECT_EQ(r[1].NewSegment, 1);
    EXPECT_STREQ(r[1].NameOfRouteOrTrack, "R");
    EXPECT_EQ(r[2].NewSegment, 0);
    EXPECT_DOUBLE_EQ(r[3].Longitude, -180.0);

    writePair(mifHead(kRouteColumns, 5) + "Point 190 50\n", "\n");
    ui.clearEvents();
    EXPECT_EQ(read(7), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kNoValidPosition});
    EXPECT_EQ(ui.events().back().title, "FEHLER");
}

TEST_F(MifTest, OpenFailures) {
    EXPECT_EQ(read(7), 0);
    writeFile(mif(), "Version 300\n");
    EXPECT_EQ(read(7), 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Öffnen der MIF-Eingabedatei.",
                                                       "Fehler beim Öffnen der MID-Eingabedatei."}));
}

TEST_F(MifTest, PointCapacity) {
    std::string mifText = mifHead("", 0);
    std::string midText;
    for (int i = 0; i < kMaxPoints + 1; i++) {
        mifText += "Point 1 2\n";
        midText += "\n";
    }
    writePair(mifText, midText);
    EXPECT_EQ(read(6), 0);
    EXPECT_EQ(pointTable.count, kMaxPoints);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{kMsgCapacity});

    // Exactly 20000 points fit.
    mifText.resize(mifText.size() - strlen("Point 1 2\n"));
    midText.pop_back();
    writePair(mifText, midText);
    EXPECT_EQ(read(6), 1);
    EXPECT_EQ(pointTable.count, kMaxPoints);
}

TEST_F(MifTest, CutFilesExtraNumbersCoordSysAndByteOrderMark) {
    // Every cut of a written MIF file (its MID whole) is refused or keeps
    // all its points.
    setTable({makePoint({.lat = 50.111, .lon = 7.5, .newSegment = 1}), makePoint({.lat = 51.0, .lon = 8.25}),
              makePoint({.lat = 49.5, .lon = 9.0, .newSegment = 1}), makePoint({.lat = 49.25, .lon = 9.5})});
    for (int objectKind : {PointObjects, LineObjects}) {
        countLinePoints(objectKind);
        std::vector<PointRecord> original(pointTable.records, pointTable.records + pointTable.count);
        ASSERT_EQ(writeMifFile(mif().c_str(), objectKind), 1);
        SCOPED_TRACE("kind " + std::to_string(objectKind));
        expectEveryCutRefusedOrWhole(mif(), original, [&] { return read(6); });
        setTable({original[0], original[1], original[2], original[3]});
    }
    const std::pair<std::string, const char*> cases[] = {
        {mifHead("", 0) + "Point 1 2 3 8.5 50.1\n", kMsgNoMif},
        {mifHead("", 0) + "Pline 2\n1 2\n3 4 5\n", kMsgMissing},
        {"Version 300\nCoordSys Earth Projection 1, 104 Affine Units \"m\" 1, 0, 0, 0, 1, 0\nData\nPoint 1 2\n",
         kMsgCoordSys},
        {"Version 300\nCoordSys Earth Projection 1, 1040\nData\nPoint 1 2\n", kMsgCoordSys},
        {"Version 300\nCoordSys Earth Projection 12, 104\nData\nPoint 1 2\n", kMsgCoordSys},
    };
    for (const auto& c : cases) {
        writePair(c.first, "\n");
        ui.clearEvents();
        EXPECT_EQ(read(6), 0) << c.first;
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{c.second});
    }
    for (const char* form : {"\xEF\xBB\xBFVersion 300\nCoordSys Earth Projection 1,104\nData\nPoint 1 2\n",
                             "Version 300\ncoordsys earth  projection 1 ,  104 \nData\nPoint 1 2\n"}) {
        writePair(form, "\n");
        EXPECT_EQ(read(6), 1) << form;
    }
}

TEST_F(MifTest, PolylineRoundTrip) {
    PointRecord a = makePoint({.route = 2,
                               .routeName = "ROUTE A",
                               .number = 1,
                               .name = "X",
                               .comment = "KOMMENTAR",
                               .lat = 50.0,
                               .lon = 7.0,
                               .newSegment = 1});
    a.HasSymbol = 1;
    a.Display1 = 3;
    a.Display2 = 4;
    setTable(
        {a, makePoint({.lat = 50.5, .lon = 7.5}), makePoint({.lat = 51.0, .lon = 8.0}),
         makePoint({.route = 9, .routeName = "B", .number = 1, .name = "Y", .lat = 2.0, .lon = 1.0, .newSegment = 1}),
         makePoint({.lat = 2.5, .lon = 1.5})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeMifFile(mif().c_str(), LineObjects), 1);
    ui.queueInitials("AA");
    ASSERT_EQ(read(7), 1);
    ASSERT_EQ(pointTable.count, 5);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[2].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(r[2].NumberOfPoint, 3);
    EXPECT_STREQ(r[2].NameOfRouteOrTrack, "ROUTE A");
    EXPECT_STREQ(r[2].Comment, "KOMMENTAR");
    EXPECT_STREQ(r[2].NameOfPoint, "AA0003");
    EXPECT_EQ(r[2].HasSymbol, 1);
    EXPECT_EQ(r[2].Display1, 3);
    EXPECT_EQ(r[2].Display2, 4);
    EXPECT_EQ(r[3].NumberOfRouteOrTrack, 9);
    EXPECT_EQ(r[3].NewSegment, 1);
    EXPECT_STREQ(r[4].NameOfPoint, "AB0002");
    EXPECT_DOUBLE_EQ(r[4].Latitude, 2.5);
}

}  // namespace

// A polyline's display values that do not fit a byte are refused: the line
// keeps no display values, and both are counted (the second has no place
// without the first).
TEST_F(MifTest, PolylineDisplayValuesWithoutRoomStayAbsent) {
    writePair(mifHead("  Display1 Char(3)\n  Display2 Char(3)\n", 2) + "Pline 2\n1 2\n3 4\nPline 2\n5 6\n7 8\n",
              "\"300\",\"2\"\n\"255\",\"257\"\n");
    ASSERT_EQ(read(6), 1);
    ASSERT_EQ(pointTable.count, 4);
    EXPECT_EQ(pointTable.records[0].HasSymbol, 0);
    EXPECT_EQ(pointTable.records[1].HasSymbol, 0);
    EXPECT_EQ(pointTable.records[2].HasSymbol, 1);
    EXPECT_EQ(pointTable.records[2].Display1, 255);
    EXPECT_EQ(pointTable.records[2].Display2, 0);  // as for an empty value: not 257 cut to 1
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 2 + 1);
}
