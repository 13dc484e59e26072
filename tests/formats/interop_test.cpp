// Our files against independent tools: GDAL's MapInfo and GPX drivers
// (ogrinfo, ogr2ogr) and gpsbabel's TOP50 overlay and GPX formats. A test is skipped, with its
// reason shown, only when the tool is not installed.

#include <cmath>
#include <map>
#include <regex>

#include "platform/text_encoding.h"
#include "format_test_util.h"
#include "formats/gpx.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "model/helpers.h"
#include "tests/support/scripted_platform.h"
#include "model/times.h"

namespace {

struct Feature {
    std::map<std::string, std::string> fields;
    std::string geometry;  // "POINT" or "LINESTRING"
    std::vector<std::pair<double, double>> coordinates;
};

// The features of "ogrinfo -al -q" output.
std::vector<Feature> parseOgrinfo(const std::string& output) {
    std::vector<Feature> features;
    std::istringstream in(output);
    std::string line;
    const std::regex field("^  ([A-Za-z0-9_]+) \\([A-Za-z0-9]+\\) = (.*)$");
    const std::regex geometry("^  (POINT|LINESTRING) \\((.*)\\)$");
    while (std::getline(in, line)) {
        std::smatch m;
        if (line.rfind("OGRFeature(", 0) == 0) {
            features.emplace_back();
        } else if (!features.empty() && std::regex_match(line, m, field)) {
            features.back().fields[m[1]] = m[2];
        } else if (!features.empty() && std::regex_match(line, m, geometry)) {
            features.back().geometry = m[1];
            std::string list = m[2];
            std::replace(list.begin(), list.end(), ',', ' ');
            std::istringstream numbers(list);
            double x, y;
            while (numbers >> x >> y) features.back().coordinates.push_back({x, y});
        }
    }
    return features;
}

// lat/lon pairs of a GPX file, in file order.
std::vector<std::pair<double, double>> gpxPositions(const std::string& gpx) {
    std::vector<std::pair<double, double>> positions;
    const std::regex point("<(wpt|trkpt|rtept) lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\"");
    for (std::sregex_iterator it(gpx.begin(), gpx.end(), point), end; it != end; ++it)
        positions.push_back({std::stod((*it)[3]), std::stod((*it)[2])});  // lon, lat
    return positions;
}

class InteropTest : public FormatTest {
  protected:
    ScriptedPlatform ui;

    // Three points with every attribute the writer knows, in two routes.
    void fillPoints() {
        PointRecord a = makePoint({.route = 1,
                                   .routeName = "TOUR",
                                   .number = 1,
                                   .name = "KIRCHE",
                                   .comment = "Br\xFC"
                                              "cke",
                                   .lat = 50.987654321,
                                   .lon = 7.123456789,
                                   .newSegment = 1});
        a.Time = 86400 * 9000 + 3723;
        a.Altitude = 451.6f;
        a.HasSymbol = 1;
        a.Symbol = 8213;
        a.Display1 = 1;
        a.Display2 = 2;
        PointRecord b = makePoint({.route = 1,
                                   .routeName = "TOUR",
                                   .number = 2,
                                   .name = "P,2",
                                   .comment = "a \"b\"",
                                   .lat = -33.5,
                                   .lon = -0.000000015});
        PointRecord c = makePoint(
            {.route = 2, .number = 1, .name = "NORD", .lat = 89.99999999, .lon = 179.99999999, .newSegment = 1});
        setTable({a, b, makePoint({.lat = 95.0, .lon = 5.0}), c});
    }

    void fillLines() {
        PointRecord a = makePoint({.route = 1,
                                   .routeName = "WEG EINS",
                                   .number = 1,
                                   .comment = "Start",
                                   .lat = 50.25,
                                   .lon = 7.5,
                                   .newSegment = 1});
        a.Time = 86400 * 9000;
        a.HasSymbol = 1;
        a.Display1 = 4;
        a.Display2 = 9;
        setTable(
            {a, makePoint({.lat = 50.26, .lon = 7.51234567}), makePoint({.lat = 50.27, .lon = 7.52}),
             makePoint({.lat = 1.0, .lon = 1.0, .newSegment = 1}),
             makePoint({.route = 2, .routeName = "ZWEI", .number = 1, .lat = -40.125, .lon = -8.25, .newSegment = 1}),
             makePoint({.lat = -40.2, .lon = -8.3})});
        countLinePoints(LineObjects);
    }
};

void expectNear(const std::vector<std::pair<double, double>>& got, const std::vector<std::pair<double, double>>& want,
                double tolerance) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_NEAR(got[i].first, want[i].first, tolerance) << "longitude " << i;
        EXPECT_NEAR(got[i].second, want[i].second, tolerance) << "latitude " << i;
    }
}

