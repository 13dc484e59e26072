// Our files against independent tools: GDAL's MapInfo driver (ogrinfo,
// ogr2ogr) and gpsbabel's TOP50 overlay formats. A test is skipped, with its
// reason shown, only when the tool is not installed.

#include <cmath>
#include <map>
#include <regex>

#include "app/text_encoding.h"
#include "format_test_util.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "tests/support/scripted_platform.h"
#include "transfer/times.h"

namespace {

struct Feature {
    std::map<std::string, std::string> fields;
    std::string geometry;  // "POINT" or "LINESTRING"
    std::vector<std::pair<double, double>> coordinates;
};

// The features of "ogrinfo -al -q" output.
std::vector<Feature> parseOgrinfo(const std::string& output)
{
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
            while (numbers >> x >> y)
                features.back().coordinates.push_back({x, y});
        }
    }
    return features;
}

// lat/lon pairs of a GPX file, in file order.
std::vector<std::pair<double, double>> gpxPositions(const std::string& gpx)
{
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
    void fillPoints()
    {
        PointRecord a = withNames(makePoint(7.123456789, 50.987654321, 1), 1, "TOUR", 1, "KIRCHE", "Br\xFC" "cke");
        a.Time = 86400 * 9000 + 3723;
        a.Altitude = 451.6f;
        a.HasSymbol = 1;
        a.Symbol = 8213;
        a.Display1 = 1;
        a.Display2 = 2;
        PointRecord b = withNames(makePoint(-0.000000015, -33.5), 1, "TOUR", 2, "P,2", "a \"b\"");
        PointRecord c = withNames(makePoint(179.99999999, 89.99999999, 1), 2, "", 1, "NORD");
        setTable({a, b, makePoint(5.0, 95.0), c});
    }

    void fillLines()
    {
        PointRecord a = withNames(makePoint(7.5, 50.25, 1), 1, "WEG EINS", 1, "", "Start");
        a.Time = 86400 * 9000;
        a.HasSymbol = 1;
        a.Display1 = 4;
        a.Display2 = 9;
        setTable({a, makePoint(7.51234567, 50.26), makePoint(7.52, 50.27), makePoint(1.0, 1.0, 1),
                  withNames(makePoint(-8.25, -40.125, 1), 2, "ZWEI", 1, ""), makePoint(-8.3, -40.2)});
        countLinePoints(LineObjects);
    }
};

void expectNear(const std::vector<std::pair<double, double>>& got, const std::vector<std::pair<double, double>>& want,
                double tolerance)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_NEAR(got[i].first, want[i].first, tolerance) << "longitude " << i;
        EXPECT_NEAR(got[i].second, want[i].second, tolerance) << "latitude " << i;
    }
}

TEST_F(InteropTest, OgrinfoReadsOurPointPairs)
{
    if (!toolInstalled("ogrinfo"))
        GTEST_SKIP() << "ogrinfo not installed";
    fillPoints();
    // In either case of the name the pair is found as one.
    std::string output;
    for (const char* name : {"POINTS.MIF", "points.mif"}) {
        std::string mif = dir.file(name);
        ASSERT_EQ(writeMifFile(mif.c_str(), PointObjects), 1);
        ASSERT_TRUE(runCommand("ogrinfo -al -q '" + mif + "'", output)) << output;
        ASSERT_EQ(parseOgrinfo(output).size(), 3u) << output;
    }
    std::vector<Feature> features = parseOgrinfo(output);
    for (const Feature& f : features)
        EXPECT_EQ(f.geometry, "POINT");
    expectNear({features[0].coordinates[0], features[1].coordinates[0], features[2].coordinates[0]},
               {{7.123456789, 50.987654321}, {-0.000000015, -33.5}, {179.99999999, 89.99999999}}, 1e-8);

    std::map<std::string, std::string> first = {
        {"NumberOfRouteOrTrack", "1"}, {"NameOfRouteOrTrack", "TOUR"}, {"NumberOfPoint", "1"},
        {"NameOfPoint", "KIRCHE"}, {"Time", "2014-08-22 01:02:03"}, {"Altitude", "451"},
        {"Comment", cp1252ToUtf8("Br\xFC" "cke")}, {"NewSegment", "1"}, {"Symbol", "8213"},
        {"Display1", "1"}, {"Display2", "2"}};
    EXPECT_EQ(features[0].fields, first);
    std::map<std::string, std::string> second = {
        {"NumberOfRouteOrTrack", "1"}, {"NameOfRouteOrTrack", "TOUR"}, {"NumberOfPoint", "2"},
        {"NameOfPoint", "P,2"}, {"Time", ""}, {"Altitude", ""}, {"Comment", "a \"b\""}, {"NewSegment", "0"},
        {"Symbol", ""}, {"Display1", ""}, {"Display2", ""}};
    EXPECT_EQ(features[1].fields, second);
    EXPECT_EQ(features[2].fields["NumberOfRouteOrTrack"], "2");
    EXPECT_EQ(features[2].fields["NewSegment"], "1");
}

