// The GPX reader on files as other programs write them, our own files read
// back, and the files the reader refuses with their messages.

#include "format_test_util.h"
#include "formats/gpx.h"
#include "tests/support/scripted_platform.h"
#include "model/times.h"

namespace {

class GpxTest : public FormatTest {
  protected:
    ScriptedPlatform ui;
    bool numbers = false;
    bool names = false;

    int read(const std::string& content, int transferKind) {
        std::string file = dir.file("in.gpx");
        writeFile(file, content);
        numbers = names = false;
        return readGpxFile(file.c_str(), TransferKind(transferKind), numbers, names);
    }
};

// GPX 1.0 without our extension: waypoints, routes and tracks side by side,
// route and track name and number after or without their points.
const char kForeignFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.0\" creator=\"other\" xmlns=\"http://www.topografix.com/GPX/1/0\">\n"
    " <wpt lat=\"50.5\" lon=\"7.25\"><ele> 123.4 </ele><time>2014-08-22T03:02:03.5+02:00</time>"
    "<name>Kirche am Br\xC3\xBC"
    "ckchen</name><cmt>offen 12:30 &amp; mehr</cmt><sym>Flag</sym></wpt>\n"
    " <rte><name>Tour 1</name><number>5</number>\n"
    "  <rtept lat=\"1\" lon=\"2\"><name>Start</name></rtept><rtept lat=\"-1.5\" lon=\"-2.5\"/>\n"
    " </rte>\n"
    " <rte><rtept lat=\"3\" lon=\"4\"/><rtept lat=\"3.5\" lon=\"4.5\"><time>2014-08-22T01:02:03</time></rtept></rte>\n"
    " <trk><name>Weg</name>\n"
    "  <trkseg><trkpt lat=\"10\" lon=\"20\"/><trkpt lat=\"10.1\" lon=\"20.1\"/></trkseg>\n"
    "  <trkseg><trkpt lat=\"10.2\" lon=\"20.2\"/></trkseg>\n"
    " </trk>\n"
    " <trk><trkseg><trkpt lat=\"-89.5\" lon=\"179.5\"/></trkseg><number>9</number></trk>\n"
    "</gpx>\n";

TEST_F(GpxTest, WaypointUploadTakesWaypointsAndRoutesWithTheReadersNames) {
    ui.queueInitials("GD");
    ASSERT_EQ(read(kForeignFile, 7), 1);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"4 Punkte aus Tracks der GPX-Datei werden ausgelassen \n(gelesen "
                                                      "werden hier nur Wegpunkte und Routen)."});
    EXPECT_EQ(ui.events().back().title, "Wegmate-WARNUNG");
    ASSERT_EQ(pointTable.count, 5);
    const PointRecord* r = pointTable.records;
    EXPECT_DOUBLE_EQ(r[0].Latitude, 50.5);
    EXPECT_DOUBLE_EQ(r[0].Longitude, 7.25);
    EXPECT_FLOAT_EQ(r[0].Altitude, 123.4f);
    EXPECT_EQ(r[0].Time, parseTime("2014-08-22 01:02:03"));
    EXPECT_STREQ(r[0].NameOfPoint, "Kirche am Br\xFC" "ckchen");
    EXPECT_STREQ(r[0].Comment, "offen 12:30 & mehr");
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 0);
    EXPECT_EQ(r[0].HasSymbol, 1);  // <sym>Flag</sym>
    EXPECT_EQ(r[0].Symbol, 178);

    const int route[] = {0, 5, 5, 2, 2};
    const int point[] = {0, 1, 2, 1, 2};
    const char* const pointName[] = {"", "Start", "GD0002", "GE0001", "GE0002"};
    const char* const routeName[] = {"", "Tour 1", "Tour 1", "", ""};
    const int newSegment[] = {1, 1, 0, 1, 0};
    for (int i = 1; i < 5; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, route[i]);
        EXPECT_EQ(r[i].NumberOfPoint, point[i]);
        EXPECT_STREQ(r[i].NameOfPoint, pointName[i]);
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, routeName[i]);
        EXPECT_EQ(r[i].NewSegment, newSegment[i]);
        EXPECT_EQ(r[i].Altitude, kNoAltitude);
    }
    EXPECT_DOUBLE_EQ(r[2].Longitude, -2.5);
    EXPECT_EQ(r[4].Time, parseTime("2014-08-22 01:02:03"));
    EXPECT_TRUE(numbers);
    EXPECT_TRUE(names);
}