TEST_F(InteropTest, OgrinfoReadsOurPointPairs) {
    if (!toolInstalled("ogrinfo")) GTEST_SKIP() << "ogrinfo not installed";
    fillPoints();
    // In either case of the name the pair is found as one.
    std::string output;
    for (const char* name : {"POINTS.MIF", "points.mif"}) {
        std::string mif = dir.file(name);
        ASSERT_EQ(writeMifFile(mif.c_str(), PointObjects), 1);
        ASSERT_TRUE(runShell("ogrinfo -al -q '" + mif + "'", output)) << output;
        ASSERT_EQ(parseOgrinfo(output).size(), 3u) << output;
    }
    std::vector<Feature> features = parseOgrinfo(output);
    for (const Feature& f : features) EXPECT_EQ(f.geometry, "POINT");
    expectNear({features[0].coordinates[0], features[1].coordinates[0], features[2].coordinates[0]},
               {{7.123456789, 50.987654321}, {-0.000000015, -33.5}, {179.99999999, 89.99999999}}, 1e-8);

    std::map<std::string, std::string> first = {{"NumberOfRouteOrTrack", "1"},
                                                {"NameOfRouteOrTrack", "TOUR"},
                                                {"NumberOfPoint", "1"},
                                                {"NameOfPoint", "KIRCHE"},
                                                {"Time", "2014-08-22 01:02:03"},
                                                {"Altitude", "452"},
                                                {"Comment", cp1252ToUtf8("Br\xFC"
                                                                         "cke")},
                                                {"NewSegment", "1"},
                                                {"Symbol", "8213"},
                                                {"Display1", "1"},
                                                {"Display2", "2"}};
    EXPECT_EQ(features[0].fields, first);
    std::map<std::string, std::string> second = {{"NumberOfRouteOrTrack", "1"},
                                                 {"NameOfRouteOrTrack", "TOUR"},
                                                 {"NumberOfPoint", "2"},
                                                 {"NameOfPoint", "P,2"},
                                                 {"Time", ""},
                                                 {"Altitude", ""},
                                                 {"Comment", "a \"b\""},
                                                 {"NewSegment", "0"},
                                                 {"Symbol", ""},
                                                 {"Display1", ""},
                                                 {"Display2", ""}};
    EXPECT_EQ(features[1].fields, second);
    EXPECT_EQ(features[2].fields["NumberOfRouteOrTrack"], "2");
    EXPECT_EQ(features[2].fields["NewSegment"], "1");
}

TEST_F(InteropTest, OgrinfoReadsOurPolylinePairs) {
    if (!toolInstalled("ogrinfo")) GTEST_SKIP() << "ogrinfo not installed";
    fillLines();
    std::string mif = dir.file("LINES.MIF");
    ASSERT_EQ(writeMifFile(mif.c_str(), LineObjects), 1);
    std::string output;
    ASSERT_TRUE(runShell("ogrinfo -al -q '" + mif + "'", output)) << output;
    std::vector<Feature> features = parseOgrinfo(output);
    ASSERT_EQ(features.size(), 2u) << output;
    EXPECT_EQ(features[0].geometry, "LINESTRING");
    EXPECT_EQ(features[1].geometry, "LINESTRING");
    expectNear(features[0].coordinates, {{7.5, 50.25}, {7.51234567, 50.26}, {7.52, 50.27}}, 1e-8);
    expectNear(features[1].coordinates, {{-8.25, -40.125}, {-8.3, -40.2}}, 1e-8);
    std::map<std::string, std::string> first = {{"NumberOfRouteOrTrack", "1"},
                                                {"NameOfRouteOrTrack", "WEG EINS"},
                                                {"NumberOfPoint", "0"},
                                                {"NameOfPoint", ""},
                                                {"Time", "2014-08-22 00:00:00"},
                                                {"Altitude", ""},
                                                {"Comment", "Start"},
                                                {"NewSegment", ""},
                                                {"Symbol", ""},
                                                {"Display1", "4"},
                                                {"Display2", "9"}};
    EXPECT_EQ(features[0].fields, first);
    EXPECT_EQ(features[1].fields["NameOfRouteOrTrack"], "ZWEI");
    EXPECT_EQ(features[1].fields["Display1"], "");
}