TEST_F(InteropTest, OgrinfoReadsOurPolylinePairs)
{
    if (!toolInstalled("ogrinfo"))
        GTEST_SKIP() << "ogrinfo not installed";
    fillLines();
    std::string mif = dir.file("LINES.MIF");
    ASSERT_EQ(writeMifFile(mif.c_str(), LineObjects), 1);
    std::string output;
    ASSERT_TRUE(runCommand("ogrinfo -al -q '" + mif + "'", output)) << output;
    std::vector<Feature> features = parseOgrinfo(output);
    ASSERT_EQ(features.size(), 2u) << output;
    EXPECT_EQ(features[0].geometry, "LINESTRING");
    EXPECT_EQ(features[1].geometry, "LINESTRING");
    expectNear(features[0].coordinates, {{7.5, 50.25}, {7.51234567, 50.26}, {7.52, 50.27}}, 1e-8);
    expectNear(features[1].coordinates, {{-8.25, -40.125}, {-8.3, -40.2}}, 1e-8);
    std::map<std::string, std::string> first = {
        {"NumberOfRouteOrTrack", "1"}, {"NameOfRouteOrTrack", "WEG EINS"}, {"NumberOfPoint", "0"},
        {"NameOfPoint", ""}, {"Time", "2014-08-22 00:00:00"}, {"Altitude", ""}, {"Comment", "Start"},
        {"NewSegment", ""}, {"Symbol", ""}, {"Display1", "4"}, {"Display2", "9"}};
    EXPECT_EQ(features[0].fields, first);
    EXPECT_EQ(features[1].fields["NameOfRouteOrTrack"], "ZWEI");
    EXPECT_EQ(features[1].fields["Display1"], "");
}

TEST_F(InteropTest, PairWrittenByOgr2ogrIsRead)
{
    if (!toolInstalled("ogr2ogr"))
        GTEST_SKIP() << "ogr2ogr not installed";
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
    writeFileBytes(source, geojson);
    std::string mif = dir.file("gdal.mif");
    std::string output;
    ASSERT_TRUE(runCommand("ogr2ogr -f 'MapInfo File' -dsco FORMAT=MIF '" + mif + "' '" + source + "'", output))
        << output;
    bool numbers = false, names = false;
    ui.queueInitials("GD");
    ASSERT_EQ(readMifFile(mif.c_str(), 7, numbers, names), 1) << readFileBytes(mif);
    EXPECT_TRUE(ui.boxTexts().empty());
    ASSERT_EQ(pointTable.count, 5);
    const PointRecord* r = pointTable.records;
    EXPECT_NEAR(r[0].Longitude, 7.12345678, 1e-8);
    EXPECT_NEAR(r[0].Latitude, 50.87654321, 1e-8);
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 3);
    EXPECT_EQ(r[0].NumberOfPoint, 7);
    EXPECT_STREQ(r[0].NameOfRouteOrTrack, "TOUR");
    EXPECT_STREQ(r[0].NameOfPoint, "KIRCHE");
    EXPECT_EQ(r[0].Time, parseTime("2001-02-03 04:05:06"));
    EXPECT_EQ(r[0].Altitude, 123.0f);
    EXPECT_STREQ(r[0].Comment, "AM BACH 12:30");
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
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, "WEG");
        EXPECT_STREQ(r[i].Comment, "LINIE");
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