TEST_F(GpxTest, TrackUploadTakesTheTracksWithTheirSegments) {
    ASSERT_EQ(read(kForeignFile, 6), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"5 Punkte aus Wegpunkten und Routen der GPX-Datei werden "
                                                      "ausgelassen \n(gelesen werden hier nur Tracks)."});
    ASSERT_EQ(pointTable.count, 4);
    const PointRecord* r = pointTable.records;
    const int track[] = {1, 1, 1, 9};
    const int point[] = {1, 2, 3, 1};
    const int newSegment[] = {1, 0, 1, 1};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, track[i]);
        EXPECT_EQ(r[i].NumberOfPoint, point[i]);
        EXPECT_EQ(r[i].NewSegment, newSegment[i]);
        EXPECT_STREQ(r[i].NameOfPoint, "");
    }
    EXPECT_STREQ(r[2].NameOfRouteOrTrack, "Weg");
    EXPECT_STREQ(r[3].NameOfRouteOrTrack, "");
    EXPECT_DOUBLE_EQ(r[3].Latitude, -89.5);
    EXPECT_TRUE(numbers);
    EXPECT_TRUE(names);

    // A file of waypoints only is taken as it is, for tracks too; a file
    // declared in Windows-1252 is read.
    ASSERT_EQ(read("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
                   "<gpx><wpt lat=\"1\" lon=\"2\"><name>M\xFC"
                   "hle \x80</name></wpt>"
                   "<wpt lat=\"3\" lon=\"4\"/></gpx>",
                   6),
              1);
    EXPECT_EQ(pointTable.count, 2);
    EXPECT_STREQ(pointTable.records[0].NameOfPoint, "M\xFC" "hle \x80");
    EXPECT_FALSE(numbers);
    EXPECT_FALSE(names);
}