TEST_F(InteropTest, PairWrittenByOgr2ogrIsRead) {
    if (!toolInstalled("ogr2ogr")) GTEST_SKIP() << "ogr2ogr not installed";
    const char geojson[] =
        "{\"type\":\"FeatureCollection\",\"features\":["
        "{\"type\":\"Feature\",\"properties\":{\"NumberOfRouteOrTrack\":3,\"NameOfRouteOrTrack\":\"Tour\","
        "\"NumberOfPoint\":7,\"NameOfPoint\":\"Kirche\",\"Time\":\"2001-02-03 04:05:06\",\"Altitude\":\"123\","
        "\"Comment\":\"am Bach, 12:30\",\"NewSegment\":\"1\",\"Symbol\":\"18\",\"Display1\":\"1\",\"Display2\":\"2\"},"
        "\"geometry\":{\"type\":\"Point\",\"coordinates\":[7.12345678,50.87654321]}},"
        "{\"type\":\"Feature\",\"properties\":{\"NumberOfRouteOrTrack\":3,\"NameOfRouteOrTrack\":\"Tour\","
        "\"NumberOfPoint\":8,\"NameOfPoint\":\"\",\"Time\":\"\",\"Altitude\":\"\",\"Comment\":\"\","
        "\"NewSegment\":\"0\",\"Symbol\":\"\",\"Display1\":\"\",\"Display2\":\"\"},"
        "\"geometry\":{\"type\":\"Point\",\"coordinates\":[-7.5,-50.25]}},"
        "{\"type\":\"Feature\",\"properties\":{\"NumberOfRouteOrTrack\":4,\"NameOfRouteOrTrack\":\"Weg\","
        "\"NumberOfPoint\":0,\"NameOfPoint\":\"\",\"Time\":\"\",\"Altitude\":\"\",\"Comment\":\"Linie\","
        "\"NewSegment\":\"\",\"Symbol\":\"\",\"Display1\":\"5\",\"Display2\":\"6\"},"
        "\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[8.5,51.25],[8.75,51.5],[9.0,51.75]]}}]}";
    std::string source = dir.file("in.geojson");
    writeFile(source, geojson);
    std::string mif = dir.file("gdal.mif");
    std::string output;
    ASSERT_TRUE(runShell("ogr2ogr -f 'MapInfo File' -dsco FORMAT=MIF '" + mif + "' '" + source + "'", output))
        << output;
    bool numbers = false, names = false;
    ui.queueInitials("GD");
    ASSERT_EQ(readMifFile(mif.c_str(), TransferKind::Waypoints, numbers, names), 1) << readFile(mif);
    EXPECT_TRUE(ui.boxTexts().empty());
    ASSERT_EQ(pointTable.count, 5);
    const PointRecord* r = pointTable.records;
    EXPECT_NEAR(r[0].Longitude, 7.12345678, 1e-8);
    EXPECT_NEAR(r[0].Latitude, 50.87654321, 1e-8);
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 3);
    EXPECT_EQ(r[0].NumberOfPoint, 7);
    EXPECT_STREQ(r[0].NameOfRouteOrTrack, "Tour");
    EXPECT_STREQ(r[0].NameOfPoint, "Kirche");
    EXPECT_EQ(r[0].Time, parseTime("2001-02-03 04:05:06"));
    EXPECT_EQ(r[0].Altitude, 123.0f);
    EXPECT_STREQ(r[0].Comment, "am Bach, 12:30");
    EXPECT_EQ(r[0].NewSegment, 1);
    EXPECT_EQ(r[0].HasSymbol, 1);
    EXPECT_EQ(r[0].Symbol, 18);
    EXPECT_EQ(r[0].Display1, 1);
    EXPECT_EQ(r[0].Display2, 2);
    EXPECT_EQ(r[1].NumberOfPoint, 8);
    EXPECT_EQ(r[1].NewSegment, 0);
    EXPECT_EQ(r[1].Altitude, kNoAltitude);
    EXPECT_EQ(r[1].HasSymbol, 0);
    EXPECT_DOUBLE_EQ(r[1].Longitude, -7.5);
    for (int i = 2; i < 5; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, 4);
        EXPECT_EQ(r[i].NumberOfPoint, i - 1);
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, "Weg");
        EXPECT_STREQ(r[i].Comment, "Linie");
        EXPECT_EQ(r[i].NameOfPoint, "GD000" + std::to_string(i - 1));
        EXPECT_EQ(r[i].HasSymbol, 1);
        EXPECT_EQ(r[i].Display1, 5);
        EXPECT_EQ(r[i].Display2, 6);
    }
    EXPECT_EQ(r[2].NewSegment, 1);
    EXPECT_DOUBLE_EQ(r[4].Longitude, 9.0);
    EXPECT_DOUBLE_EQ(r[4].Latitude, 51.75);
    EXPECT_TRUE(numbers);
    EXPECT_TRUE(names);
}