TEST_F(InteropTest, GpsbabelReadsOurAsciiOverlays)
{
    if (!toolInstalled("gpsbabel"))
        GTEST_SKIP() << "gpsbabel not installed";
    std::string file = dir.file("points.ovl");
    fillPoints();
    ASSERT_EQ(writeOvlAsciiFile(file.c_str(), PointObjects), 1);
    std::string gpx;
    ASSERT_TRUE(runCommand("gpsbabel -i ggv_ovl -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    expectNear(gpxPositions(gpx), {{7.123456789, 50.987654321}, {-0.000000015, -33.5}, {179.99999999, 89.99999999}},
               1e-8);

    fillLines();
    ASSERT_EQ(writeOvlAsciiFile(file.c_str(), LineObjects), 1);
    ASSERT_TRUE(runCommand("gpsbabel -i ggv_ovl -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    expectNear(gpxPositions(gpx),
               {{7.5, 50.25}, {7.51234567, 50.26}, {7.52, 50.27}, {-8.25, -40.125}, {-8.3, -40.2}}, 1e-8);
}

TEST_F(InteropTest, AsciiOverlayWrittenByGpsbabelIsRead)
{
    if (!toolInstalled("gpsbabel"))
        GTEST_SKIP() << "gpsbabel not installed";
    const char gpxText[] =
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "<wpt lat=\"50.1\" lon=\"7.5\"><name>A</name></wpt>\n"
        "<trk><name>T</name><trkseg><trkpt lat=\"50.0\" lon=\"7.0\"/><trkpt lat=\"50.01\" lon=\"7.01\"/>"
        "<trkpt lat=\"50.02\" lon=\"7.02\"/></trkseg></trk>\n"
        "<trk><name>U</name><trkseg><trkpt lat=\"-10.5\" lon=\"-20.25\"/><trkpt lat=\"-10.75\" lon=\"-20.5\"/>"
        "</trkseg></trk>\n</gpx>\n";
    std::string gpx = dir.file("in.gpx");
    std::string ovl = dir.file("babel.ovl");
    writeFileBytes(gpx, gpxText);
    std::string output;
    ASSERT_TRUE(runCommand("gpsbabel -i gpx -f '" + gpx + "' -o ggv_ovl -F '" + ovl + "'", output)) << output;
    int separate = 0;
    ui.queueYesNo(true);
    ASSERT_EQ(readOvlAsciiFile(ovl.c_str(), 6, separate, true), 1) << readFileBytes(ovl);
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

TEST_F(InteropTest, GpsbabelReadsTheLinesOfOurBinaryOverlays)
{
    if (!toolInstalled("gpsbabel"))
        GTEST_SKIP() << "gpsbabel not installed";
    fillLines();
    std::string file = dir.file("lines.ovl");
    ASSERT_EQ(writeOvlBinaryFile(file.c_str(), LineObjects), 1);
    std::string gpx;
    ASSERT_TRUE(runCommand("gpsbabel -i ggv_bin -f '" + file + "' -o gpx -F -", gpx)) << gpx;
    // Our doubles go over unchanged; GPX prints nine decimals.
    expectNear(gpxPositions(gpx),
               {{7.5, 50.25}, {7.51234567, 50.26}, {7.52, 50.27}, {-8.25, -40.125}, {-8.3, -40.2}}, 1e-8);
    EXPECT_NE(gpx.find("WEG EINS"), std::string::npos) << gpx;  // the object text as the line name
}

}  // namespace