// Every attribute of the table survives our own file, for the point and the
// line objects.
TEST_F(GpxTest, OwnFilesReadBack) {
    PointRecord a = makePoint({.route = 3,
                               .routeName = "TOUR",
                               .number = 1,
                               .name = "KIRCHE",
                               .comment = "12:30 A&B",
                               .lat = 50.987654321,
                               .lon = 7.123456789,
                               .newSegment = 1});
    a.Time = 86400 * 9000 + 3723;
    a.Altitude = 451.5f;
    a.HasSymbol = 1;
    a.Symbol = 8213;
    a.Display1 = 1;
    a.Display2 = 2;
    PointRecord b =
        makePoint({.route = 3, .routeName = "TOUR", .number = 2, .name = "B<2>", .lat = -33.5, .lon = -0.000000015});
    copyName(b.SymbolName, "Mein Symbol");  // a name Garmin's table does not know
    PointRecord c =
        makePoint({.route = 4, .number = 7, .name = "NORD", .lat = 89.99999999, .lon = 179.99999999, .newSegment = 1});
    setTable({a, b, makePoint({.lat = 95.0, .lon = 5.0}), c});
    std::string file = dir.file("own.gpx");
    ASSERT_EQ(writeGpxFile(file.c_str(), PointObjects, TransferKind::Waypoints), 1);
    PointRecord want[] = {a, b, c};
    ASSERT_EQ(readGpxFile(file.c_str(), TransferKind::Waypoints, numbers, names), 1) << readFile(file);
    ASSERT_EQ(pointTable.count, 3);
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        const PointRecord& r = pointTable.records[i];
        EXPECT_NEAR(r.Longitude, want[i].Longitude, 1e-9);
        EXPECT_NEAR(r.Latitude, want[i].Latitude, 1e-9);
        EXPECT_EQ(r.NumberOfRouteOrTrack, want[i].NumberOfRouteOrTrack);
        EXPECT_EQ(r.NumberOfPoint, want[i].NumberOfPoint);
        EXPECT_STREQ(r.NameOfRouteOrTrack, want[i].NameOfRouteOrTrack);
        EXPECT_EQ(r.Time, want[i].Time);
        EXPECT_EQ(r.Altitude, want[i].Altitude);
        EXPECT_EQ(r.NewSegment, want[i].NewSegment);
        EXPECT_EQ(r.HasSymbol, want[i].HasSymbol);
        EXPECT_EQ(r.Symbol, want[i].Symbol);
        EXPECT_EQ(r.Display2, want[i].Display2);
    }
    EXPECT_STREQ(pointTable.records[0].Comment, "12:30 A&B");
    EXPECT_STREQ(pointTable.records[1].NameOfPoint, "B<2>");
    EXPECT_STREQ(pointTable.records[1].SymbolName, "Mein Symbol");
    EXPECT_EQ(pointTable.records[1].HasSymbol, 0);
    EXPECT_TRUE(numbers);

    // Three tracks, the first of two segments; GPX keeps the one-point track.
    setTable({makePoint({.route = 1, .routeName = "A", .number = 1, .lat = 1, .lon = 1, .newSegment = 1}),
              makePoint({.lat = 1.1, .lon = 1.1}), makePoint({.lat = 1.2, .lon = 1.2, .newSegment = 1}),
              makePoint({.lat = 1.3, .lon = 1.3}),
              makePoint({.route = 2, .number = 1, .lat = 9, .lon = 9, .newSegment = 1}),
              makePoint({.route = 3, .routeName = "B", .number = 1, .lat = 2, .lon = 2, .newSegment = 1}),
              makePoint({.lat = 2.1, .lon = 2.1})});
    for (int i = 1; i < 4; i++) pointTable.records[i].NumberOfRouteOrTrack = 1;
    pointTable.records[6].NumberOfRouteOrTrack = 3;
    countLinePoints(LineObjects);
    ASSERT_EQ(writeGpxFile(file.c_str(), LineObjects, TransferKind::Tracks), 1);
    std::string gpx = readFile(file);
    ASSERT_EQ(readGpxFile(file.c_str(), TransferKind::Tracks, numbers, names), 1) << gpx;
    ASSERT_EQ(pointTable.count, 7) << gpx;
    const int track[] = {1, 1, 1, 1, 2, 3, 3};
    const int newSegment[] = {1, 0, 1, 0, 1, 1, 0};
    for (int i = 0; i < 7; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pointTable.records[i].NumberOfRouteOrTrack, track[i]);
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, i < 4 ? i + 1 : i < 6 ? 1 : 2);
        EXPECT_EQ(pointTable.records[i].NewSegment, newSegment[i]);
    }
    EXPECT_STREQ(pointTable.records[3].NameOfRouteOrTrack, "A");
    EXPECT_STREQ(pointTable.records[6].NameOfRouteOrTrack, "B");
    EXPECT_DOUBLE_EQ(pointTable.records[3].Longitude, 1.3);

    // The same lines as routes: every line is a route of its own.
    setTable({makePoint({.lat = 1, .lon = 1, .newSegment = 1}), makePoint({.lat = 1.1, .lon = 1.1}),
              makePoint({.lat = 1.2, .lon = 1.2, .newSegment = 1}), makePoint({.lat = 1.3, .lon = 1.3})});
    countLinePoints(LineObjects);
    ASSERT_EQ(writeGpxFile(file.c_str(), LineObjects, TransferKind::Waypoints), 1);
    gpx = readFile(file);
    EXPECT_EQ(gpx.find("<trk"), std::string::npos);
    ui.queueInitials("AA");
    ASSERT_EQ(readGpxFile(file.c_str(), TransferKind::Waypoints, numbers, names), 1) << gpx;
    ASSERT_EQ(pointTable.count, 4);
    EXPECT_EQ(pointTable.records[2].NewSegment, 1);
    EXPECT_STREQ(pointTable.records[2].NameOfPoint, "AB0001");
}