// GDAL writes a text field as long as its value: rows of any length up to
// the line bound are read.
TEST_F(InteropTest, LongRowsWrittenByOgr2ogrAreRead) {
    if (!toolInstalled("ogr2ogr")) GTEST_SKIP() << "ogr2ogr not installed";
    const std::string comment(400, 'k');
    std::string source = dir.file("long.geojson");
    writeFile(source,
              "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"properties\":{"
              "\"Comment\":\"" + comment + "\",\"NameOfPoint\":\"Kirche\",\"Altitude\":\"321\"},"
              "\"geometry\":{\"type\":\"Point\",\"coordinates\":[7.5,50.25]}}]}");
    std::string mif = dir.file("long.mif");
    std::string output;
    ASSERT_TRUE(runShell("ogr2ogr -f 'MapInfo File' -dsco FORMAT=MIF '" + mif + "' '" + source + "'", output))
        << output;
    ASSERT_TRUE(contains(readFile(midFileName(mif)), comment));
    bool numbers = false, names = false;
    ASSERT_EQ(readMifFile(mif.c_str(), TransferKind::Waypoints, numbers, names), 1) << ui.boxTexts().front();
    ASSERT_EQ(pointTable.count, 1);
    EXPECT_STREQ(pointTable.records[0].NameOfPoint, "Kirche");
    EXPECT_EQ(pointTable.records[0].Altitude, 321.0f);
}

// The MID text is read in the set that the MIF head names: GDAL writes the
// UTF-8 of its source as "Neutral" and converts to the set it is asked for.
// The table holds Windows-1252: the euro sign is 0x88 in WindowsCyrillic and
// 0x80 in the table, Cyrillic letters become '?'.
TEST_F(InteropTest, CharsetOfOgr2ogrPairsIsRead) {
    if (!toolInstalled("ogr2ogr")) GTEST_SKIP() << "ogr2ogr not installed";
    std::string source = dir.file("charset.geojson");
    writeFile(source,
              "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"properties\":{"
              "\"NameOfPoint\":\"Z\u00fcrich Stra\u00dfe \u20ac\",\"Comment\":\"\u041f\u0440\u0438 \u20ac\"},"
              "\"geometry\":{\"type\":\"Point\",\"coordinates\":[8.5,47.25]}}]}");
    struct Case {
        const char* option;
        const char* clause;
        const char* name;
    } cases[] = {{"", "Charset \"Neutral\"", "Z\xFCrich Stra\xDF" "e \x80"},
                 {"-lco ENCODING=CP1251", "Charset \"WindowsCyrillic\"", "Zrich Strae \x80"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clause);
        const std::string mif = dir.file(std::string("cs") + (c.option[0] ? "1251" : "neutral") + ".mif");
        std::string output;
        ASSERT_TRUE(runShell("ogr2ogr -f 'MapInfo File' -dsco FORMAT=MIF " + std::string(c.option) + " '" + mif +
                                 "' '" + source + "' 2>&1",
                             output))
            << output;
        ASSERT_TRUE(contains(readFile(mif), c.clause)) << readFile(mif);
        bool numbers = false, names = false;
        ASSERT_EQ(readMifFile(mif.c_str(), TransferKind::Waypoints, numbers, names), 1);
        ASSERT_EQ(pointTable.count, 1);
        EXPECT_EQ(asString(pointTable.records[0].NameOfPoint), c.name);
        EXPECT_EQ(asString(pointTable.records[0].Comment), "??? \x80");
    }
    // A set the reader does not know is named, not guessed.
    const std::string mif = dir.file("cs1251.mif");
    std::string text = readFile(mif);
    text.replace(text.find("WindowsCyrillic"), 15, "Klingon");
    writeFile(mif, text);
    ui.clearEvents();
    bool numbers = false, names = false;
    EXPECT_EQ(readMifFile(mif.c_str(), TransferKind::Waypoints, numbers, names), 0);
    EXPECT_EQ(ui.boxTexts(),
              std::vector<std::string>{"MIF-Datei mit dem Zeichensatz \"Klingon\", den Wegmate nicht kennt, \nwird "
                                       "nicht gelesen."});
}

