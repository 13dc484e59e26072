// Independent check of the simulator: gpsbabel, a Garmin client of its own,
// downloads waypoints, routes and tracks from the simulator's pty and uploads
// GPX data to it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "sim/simulator.h"

namespace {

bool haveGpsbabel() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/wegmate-gpsbabel-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir() {
        if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string path;
};

int runGpsbabel(const std::string& args) {
    std::string command = "timeout 120 gpsbabel " + args + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct GpxPoint {
    double lat = 0, lon = 0;
    std::string name;
};

double attribute(const std::string& tag, const char* key) {
    std::string k = std::string(key) + "=\"";
    size_t at = tag.find(k);
    if (at == std::string::npos) return NAN;
    return std::strtod(tag.c_str() + at + k.size(), nullptr);
}

std::string element(const std::string& text, const char* name) {
    std::string open = std::string("<") + name + ">";
    std::string close = std::string("</") + name + ">";
    size_t a = text.find(open);
    if (a == std::string::npos) return "";
    size_t b = text.find(close, a);
    return text.substr(a + open.size(), b - a - open.size());
}

// Every <tag ...>...</tag> (or <tag .../>) block in order.
std::vector<std::string> blocks(const std::string& text, const char* tag) {
    std::vector<std::string> out;
    std::string open = std::string("<") + tag;
    std::string close = std::string("</") + tag + ">";
    size_t at = 0;
    for (;;) {
        at = text.find(open, at);
        if (at == std::string::npos) break;
        char next = text[at + open.size()];
        if (next != ' ' && next != '>') {
            at += open.size();
            continue;
        }
        size_t end = text.find(close, at);
        size_t selfClose = text.find("/>", at);
        size_t gt = text.find('>', at);
        if (selfClose != std::string::npos && selfClose + 1 == gt) end = gt + 1;
        else if (end != std::string::npos) end += close.size();
        else break;
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

std::vector<GpxPoint> points(const std::string& text, const char* tag) {
    std::vector<GpxPoint> out;
    for (const std::string& b : blocks(text, tag)) {
        GpxPoint p;
        std::string head = b.substr(0, b.find('>'));
        p.lat = attribute(head, "lat");
        p.lon = attribute(head, "lon");
        p.name = element(b, "name");
        out.push_back(p);
    }
    return out;
}

class GpsbabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed: the independent check is skipped";
        ASSERT_FALSE(dir.path.empty());
    }
    TempDir dir;
};

TEST_F(GpsbabelTest, DownloadsWhatTheSimulatorHolds) {
    for (const char* profile : {"etrex", "d110"}) {
        SCOPED_TRACE(profile);
        Simulator sim(*findSimProfile(profile));
        sim.generate(6, 2, 4, 2, 120);
        std::string tty = sim.startPty();
        ASSERT_FALSE(tty.empty());
        std::string w = dir.path + "/w.gpx", r = dir.path + "/r.gpx", t = dir.path + "/t.gpx";
        ASSERT_EQ(runGpsbabel("-w -i garmin -f " + tty + " -o gpx -F " + w), 0);
        ASSERT_EQ(runGpsbabel("-r -i garmin -f " + tty + " -o gpx -F " + r), 0);
        ASSERT_EQ(runGpsbabel("-t -i garmin -f " + tty + " -o gpx -F " + t), 0);
        sim.stop();

        std::vector<GpxPoint> wpts = points(readFile(w), "wpt");
        ASSERT_EQ(wpts.size(), sim.waypoints.size());
        for (size_t i = 0; i < wpts.size(); i++) {
            EXPECT_EQ(wpts[i].name, sim.waypoints[i].name);
            EXPECT_NEAR(wpts[i].lat, sim.waypoints[i].lat, 1e-8);
            EXPECT_NEAR(wpts[i].lon, sim.waypoints[i].lon, 1e-8);
        }

        std::vector<std::string> rtes = blocks(readFile(r), "rte");
        ASSERT_EQ(rtes.size(), sim.routes.size());
        for (size_t i = 0; i < rtes.size(); i++) {
            EXPECT_EQ(element(rtes[i], "name"), sim.routes[i].name);
            std::vector<GpxPoint> pts = points(rtes[i], "rtept");
            ASSERT_EQ(pts.size(), sim.routes[i].points.size());
            for (size_t j = 0; j < pts.size(); j++) {
                EXPECT_EQ(pts[j].name, sim.routes[i].points[j].name);
                EXPECT_NEAR(pts[j].lat, sim.routes[i].points[j].lat, 1e-8);
                EXPECT_NEAR(pts[j].lon, sim.routes[i].points[j].lon, 1e-8);
            }
        }

        std::vector<std::string> trks = blocks(readFile(t), "trk");
        ASSERT_EQ(trks.size(), sim.tracks.size());
        for (size_t i = 0; i < trks.size(); i++) {
            EXPECT_EQ(element(trks[i], "name"), sim.tracks[i].name);
            std::vector<GpxPoint> pts = points(trks[i], "trkpt");
            ASSERT_EQ(pts.size(), sim.tracks[i].points.size());
            for (size_t j = 0; j < pts.size(); j++) {
                EXPECT_NEAR(pts[j].lat, sim.tracks[i].points[j].lat, 1e-8);
                EXPECT_NEAR(pts[j].lon, sim.tracks[i].points[j].lon, 1e-8);
            }
        }
    }
}

TEST_F(GpsbabelTest, DownloadFromAUnitWithoutHeaders) {
    Simulator sim(*findSimProfile("d100"));
    sim.generate(4, 0, 0, 1, 25);
    std::string tty = sim.startPty();
    std::string w = dir.path + "/w.gpx", t = dir.path + "/t.gpx";
    ASSERT_EQ(runGpsbabel("-w -i garmin -f " + tty + " -o gpx -F " + w), 0);
    ASSERT_EQ(runGpsbabel("-t -i garmin -f " + tty + " -o gpx -F " + t), 0);
    sim.stop();
    std::vector<GpxPoint> wpts = points(readFile(w), "wpt");
    ASSERT_EQ(wpts.size(), 4u);
    EXPECT_EQ(wpts[3].name, "WP0004");
    EXPECT_NEAR(wpts[3].lat, sim.waypoints[3].lat, 1e-8);
    EXPECT_EQ(points(readFile(t), "trkpt").size(), 25u);
}

TEST_F(GpsbabelTest, UploadsAreStored) {
    std::string in = dir.path + "/in.gpx";
    {
        std::ofstream f(in);
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
             "  <wpt lat=\"50.123456\" lon=\"8.654321\"><name>UPA</name><cmt>erster</cmt></wpt>\n"
             "  <wpt lat=\"-33.5\" lon=\"151.25\"><name>UPB</name></wpt>\n"
             "  <wpt lat=\"0.000001\" lon=\"-0.5\"><name>UPC</name></wpt>\n"
             "  <rte><name>TOUR</name>\n"
             "    <rtept lat=\"49.1\" lon=\"9.1\"><name>RTA</name></rtept>\n"
             "    <rtept lat=\"49.2\" lon=\"9.2\"><name>RTB</name></rtept>\n"
             "    <rtept lat=\"49.3\" lon=\"9.3\"><name>RTC</name></rtept>\n"
             "  </rte>\n"
             "  <trk><name>WALK</name><trkseg>\n"
             "    <trkpt lat=\"47.1\" lon=\"11.1\"><ele>500</ele><time>2020-05-01T10:00:00Z</time></trkpt>\n"
             "    <trkpt lat=\"47.2\" lon=\"11.2\"><ele>510</ele><time>2020-05-01T10:01:00Z</time></trkpt>\n"
             "  </trkseg></trk>\n"
             "</gpx>\n";
    }
    for (const char* profile : {"etrex", "d110"}) {
        SCOPED_TRACE(profile);
        Simulator sim(*findSimProfile(profile));
        std::string tty = sim.startPty();
        ASSERT_EQ(runGpsbabel("-w -i gpx -f " + in + " -o garmin -F " + tty), 0);
        ASSERT_EQ(runGpsbabel("-r -i gpx -f " + in + " -o garmin -F " + tty), 0);
        ASSERT_EQ(runGpsbabel("-t -i gpx -f " + in + " -o garmin -F " + tty), 0);
        sim.stop();
        SimUploadLog log = sim.uploadLog();
        EXPECT_EQ(log.transfers, 3);
        ASSERT_EQ(log.waypoints.size(), 3u);
        EXPECT_EQ(log.waypoints[0].name, "UPA");
        EXPECT_EQ(log.waypoints[0].comment, "erster");
        EXPECT_NEAR(log.waypoints[0].lat, 50.123456, 1e-7);
        EXPECT_NEAR(log.waypoints[0].lon, 8.654321, 1e-7);
        EXPECT_NEAR(log.waypoints[1].lat, -33.5, 1e-7);
        EXPECT_NEAR(log.waypoints[1].lon, 151.25, 1e-7);
        EXPECT_EQ(log.waypoints[2].name, "UPC");
        ASSERT_EQ(log.routes.size(), 1u);
        EXPECT_EQ(log.routes[0].name, "TOUR");
        ASSERT_EQ(log.routes[0].points.size(), 3u);
        EXPECT_EQ(log.routes[0].points[2].name, "RTC");
        EXPECT_NEAR(log.routes[0].points[2].lat, 49.3, 1e-7);
        EXPECT_EQ(log.routeLinks, 2);
        ASSERT_EQ(log.tracks.size(), 1u);
        EXPECT_EQ(log.tracks[0].name, "WALK");
        ASSERT_EQ(log.tracks[0].points.size(), 2u);
        EXPECT_NEAR(log.tracks[0].points[1].lon, 11.2, 1e-7);
        // 2020-05-01 10:00:00 UTC in receiver seconds since 1989-12-31.
        EXPECT_EQ(log.tracks[0].points[0].time, 1588327200u - 631065600u);
        EXPECT_NEAR(log.tracks[0].points[1].altitude, 510.0, 0.01);
    }
}

}  // namespace