// A point outside the globe, or without a position, is left out of the
// objects the transfer takes, and counted once; a segment keeps its start.
TEST_F(GpxTest, PointsWithoutValidPositionAreLeftOutAndCounted) {
    const std::string file =
        "<gpx>\n<wpt lat=\"90.5\" lon=\"2\"/><wpt lat=\"-90\" lon=\"180\"/><wpt lat=\"1\" lon=\"-180.0001\"/>\n"
        "<trk><trkseg><trkpt lat=\"1\"/><trkpt lat=\"1\" lon=\"7,5\"/><trkpt lat=\"2\" lon=\"190\"/>"
        "<trkpt lat=\"50\" lon=\"8\"/><trkpt lat=\"51\" lon=\"-180\"/></trkseg>"
        "<trkseg><trkpt lat=\"52\" lon=\"9\"/><trkpt lat=\"nan\" lon=\"9\"/></trkseg></trk>\n</gpx>\n";
    ASSERT_EQ(read(file, 6), 1);
    // Only the track counts for a track upload: 4 of its 7 points are invalid.
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"3 Punkte aus Wegpunkten der GPX-Datei werden ausgelassen "
                                                       "\n(gelesen werden hier nur Tracks).",
                                                       positionsLeftOut(4)}));
    EXPECT_EQ(ui.events().back().title, "Wegmate-WARNUNG");
    ASSERT_EQ(pointTable.count, 3);
    const PointRecord* r = pointTable.records;
    EXPECT_DOUBLE_EQ(r[0].Longitude, 8.0);
    EXPECT_EQ(r[0].NewSegment, 1);
    EXPECT_DOUBLE_EQ(r[1].Longitude, -180.0);
    EXPECT_EQ(r[1].NewSegment, 0);
    EXPECT_DOUBLE_EQ(r[2].Longitude, 9.0);
    EXPECT_EQ(r[2].NewSegment, 1);

    ui.clearEvents();
    ASSERT_EQ(read(file, 7), 1);
    EXPECT_EQ(ui.boxTexts().back(), positionsLeftOut(2));
    ASSERT_EQ(pointTable.count, 1);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Latitude, -90.0);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);
}

// A number has one sign at most: "+-48" is no latitude and "+-5" no
// elevation, as in every other reader.
TEST_F(GpxTest, MalformedNumbersAreNotTaken) {
    ASSERT_EQ(read("<gpx><wpt lat=\"+-48\" lon=\"8\"/><wpt lat=\" +48.5\" lon=\"8e0\"><ele>+-5</ele></wpt>"
                   "<wpt lat=\"48\" lon=\"9\"><ele> +5 </ele></wpt></gpx>",
                   7),
              1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{positionsLeftOut(1)});
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_DOUBLE_EQ(pointTable.records[0].Latitude, 48.5);
    EXPECT_EQ(pointTable.records[0].Altitude, kNoAltitude);
    EXPECT_EQ(pointTable.records[1].Altitude, 5.0f);
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 1);
}

// The years 1990 to 2050 are those of the UTC date: a local time that
// lies in them by its offset only is refused, never moved.
TEST_F(GpxTest, TimeRangeHoldsForTheUtcDate) {
    const char* const times[] = {"2050-12-31T23:30:00-01:00", "2051-01-01T00:30:00+01:00", "2050-12-31T23:59:59Z",
                                 "1990-01-01T00:30:00+01:00", "1989-12-31T23:30:00-01:00", "1990-01-01T00:00:00Z"};
    std::string file = "<gpx>";
    for (const char* time : times) file += std::string("<wpt lat=\"1\" lon=\"1\"><time>") + time + "</time></wpt>";
    ASSERT_EQ(read(file + "</gpx>", 7), 1);
    ASSERT_EQ(pointTable.count, 6);
    const int32_t expected[] = {0, parseTime("2050-12-31 23:30:00"), parseTime("2050-12-31 23:59:59"), 0,
                                parseTime("1990-01-01 00:30:00"), parseTime("1990-01-01 00:00:00")};
    for (int i = 0; i < 6; i++) EXPECT_EQ(pointTable.records[i].Time, expected[i]) << times[i];
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 2);
}