// The MID rows are split at the delimiter of the MIF head, a tab without a
// Delimiter clause, and a tab or blank delimiter keeps an empty first or
// last field: as GDAL reads them.
TEST_F(InteropTest, MidFieldsAsOgrinfoSplitsThem) {
    if (!toolInstalled("ogrinfo")) GTEST_SKIP() << "ogrinfo not installed";
    const std::string columns =
        "CoordSys Earth Projection 1, 104\nColumns 3\n  NameOfPoint Char(20)\n  Comment Char(20)\n"
        "  NumberOfPoint Smallint\nData\n\nPoint 7.5 50.5\nPoint 8 51\n";
    const struct {
        const char* delimiterLine;
        const char* rows;
    } pairs[] = {
        {"Delimiter \";\"\n", "\"HAUS\";\"KOM\";5\n\"A;B\";;6\n"},
        {"", "\"HAUS\"\t\"KOM\"\t5\n\"WEG\"\t\"\"\t6\n"},
        {"Delimiter \"\t\"\n", "\t\"KOM\"\t5\n\"HAUS\"\t\t6\t\n"},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.delimiterLine);
        const std::string mif = dir.file("delimiter.mif");
        writeFile(mif, std::string("Version 300\n") + pair.delimiterLine + columns);
        writeFile(dir.file("delimiter.mid"), pair.rows);
        std::string output;
        ASSERT_TRUE(runShell("ogrinfo -al -q '" + mif + "'", output)) << output;
        const std::vector<Feature> features = parseOgrinfo(output);
        bool numbers = false, names = false;
        ui.clearEvents();
        ASSERT_EQ(readMifFile(mif.c_str(), TransferKind::Tracks, numbers, names), 1);
        ASSERT_EQ(features.size(), 2u) << output;
        ASSERT_EQ(pointTable.count, 2);
        for (int i = 0; i < 2; i++) {
            SCOPED_TRACE(i);
            EXPECT_EQ(pointTable.records[i].NameOfPoint, features[i].fields.at("NameOfPoint"));
            EXPECT_EQ(pointTable.records[i].Comment, features[i].fields.at("Comment"));
            EXPECT_EQ(std::to_string(pointTable.records[i].NumberOfPoint), features[i].fields.at("NumberOfPoint"));
        }
    }
}