TEST_F(GpxTest, RefusedFilesAreNamed) {
    auto tooLarge = [](int line) {
        return "GPX-Datei enthält einen Namen, einen Text, ein Attribut oder einen \nKommentar von mehr als 1 MB und "
               "wird nicht gelesen (Zeile " +
               std::to_string(line) + ").";
    };
    struct Case {
        const char* name;
        std::string content;
        std::string message;
    };
    std::string many = "<gpx>";
    for (int i = 0; i <= kMaxPoints; i++) many += "<wpt lat=\"1\" lon=\"1\"/>";
    many += "</gpx>";
    const Case cases[] = {
        {"MIF file", "Version 300\r\nCharset \"WindowsLatin1\"\r\n", "Keine gültige GPX-Datei!"},
        {"empty file", "", "Keine gültige GPX-Datei!"},
        {"other root", "<?xml version=\"1.0\"?><kml><wpt lat=\"1\" lon=\"1\"/></kml>", "Keine gültige GPX-Datei!"},
        {"foreign namespace", "<gpx xmlns=\"http://example.org/x\"/>", "Keine gültige GPX-Datei!"},
        {"cut off", "<gpx>\n<wpt lat=\"1\" lon=\"2\">\n<name>A</name>\n",
         "GPX-Datei fehlerhaft: kein wohlgeformtes XML (Zeile 4)."},
        {"unclosed tag", "<gpx>\n<wpt lat=\"1\" lon=\"2\"></trkpt></gpx>",
         "GPX-Datei fehlerhaft: kein wohlgeformtes XML (Zeile 2)."},
        {"entity expansion",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n<!ENTITY a \"aaaaaaaaaa\">\n<!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;\">\n]>\n"
         "<gpx><wpt lat=\"1\" lon=\"2\"><name>&b;</name></wpt></gpx>",
         "GPX-Datei enthält Entity-Deklarationen und wird nicht gelesen."},
        {"external entity",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ENTITY x SYSTEM \"/etc/passwd\">]>\n"
         "<gpx><wpt lat=\"1\" lon=\"2\"><name>&x;</name></wpt></gpx>",
         "GPX-Datei enthält Entity-Deklarationen und wird nicht gelesen."},
        {"no valid position", "<gpx><wpt lat=\"1\" lon=\"7,5\"/><wpt lat=\"90.5\" lon=\"2\"/></gpx>", kNoValidPosition},
        {"no object", "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\"><metadata/><rte/></gpx>",
         "GPX-Datei enthält keine Wegpunkte, Routen oder Tracks."},
        {"too many points", many, "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten."},
        // A single attribute or text beyond 1 MB, even in an element that is
        // not read, and a token so long that the parser's memory ends.
        {"long attribute", "<gpx>\n<wpt lat=\"1\" lon=\"2\" x=\"" + std::string((1 << 20) + 1, 'a') + "\"/></gpx>",
         tooLarge(2)},
        {"long text",
         "<gpx>\n<wpt lat=\"1\" lon=\"2\"><desc>" + std::string(1 << 19, 'a') + "&amp;" + std::string(1 << 19, 'a') +
             "</desc></wpt></gpx>",
         tooLarge(2)},
        {"huge comment", "<gpx>\n<wpt lat=\"1\" lon=\"2\"/><!--" + std::string(40 << 20, 'a') + "--></gpx>",
         tooLarge(2)},
        // Nesting deep enough to exhaust the parser's memory is named as such.
        {"deep nesting",
         [] {
             std::string deep = "<gpx>\n";
             for (int i = 0; i < 500000; i++) deep += "<a>";
             return deep;
         }(),
         "GPX-Datei ist tiefer als 1000 Ebenen verschachtelt und wird nicht gelesen (Zeile 2)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clearEvents();
        EXPECT_EQ(read(c.content, 7), 0);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{c.message});
    }
    // 1 MB itself is read.
    ui.clearEvents();
    EXPECT_EQ(read("<gpx><wpt lat=\"1\" lon=\"2\" x=\"" + std::string(1 << 20, 'a') + "\"><desc>" +
                       std::string(1 << 20, 'a') + "</desc><name>" + std::string(1 << 20, 'b') + "</name></wpt></gpx>",
                   7),
              1);
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_EQ(std::string(pointTable.records[0].NameOfPoint), std::string(50, 'b'));
    ui.clearEvents();
    EXPECT_EQ(readGpxFile(dir.file("missing.gpx").c_str(), TransferKind::Waypoints, numbers, names), 0);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Fehler beim Öffnen der GPX-Eingabedatei."});
}

}  // namespace

namespace {

// Waypoints and track points that together exceed the table: each transfer
// keeps one kind, and only that kind counts against the capacity.
TEST_F(GpxTest, CapacityCountsOnlyThePointsTheTransferKeeps) {
    for (int order = 0; order < 2; order++) {
        SCOPED_TRACE(order);
        std::string waypoints, track = " <trk><trkseg>\n";
        for (int i = 0; i < 12027; i++) waypoints += " <wpt lat=\"50.5\" lon=\"7.25\"><name>W</name></wpt>\n";
        for (int i = 0; i < 14263; i++) track += "  <trkpt lat=\"10\" lon=\"20\"/>\n";
        track += " </trkseg></trk>\n";
        const std::string body = order == 0 ? waypoints + track : track + waypoints;
        const std::string file =
            "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"x\" "
            "xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
            body + "</gpx>\n";
        ASSERT_EQ(read(file, 6), 1) << (ui.boxTexts().empty() ? "" : ui.boxTexts()[0]);
        EXPECT_EQ(pointTable.count, 14263);
        EXPECT_DOUBLE_EQ(pointTable.records[0].Latitude, 10.0);
        EXPECT_EQ(pointTable.records[0].NewSegment, 1);
        EXPECT_EQ(pointTable.records[14262].NumberOfPoint, 14263);
        if (order == 1) ui.queueInitials("AA");  // track points come before the waypoints
        ASSERT_EQ(read(file, 7), 1) << (ui.boxTexts().empty() ? "" : ui.boxTexts()[0]);
        EXPECT_EQ(pointTable.count, 12027);
        EXPECT_STREQ(pointTable.records[12026].NameOfPoint, "W");
        EXPECT_TRUE(contains(ui.boxTexts().back(), "14263 Punkte aus Tracks der GPX-Datei")) << ui.boxTexts().back();
    }
    // What the transfer keeps must still fit.
    std::string over =
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"x\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (int i = 0; i <= kMaxPoints; i++) over += " <wpt lat=\"50.5\" lon=\"7.25\"/>\n";
    EXPECT_EQ(read(over + "</gpx>\n", 7), 0);
    EXPECT_EQ(ui.boxTexts().back(), "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.");
}

// Every number is an xsd:decimal (no exponent), and a track segment of one
// point stays one; gpsbabel, an independent reader, sees the same.
TEST_F(GpxTest, WriterNumbersAreDecimalsAndOnePointSegmentsStay) {
    PointRecord a =
        makePoint({.route = 1, .routeName = "T", .number = 1, .name = "A", .lat = 50.2, .lon = 8.2, .newSegment = 1});
    a.Altitude = 5e-6f;
    PointRecord b =
        makePoint({.route = 2, .routeName = "U", .number = 1, .name = "B", .lat = 50.3, .lon = 8.3, .newSegment = 1});
    b.Altitude = -1.25e-7f;
    PointRecord c = makePoint({.route = 2, .routeName = "U", .number = 2, .name = "C", .lat = 50.4, .lon = 8.4});
    c.Altitude = 19999.5f;
    setTable({a, b, c});
    countLinePoints(LineObjects);
    const std::string file = dir.file("out.gpx");
    ASSERT_EQ(writeGpxFile(file.c_str(), LineObjects, TransferKind::Tracks), 1);
    const std::string text = readFile(file);
    EXPECT_NE(text.find("<ele>0.000005</ele>"), std::string::npos) << text;
    EXPECT_NE(text.find("<ele>-0.000000125</ele>"), std::string::npos) << text;
    EXPECT_NE(text.find("<ele>19999.5</ele>"), std::string::npos) << text;
    EXPECT_EQ(text.find("e-"), std::string::npos) << text;
    size_t segments = 0;
    for (size_t at = text.find("<trkseg>"); at != std::string::npos; at = text.find("<trkseg>", at + 1)) segments++;
    EXPECT_EQ(segments, 2u) << text;
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    std::string out;
    ASSERT_TRUE(runShell("gpsbabel -t -i gpx -f " + file + " -o unicsv,fields=lat+lon+ele -F -", out)) << out;
    EXPECT_NE(out.find("1,50.200000,8.200000,\"A\",0.0"), std::string::npos) << out;
    EXPECT_NE(out.find("2,50.300000,8.300000,\"B\""), std::string::npos) << out;
}

}  // namespace