TEST_F(InteropTest, GpsbabelReadsOurAsciiOverlays) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    std::string file = dir.file("points.ovl");
    fillPoints();
    ASSERT_EQ(writeOvlAsciiFile(file.c_str(), PointObjects), 1);
    std::string gpx;
    ASSERT_TRUE(runShell("gpsbabel -i ggv_ovl -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    expectNear(gpxPositions(gpx), {{7.123456789, 50.987654321}, {-0.000000015, -33.5}, {179.99999999, 89.99999999}},
               1e-8);

    fillLines();
    ASSERT_EQ(writeOvlAsciiFile(file.c_str(), LineObjects), 1);
    ASSERT_TRUE(runShell("gpsbabel -i ggv_ovl -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    expectNear(gpxPositions(gpx), {{7.5, 50.25}, {7.51234567, 50.26}, {7.52, 50.27}, {-8.25, -40.125}, {-8.3, -40.2}},
               1e-8);
}

TEST_F(InteropTest, AsciiOverlayWrittenByGpsbabelIsRead) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    const char gpxText[] =
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "<wpt lat=\"50.1\" lon=\"7.5\"><name>A</name></wpt>\n"
        "<trk><name>T</name><trkseg><trkpt lat=\"50.0\" lon=\"7.0\"/><trkpt lat=\"50.01\" lon=\"7.01\"/>"
        "<trkpt lat=\"50.02\" lon=\"7.02\"/></trkseg></trk>\n"
        "<trk><name>U</name><trkseg><trkpt lat=\"-10.5\" lon=\"-20.25\"/><trkpt lat=\"-10.75\" lon=\"-20.5\"/>"
        "</trkseg></trk>\n</gpx>\n";
    std::string gpx = dir.file("in.gpx");
    std::string ovl = dir.file("babel.ovl");
    writeFile(gpx, gpxText);
    std::string output;
    ASSERT_TRUE(runShell("gpsbabel -i gpx -f '" + gpx + "' -o ggv_ovl -F '" + ovl + "'", output)) << output;
    int separate = 0;
    ui.queueYesNo(true);
    ASSERT_EQ(readOvlAsciiFile(ovl.c_str(), TransferKind::Tracks, separate, true), 1) << readFile(ovl);
    EXPECT_TRUE(ui.boxTexts().empty());
    ASSERT_EQ(pointTable.count, 6);
    // gpsbabel puts the tracks first, then the waypoints.
    std::vector<std::pair<double, double>> positions;
    for (int i = 0; i < pointTable.count; i++)
        positions.push_back({pointTable.records[i].Longitude, pointTable.records[i].Latitude});
    expectNear(positions, {{7.0, 50.0}, {7.01, 50.01}, {7.02, 50.02}, {-20.25, -10.5}, {-20.5, -10.75}, {7.5, 50.1}},
               1e-8);
    EXPECT_EQ(separate, 1);
    EXPECT_EQ(pointTable.records[0].NumberOfRouteOrTrack, 1);
    EXPECT_EQ(pointTable.records[3].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(pointTable.records[3].NewSegment, 1);
    EXPECT_STREQ(pointTable.records[4].NameOfRouteOrTrack, "TRK02");
}

TEST_F(InteropTest, GpsbabelReadsTheLinesOfOurBinaryOverlays) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    fillLines();
    std::string file = dir.file("lines.ovl");
    ASSERT_EQ(writeOvlBinaryFile(file.c_str(), LineObjects), 1);
    std::string gpx;
    ASSERT_TRUE(runShell("gpsbabel -i ggv_bin -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    // Our doubles go over unchanged; GPX prints nine decimals.
    expectNear(gpxPositions(gpx), {{7.5, 50.25}, {7.51234567, 50.26}, {7.52, 50.27}, {-8.25, -40.125}, {-8.3, -40.2}},
               1e-8);
    EXPECT_NE(gpx.find("WEG EINS"), std::string::npos) << gpx;  // the object text as the line name
}

// The features of one layer of a GPX file, as ogrinfo sees them.
std::vector<Feature> ogrLayer(const std::string& file, const std::string& layer) {
    std::string output;
    EXPECT_TRUE(runShell("ogrinfo -q '" + file + "' " + layer, output)) << output;
    return parseOgrinfo(output);
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

TEST_F(InteropTest, OgrinfoAndGpsbabelReadOurGpxTracksAndRoutes) {
    if (!toolInstalled("ogrinfo") || !toolInstalled("gpsbabel")) GTEST_SKIP() << "ogrinfo or gpsbabel not installed";
    PointRecord a =
        makePoint({.route = 1, .routeName = "WEG EINS", .number = 1, .lat = 50.25, .lon = 7.5, .newSegment = 1});
    a.Time = 86400 * 9000 + 3723;
    a.Altitude = 451.5f;
    PointRecord b = makePoint({.route = 1, .routeName = "WEG EINS", .number = 2, .lat = 50.26, .lon = 7.512345678});
    b.Altitude = -12.25f;
    setTable({a, b, makePoint({.lat = 95.0, .lon = 5.0}),
              makePoint({.route = 1, .routeName = "WEG EINS", .number = 3, .lat = 50.27, .lon = 7.52, .newSegment = 1}),
              makePoint({.route = 1, .routeName = "WEG EINS", .number = 4, .lat = 50.28, .lon = 7.53}),
              makePoint({.route = 2, .routeName = "ZWEI", .number = 1, .lat = -40.125, .lon = -8.25, .newSegment = 1}),
              makePoint({.route = 2, .number = 2, .lat = -40.2, .lon = -8.3})});
    countLinePoints(LineObjects);
    std::string file = dir.file("tracks.gpx");
    ASSERT_EQ(writeGpxFile(file.c_str(), LineObjects, TransferKind::Tracks), 1);
    const std::vector<std::pair<double, double>> positions = {{7.5, 50.25},  {7.512345678, 50.26}, {7.52, 50.27},
                                                              {7.53, 50.28}, {-8.25, -40.125},     {-8.3, -40.2}};

    std::vector<Feature> points = ogrLayer(file, "track_points");
    ASSERT_EQ(points.size(), 6u) << readFile(file);
    std::vector<std::pair<double, double>> got;
    for (const Feature& f : points) got.push_back(f.coordinates.at(0));
    expectNear(got, positions, 1e-9);
    const char* const trackOf[] = {"0", "0", "0", "0", "1", "1"};
    const char* const segmentOf[] = {"0", "0", "1", "1", "0", "0"};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(points[i].fields["track_fid"], trackOf[i]) << i;
        EXPECT_EQ(points[i].fields["track_seg_id"], segmentOf[i]) << i;
    }
    EXPECT_EQ(points[0].fields["ele"], "451.5");
    EXPECT_EQ(points[0].fields["time"], "2014/08/22 01:02:03+00");
    EXPECT_EQ(points[1].fields["ele"], "-12.25");
    EXPECT_EQ(points[1].fields.count("time"), 0u);
    EXPECT_EQ(points[2].fields.count("ele"), 0u);
    std::vector<Feature> tracks = ogrLayer(file, "tracks");
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].fields["name"], "WEG EINS");
    EXPECT_EQ(tracks[0].fields["number"], "1");
    EXPECT_EQ(tracks[1].fields["name"], "ZWEI");
    EXPECT_EQ(tracks[1].fields["number"], "2");

    std::string gpx;
    ASSERT_TRUE(runShell("gpsbabel -i gpx -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    expectNear(gpxPositions(gpx), positions, 1e-9);
    EXPECT_EQ(occurrences(gpx, "<trk>"), 2u) << gpx;
    EXPECT_EQ(occurrences(gpx, "<trkseg>"), 3u) << gpx;
    EXPECT_EQ(occurrences(gpx, "<name>WEG EINS</name>"), 1u) << gpx;
    EXPECT_EQ(occurrences(gpx, "<time>2014-08-22T01:02:03Z</time>"), 1u) << gpx;
    EXPECT_EQ(occurrences(gpx, "<ele>451.500</ele>"), 1u) << gpx;

    // The same table for a route download: each line a route of its own.
    ASSERT_EQ(writeGpxFile(file.c_str(), LineObjects, TransferKind::Waypoints), 1);
    std::vector<Feature> routes = ogrLayer(file, "routes");
    ASSERT_EQ(routes.size(), 3u) << readFile(file);
    EXPECT_EQ(routes[1].fields["name"], "WEG EINS");
    EXPECT_EQ(routes[2].fields["number"], "2");
    EXPECT_EQ(ogrLayer(file, "route_points").size(), 6u);
}

TEST_F(InteropTest, OgrinfoAndGpsbabelReadOurGpxWaypoints) {
    if (!toolInstalled("ogrinfo") || !toolInstalled("gpsbabel")) GTEST_SKIP() << "ogrinfo or gpsbabel not installed";
    fillPoints();
    std::string file = dir.file("points.gpx");
    ASSERT_EQ(writeGpxFile(file.c_str(), PointObjects, TransferKind::Waypoints), 1);
    std::vector<Feature> points = ogrLayer(file, "waypoints");
    ASSERT_EQ(points.size(), 3u) << readFile(file);
    expectNear({points[0].coordinates[0], points[1].coordinates[0], points[2].coordinates[0]},
               {{7.123456789, 50.987654321}, {-0.000000015, -33.5}, {179.99999999, 89.99999999}}, 1e-9);
    EXPECT_EQ(points[0].fields["name"], "KIRCHE");
    EXPECT_EQ(points[0].fields["cmt"], cp1252ToUtf8("Br\xFC"
                                                    "cke"));
    EXPECT_EQ(points[0].fields["ele"], "451.6");
    EXPECT_EQ(points[0].fields["sym"], "Pizza");  // Garmin's name of symbol 8213
    EXPECT_EQ(points[0].fields["time"], "2014/08/22 01:02:03+00");
    EXPECT_EQ(points[1].fields["name"], "P,2");
    EXPECT_EQ(points[1].fields["cmt"], "a \"b\"");
    EXPECT_EQ(points[1].fields.count("ele"), 0u);
    EXPECT_EQ(points[2].fields["name"], "NORD");

    std::string csv;
    ASSERT_TRUE(runShell("gpsbabel -i gpx -f '" + file + "' -o unicsv,utc=0 -F -", csv)) << csv;
    EXPECT_NE(csv.find("1,50.987654,7.123457,\"KIRCHE\",451.6,\"" +
                       cp1252ToUtf8("Br\xFC"
                                    "cke") +
                       "\",\"Pizza\",2014/08/22,01:02:03"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("2,-33.500000,-0.000000,\"P,2\",,\"a \"\"b\"\"\""), std::string::npos) << csv;
}

TEST_F(InteropTest, GpxWrittenByGpsbabelAndOgr2ogrIsRead) {
    if (!toolInstalled("ogr2ogr") || !toolInstalled("gpsbabel")) GTEST_SKIP() << "ogr2ogr or gpsbabel not installed";
    bool numbers = false, names = false;
    std::string csv = dir.file("in.csv");
    writeFile(csv,
              "lat,lon,name,alt,utc_d,utc_t,comment\n50.5,7.25,Kirche,451.5,2014/08/22,01:02:03,am Bach\n"
              "-33.5,-0.5,P2,,,,\n");
    std::string babel = dir.file("babel.gpx");
    std::string output;
    ASSERT_TRUE(runShell("gpsbabel -i unicsv -f '" + csv + "' -o gpx -F '" + babel + "'", output)) << output;
    ASSERT_EQ(readGpxFile(babel.c_str(), TransferKind::Waypoints, numbers, names), 1) << readFile(babel);
    ASSERT_EQ(pointTable.count, 2);
    const PointRecord* r = pointTable.records;
    EXPECT_DOUBLE_EQ(r[0].Latitude, 50.5);
    EXPECT_DOUBLE_EQ(r[0].Longitude, 7.25);
    EXPECT_STREQ(r[0].NameOfPoint, "Kirche");
    EXPECT_STREQ(r[0].Comment, "am Bach");
    EXPECT_EQ(r[0].Altitude, 451.5f);
    EXPECT_EQ(r[0].Time, parseTime("2014-08-22 01:02:03"));
    EXPECT_DOUBLE_EQ(r[1].Longitude, -0.5);
    EXPECT_EQ(r[1].Altitude, kNoAltitude);
    EXPECT_EQ(r[1].Time, 0);

    // gpsbabel's GPX 1.1 tracks.
    ASSERT_TRUE(runShell(
        "gpsbabel -i unicsv -f '" + csv + "' -x transform,trk=wpt,del -o gpx,gpxver=1.1 -F '" + babel + "'", output))
        << output;
    ASSERT_EQ(readGpxFile(babel.c_str(), TransferKind::Tracks, numbers, names), 1) << readFile(babel);
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 1);
    EXPECT_EQ(r[1].NumberOfPoint, 2);
    EXPECT_EQ(r[1].NewSegment, 0);
    EXPECT_DOUBLE_EQ(r[1].Latitude, -33.5);

    const char geojson[] =
        "{\"type\":\"FeatureCollection\",\"features\":["
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"Weg\"},\"geometry\":{\"type\":\"MultiLineString\","
        "\"coordinates\":[[[8.5,51.25],[8.75,51.5]],[[9.0,51.75],[9.25,52.0],[9.5,52.25]]]}},"
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"Zwei\"},\"geometry\":{\"type\":\"LineString\","
        "\"coordinates\":[[1,2],[3,4]]}}]}";
    std::string source = dir.file("in.geojson");
    writeFile(source, geojson);
    std::string gdal = dir.file("gdal.gpx");
    ASSERT_TRUE(runShell("ogr2ogr -f GPX -nlt MULTILINESTRING -lco FORCE_GPX_TRACK=YES '" + gdal + "' '" + source + "'",
                         output))
        << output;
    ASSERT_EQ(readGpxFile(gdal.c_str(), TransferKind::Tracks, numbers, names), 1) << readFile(gdal);
    ASSERT_EQ(pointTable.count, 7);
    const int track[] = {1, 1, 1, 1, 1, 2, 2};
    const int point[] = {1, 2, 3, 4, 5, 1, 2};
    const int newSegment[] = {1, 0, 1, 0, 0, 1, 0};
    for (int i = 0; i < 7; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, track[i]);
        EXPECT_EQ(r[i].NumberOfPoint, point[i]);
        EXPECT_EQ(r[i].NewSegment, newSegment[i]);
    }
    EXPECT_STREQ(r[4].NameOfRouteOrTrack, "Weg");
    EXPECT_STREQ(r[6].NameOfRouteOrTrack, "Zwei");
    EXPECT_DOUBLE_EQ(r[4].Longitude, 9.5);
    EXPECT_DOUBLE_EQ(r[6].Latitude, 4.0);
    EXPECT_TRUE(names);
}

}  // namespace