// Values that their fields cannot hold stay absent and are counted, only for
// the points the reading keeps: the track point read before the waypoints
// is dropped with its values.
TEST_F(GpxTest, ValuesWithoutRoomStayAbsentAndAreCounted) {
    const char file[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"x\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:w=\"urn:x-wegmate:gpx:1\">\n"
        " <trk><trkseg><trkpt lat=\"5\" lon=\"5\"><ele>99999</ele></trkpt></trkseg></trk>\n"
        " <wpt lat=\"1\" lon=\"1\"><ele>20000</ele><time>2026-02-30T10:00:00Z</time>"
        "<extensions><w:point symbol=\"70000\" display1=\"1\" display2=\"2\"/></extensions></wpt>\n"
        " <wpt lat=\"2\" lon=\"2\"><ele>5e-06</ele><time>2026-02-28T23:59:60Z</time>"
        "<extensions><w:point symbol=\"7\" display1=\"300\" display2=\"-1\"/></extensions></wpt>\n"
        " <wpt lat=\"3\" lon=\"3\"><ele>-499.5</ele><time>2050-12-31T23:59:59Z</time>"
        "<extensions><w:point symbol=\"65535\" display1=\"255\" display2=\"0\"/></extensions></wpt>\n"
        " <wpt lat=\"4\" lon=\"4\"><ele>1e39</ele><time>2051-01-01T00:00:00Z</time></wpt>\n"
        "</gpx>\n";
    ui.queueInitials("AA");
    ASSERT_EQ(read(file, 7), 1);
    ASSERT_EQ(pointTable.count, 4);
    const PointRecord* r = pointTable.records;
    // 20000, 30 February, 70000 and with it both display values.
    EXPECT_EQ(r[0].Altitude, kNoAltitude);
    EXPECT_EQ(r[0].Time, 0);
    EXPECT_EQ(r[0].HasSymbol, 0);
    // 23:59:60 and the display values 300 and -1; the tiny elevation is one.
    EXPECT_FLOAT_EQ(r[1].Altitude, 5e-06f);
    EXPECT_EQ(r[1].Time, 0);
    EXPECT_EQ(r[1].HasSymbol, 1);
    EXPECT_EQ(r[1].Symbol, 7);
    EXPECT_EQ(r[1].Display1, 0);
    EXPECT_EQ(r[1].Display2, 0);
    // The edges of every range are taken.
    EXPECT_FLOAT_EQ(r[2].Altitude, -499.5f);
    EXPECT_EQ(r[2].Time, parseTime("2050-12-31 23:59:59"));
    EXPECT_EQ(r[2].Symbol, 65535);
    EXPECT_EQ(r[2].Display1, 255);
    // An elevation beyond float and a year beyond 2050.
    EXPECT_EQ(r[3].Altitude, kNoAltitude);
    EXPECT_EQ(r[3].Time, 0);
    EXPECT_EQ(pointTable.fieldsLeftEmpty, 5 + 3 + 2);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"1 Punkt aus Tracks der GPX-Datei wird ausgelassen \n(gelesen "
                                                      "werden hier nur Wegpunkte und Routen)."});
}
