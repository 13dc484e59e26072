// gpsbabel, a Garmin client that shares no code with this program, on the
// other end of the simulator's pseudo terminal, for every profile it knows:
//   - both download the same receiver data and must agree point by point;
//   - Wegmate uploads a MIF file to the simulator in raw mode (which keeps
//     the record bytes as sent) and gpsbabel reads those bytes back;
//   - gpsbabel uploads a GPX file in raw mode and Wegmate reads its bytes.
// Wegmate's files are read here with a parser of this test, not with the
// program's readers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <unistd.h>

#include "commands/command.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"
#include "model/point_table.h"
#include "model/symbols.h"

namespace {

int runGpsbabel(const std::string& args) {
    std::string command = "timeout 120 gpsbabel " + args + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Windows-1252 as the receiver and the MID file hold it, for the letters
// the test uses (Latin-1 range).
std::string latin1ToUtf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += (char)c;
        } else {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf8ToLatin1(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 0xC0 && i + 1 < text.size()) {
            out += (char)(((c & 0x1F) << 6) | ((unsigned char)text[++i] & 0x3F));
        } else {
            out += (char)c;
        }
    }
    return out;
}

// The first n characters of a UTF-8 text of Latin-1 letters.
std::string cut(const std::string& text, size_t n) { return latin1ToUtf8(utf8ToLatin1(text).substr(0, n)); }

// ------------------------------------------------------------------ GPX

std::string unescapeXml(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::strlen(from), to);
    return s;
}

double attribute(const std::string& tag, const char* key) {
    std::string k = std::string(" ") + key + "=\"";
    size_t at = tag.find(k);
    if (at == std::string::npos) return NAN;
    return std::strtod(tag.c_str() + at + k.size(), nullptr);
}

// The text of the first <name> element directly in block (before any child
// block of the kinds given).
std::string element(const std::string& block, const char* name, const char* stopAt = nullptr) {
    std::string head = block;
    if (stopAt) {
        size_t stop = block.find(std::string("<") + stopAt, 1);
        if (stop != std::string::npos) head = block.substr(0, stop);
    }
    std::string open = std::string("<") + name + ">";
    std::string close = std::string("</") + name + ">";
    size_t a = head.find(open);
    if (a == std::string::npos) return "";
    size_t b = head.find(close, a);
    return unescapeXml(head.substr(a + open.size(), b - a - open.size()));
}

bool hasElement(const std::string& block, const char* name) {
    return block.find(std::string("<") + name + ">") != std::string::npos;
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
        if (next != ' ' && next != '>' && next != '/') {
            at += open.size();
            continue;
        }
        size_t gt = text.find('>', at);
        size_t end;
        if (gt != std::string::npos && text[gt - 1] == '/') {
            end = gt + 1;
        } else {
            end = text.find(close, at);
            if (end == std::string::npos) break;
            end += close.size();
        }
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

struct Point {
    double lat = NAN, lon = NAN;
    std::string name, comment, symbol, time;  // time "YYYY-MM-DD hh:mm:ss"
    bool hasAltitude = false;
    double altitude = 0;
    bool newSegment = false;
};

// Routes and tracks: one line per route or track log; points carry the
// segment starts.
struct Line {
    std::string name;
    std::vector<Point> points;
};

Point gpxPoint(const std::string& block) {
    Point p;
    std::string head = block.substr(0, block.find('>'));
    p.lat = attribute(head, "lat");
    p.lon = attribute(head, "lon");
    p.name = element(block, "name");
    p.comment = element(block, "cmt");
    p.symbol = element(block, "sym");
    p.hasAltitude = hasElement(block, "ele");
    if (p.hasAltitude) p.altitude = std::strtod(element(block, "ele").c_str(), nullptr);
    std::string t = element(block, "time");
    if (t.size() >= 19) p.time = t.substr(0, 10) + " " + t.substr(11, 8);
    return p;
}

std::vector<Point> gpxWaypoints(const std::string& file) {
    std::vector<Point> out;
    for (const std::string& b : blocks(readFile(file), "wpt")) out.push_back(gpxPoint(b));
    return out;
}

std::vector<Line> gpxRoutes(const std::string& file) {
    std::vector<Line> out;
    for (const std::string& r : blocks(readFile(file), "rte")) {
        Line line;
        line.name = element(r, "name", "rtept");
        for (const std::string& b : blocks(r, "rtept")) line.points.push_back(gpxPoint(b));
        if (!line.points.empty()) line.points[0].newSegment = true;
        out.push_back(line);
    }
    return out;
}

std::vector<Line> gpxTracks(const std::string& file) {
    std::vector<Line> out;
    for (const std::string& t : blocks(readFile(file), "trk")) {
        Line line;
        line.name = element(t, "name", "trkseg");
        for (const std::string& seg : blocks(t, "trkseg")) {
            bool first = true;
            for (const std::string& b : blocks(seg, "trkpt")) {
                Point p = gpxPoint(b);
                p.newSegment = first;
                first = false;
                line.points.push_back(p);
            }
        }
        out.push_back(line);
    }
    return out;
}

// ------------------------------------------------------------ MIF / MID

// One row of the MID file with the position from the MIF file.
struct Row {
    std::vector<std::string> columns;  // the 11 attribute columns, UTF-8
    double lat = NAN, lon = NAN;
    int group() const { return std::atoi(columns[0].c_str()); }
};

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                i++;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.push_back(field);
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    out.push_back(field);
    return out;
}

// The point objects of a MIF/MID pair that Wegmate wrote.
std::vector<Row> readPointFile(const std::string& mif) {
    std::vector<Row> rows;
    std::istringstream mid(readFile(mif.substr(0, mif.size() - 4) + ".mid"));
    std::string line;
    while (std::getline(mid, line)) {
        Row r;
        r.columns = splitCsv(line);
        for (std::string& c : r.columns) c = latin1ToUtf8(c);
        if (r.columns.size() == 11) rows.push_back(r);
    }
    std::istringstream geometry(readFile(mif));
    size_t i = 0;
    while (std::getline(geometry, line)) {
        if (line.compare(0, 6, "Point ") != 0) continue;
        if (i < rows.size()) std::sscanf(line.c_str() + 6, "%lf %lf", &rows[i].lon, &rows[i].lat);
        i++;
    }
    EXPECT_EQ(i, rows.size()) << "MIF points and MID rows";
    return rows;
}

enum { ColGroup, ColGroupName, ColNumber, ColName, ColTime, ColAltitude, ColComment, ColNewSegment, ColSymbol };

Point rowPoint(const Row& r) {
    Point p;
    p.lat = r.lat;
    p.lon = r.lon;
    p.name = r.columns[ColName];
    p.comment = r.columns[ColComment];
    p.symbol = r.columns[ColSymbol];
    p.time = r.columns[ColTime];
    p.hasAltitude = !r.columns[ColAltitude].empty();
    p.altitude = std::atof(r.columns[ColAltitude].c_str());
    p.newSegment = r.columns[ColNewSegment] == "1";
    return p;
}

// Routes or tracks of the point file: a new line where the route or track
// number changes.
std::vector<Line> rowLines(const std::vector<Row>& rows) {
    std::vector<Line> out;
    int group = -1;
    for (const Row& r : rows) {
        if (out.empty() || r.group() != group) {
            out.push_back(Line{r.columns[ColGroupName], {}});
            group = r.group();
        }
        out.back().points.push_back(rowPoint(r));
    }
    return out;
}

// ------------------------------------------------------------ formats

bool d100Family(const SimProfile& p) {
    return p.waypointFormat != SimWaypointFormat::D108 && p.waypointFormat != SimWaypointFormat::D109 &&
           p.waypointFormat != SimWaypointFormat::D110;
}
bool waypointAltitude(const SimProfile& p) { return !d100Family(p); }
bool shortFormat(const SimProfile& p) {
    return p.waypointFormat == SimWaypointFormat::D105 || p.waypointFormat == SimWaypointFormat::D106;
}
// D105 and D106 carry no comment. gpsbabel 1.8 reads their positions and
// symbols but leaves the identifier empty (route points become "RPT001"...):
// names are compared only where gpsbabel reads them.
bool waypointComment(const SimProfile& p) { return !shortFormat(p); }
bool babelReadsNames(const SimProfile& p) { return !shortFormat(p); }
bool waypointTime(const SimProfile& p) { return p.waypointFormat == SimWaypointFormat::D110; }
bool waypointSymbol(const SimProfile& p) { return p.waypointFormat != SimWaypointFormat::D100; }
bool trackAltitude(const SimProfile& p) { return p.trackPointFormat != SimTrackPointFormat::D300; }
// D303/D304 have no new-segment flag: Wegmate starts a segment after two gap
// markers, gpsbabel keeps one segment per track log. Only the flag formats
// are compared segment by segment.
bool segmentFlag(const SimProfile& p) { return p.trackPointFormat <= SimTrackPointFormat::D302; }

// gpsbabel's names of the symbol numbers the test uses. D103 (and receivers
// reporting it) number their symbols in a short list of their own.
std::string symbolName(const SimProfile& p, int number) {
    static const std::map<int, std::string> standard = {{8, "Gas Station"}, {9, "Horn"}, {10, "Residence"}};
    static const std::map<int, std::string> d103 = {{8, "exit"}, {9, "skull"}, {10, "flag"}};
    const auto& table = p.waypointFormat == SimWaypointFormat::D103 ? d103 : standard;
    auto it = table.find(number);
    return it == table.end() ? "?" + std::to_string(number) : it->second;
}

const double kSemicircle = 180.0 / 2147483648.0;

enum PointKind { Waypoint, RoutePoint, TrackPoint };

// Wegmate's point (expected) against gpsbabel's (actual) or the other way:
// fields compared as the record format carries them. gpsbabel's GPX gives
// route points only a name, and a waypoint without comment its name as
// comment.
void expectSamePoint(const SimProfile& profile, const Point& wegmate, const Point& babel, PointKind kind,
                     size_t nameLength, double tolerance) {
    EXPECT_NEAR(babel.lat, wegmate.lat, tolerance);
    EXPECT_NEAR(babel.lon, wegmate.lon, tolerance);
    if (kind == RoutePoint) {
        if (babelReadsNames(profile)) {
            EXPECT_EQ(trimmed(babel.name), trimmed(cut(wegmate.name, nameLength)));
        }
    } else if (kind == Waypoint) {
        if (babelReadsNames(profile)) {
            EXPECT_EQ(trimmed(babel.name), trimmed(cut(wegmate.name, nameLength)));
        }
        const std::string babelComment = babel.comment == babel.name ? "" : babel.comment;
        if (waypointComment(profile)) {
            EXPECT_EQ(trimmed(babelComment), trimmed(cut(wegmate.comment, d100Family(profile) ? 40 : 50)));
        }
        if (waypointSymbol(profile)) {
            EXPECT_EQ(babel.symbol, symbolName(profile, std::atoi(wegmate.symbol.c_str())));
        }
        if (waypointAltitude(profile)) {
            ASSERT_EQ(babel.hasAltitude, wegmate.hasAltitude);
            EXPECT_EQ((int)babel.altitude, (int)wegmate.altitude);
        }
        if (waypointTime(profile)) {
            EXPECT_EQ(babel.time, wegmate.time);
        }
    } else {
        EXPECT_EQ(babel.time, wegmate.time);
        if (trackAltitude(profile)) {
            ASSERT_EQ(babel.hasAltitude, wegmate.hasAltitude);
            EXPECT_EQ((int)babel.altitude, (int)wegmate.altitude);
        }
    }
}

std::vector<size_t> sizes(const std::vector<Line>& lines) {
    std::vector<size_t> out;
    for (const Line& l : lines) out.push_back(l.points.size());
    return out;
}

// Segment lengths of every line in turn.
std::vector<size_t> segments(const std::vector<Line>& lines) {
    std::vector<size_t> out;
    for (const Line& l : lines)
        for (size_t i = 0; i < l.points.size(); i++) {
            if (i == 0 || l.points[i].newSegment) out.push_back(0);
            out.back()++;
        }
    return out;
}

std::vector<Point> allPoints(const std::vector<Line>& lines) {
    std::vector<Point> out;
    for (const Line& l : lines) out.insert(out.end(), l.points.begin(), l.points.end());
    return out;
}

// The receiver's data for the downloads: names, comments, symbols,
// altitudes and times that each format carries, Latin-1 letters included.
void fillReceiver(Simulator& sim, const SimProfile& p) {
    auto waypoint = [](const char* name, const char* comment, double lat, double lon, float alt, uint32_t time,
                       uint16_t symbol) {
        SimWaypoint w;
        w.name = name;
        w.comment = comment;
        w.lat = lat;
        w.lon = lon;
        w.altitude = alt;
        w.time = time;
        w.symbol = symbol;
        return w;
    };
    const bool shortNames = d100Family(p);
    sim.waypoints = {waypoint("ALPHA1", "Erster Punkt", 50.1234567, 8.7654321, 123.0f, 1000000000u, 8),
                     waypoint("B2", "", -33.8, 151.2, 1e25f, 0, 9),
                     waypoint(shortNames ? "DELTA4" : "Delta vier am Hang", "Gr\xfcn am See, 2 km", 0.5, -0.25, -12.0f,
                              1000086400u, 10)};
    sim.routes.clear();
    for (int r = 1; r <= 2; r++) {
        SimRoute route;
        route.number = r;
        route.name = r == 1 ? "TOUR A" : "TOUR B";
        for (int i = 0; i < 4 - r; i++) {
            std::string name = "R" + std::to_string(r) + "P" + std::to_string(i + 1);
            route.points.push_back(waypoint(name.c_str(), ("Route " + std::to_string(r)).c_str(),
                                            49 + r * 0.1 + i * 0.01, 9 - r * 0.1 + i * 0.02, (float)(200 + i), 0,
                                            (uint16_t)(8 + i)));
        }
        sim.routes.push_back(route);
    }
    sim.tracks.clear();
    for (int t = 0; t < 2; t++) {
        SimTrack track;
        track.name = t == 0 ? "TRACK A" : "TRACK B";
        track.index = t;
        const int n = t == 0 ? 30 : 5;
        for (int i = 0; i < n; i++) {
            SimTrackPoint tp;
            tp.lat = 48.0 + t * 0.05 + i * 0.0001;
            tp.lon = -(11.0 + t * 0.05 + i * 0.00015);
            tp.altitude = (float)(500 + i);
            tp.time = 1000000000u + (uint32_t)t * 86400u + (uint32_t)i * 5u;
            tp.newSegment = i == 0 || (t == 0 && i == 10);
            track.points.push_back(tp);
        }
        sim.tracks.push_back(track);
    }
}

// gpsbabel needs a protocol array, or a product id it knows.
std::vector<std::string> peerProfiles() {
    std::vector<std::string> out;
    for (const std::string& name : simProfileNames())
        if (findSimProfile(name)->sendsArray || name == "d100") out.push_back(name);
    return out;
}

class GpsbabelPeer : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed: the independent check is skipped";
        ASSERT_FALSE(dir.path.empty());
        profile = *findSimProfile(GetParam());
    }
    void TearDown() override { setSerialDeviceOverride(1, ""); }

    bool trackLogs() const { return profile.trackHeaderFormat != SimTrackHeaderFormat::None; }

    // Every client gets a pty of its own, as if the cable were plugged in
    // anew: what a client left unread on the line (the ACK of its last
    // packet) does not reach the next one.
    std::string freshLine(Simulator& sim) {
        sim.stop();
        const std::string tty = sim.startPty();
        EXPECT_FALSE(tty.empty());
        setSerialDeviceOverride(1, tty);
        return tty;
    }

    // gpsbabel with "TTY" in args standing for the simulator's line.
    int gpsbabel(Simulator& sim, std::string args) {
        args.replace(args.find("TTY"), 3, freshLine(sim));
        return runGpsbabel(args);
    }

    // Wegmate downloads waypoints (kind 7), routes (4) or tracks (6) from the
    // simulator into a MIF file of points.
    std::vector<Row> wegmateDownload(Simulator& sim, int kind, const std::string& name) {
        const std::string file = dir.path + "/" + name + ".mif";
        freshLine(sim);
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueSaveFile(file);
        if (kind != 6) ui.queueYesNo(kind == 4);
        if (kind == 6 && trackLogs()) ui.queueYesNo(false);
        runCommand(kind == 6 ? DownloadTracks : DownloadWaypoints, comPort(1), MapInfoMif, PointObjects);
        const std::vector<std::string> boxes = ui.boxTexts();
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(!boxes.empty() && boxes[0].rfind("Übertragung erfolgreich beendet", 0) == 0)
            << (boxes.empty() ? "" : boxes[0]);
        return readPointFile(file);
    }

    TempDir dir{"gpsbabel"};
    SimProfile profile;
};

TEST(GpsbabelProfiles, NameEveryFormatAndProtocol) {
    std::set<std::string> named;
    for (const std::string& name : simProfileNames())
        for (const SimProtocol& p : findSimProfile(name)->protocols) {
            char text[8];
            std::snprintf(text, sizeof text, "%c%03d", p.tag, p.number);
            if (findSimProfile(name)->sendsArray) named.insert(text);
        }
    for (const char* wanted : {"D100", "D101", "D102", "D103", "D104", "D105", "D106", "D107", "D108", "D109",
                               "D110", "A200", "A201", "D200", "D201", "D202", "D210", "A300", "A301", "A302",
                               "D300", "D301", "D302", "D303", "D304", "D310", "D311", "D312"})
        EXPECT_EQ(named.count(wanted), 1u) << wanted;
}

// Both clients download the same receiver: every field the record format
// carries agrees, and so do the routes, track logs and segments.
TEST_P(GpsbabelPeer, DownloadsAgreeWithWegmate) {
    Simulator sim(profile);
    fillReceiver(sim, profile);
    const std::string w = dir.path + "/w.gpx", r = dir.path + "/r.gpx", t = dir.path + "/t.gpx";
    ASSERT_EQ(gpsbabel(sim, "-w -i garmin -f TTY -o gpx -F " + w), 0);
    ASSERT_EQ(gpsbabel(sim, "-r -i garmin -f TTY -o gpx -F " + r), 0);
    ASSERT_EQ(gpsbabel(sim, "-t -i garmin -f TTY -o gpx -F " + t), 0);
    const std::vector<Row> ww = wegmateDownload(sim, 7, "w");
    const std::vector<Row> wr = wegmateDownload(sim, 4, "r");
    const std::vector<Row> wt = wegmateDownload(sim, 6, "t");
    sim.stop();
    const double tolerance = 1.1e-8;  // both print the same semicircles, rounded to 8 or 9 places

    {
        SCOPED_TRACE("waypoints");
        const std::vector<Point> babel = gpxWaypoints(w);
        ASSERT_EQ(babel.size(), ww.size());
        ASSERT_EQ(babel.size(), 3u);
        for (size_t i = 0; i < babel.size(); i++) {
            SCOPED_TRACE(i);
            expectSamePoint(profile, rowPoint(ww[i]), babel[i], Waypoint, 50, tolerance);
        }
    }
    {
        SCOPED_TRACE("routes");
        const std::vector<Line> babel = gpxRoutes(r);
        const std::vector<Line> wegmate = rowLines(wr);
        ASSERT_EQ(sizes(babel), sizes(wegmate));
        EXPECT_EQ(sizes(babel), (std::vector<size_t>{3, 2}));
        for (size_t i = 0; i < babel.size(); i++) {
            if (profile.routeHeaderFormat != SimRouteHeaderFormat::D200) {
                EXPECT_EQ(babel[i].name, wegmate[i].name);
            }
            for (size_t j = 0; j < babel[i].points.size(); j++) {
                SCOPED_TRACE(babel[i].points[j].name);
                expectSamePoint(profile, wegmate[i].points[j], babel[i].points[j], RoutePoint, 50, tolerance);
            }
        }
    }
    {
        SCOPED_TRACE("tracks");
        const std::vector<Line> babel = gpxTracks(t);
        const std::vector<Line> wegmate = rowLines(wt);
        if (trackLogs()) {
            ASSERT_EQ(sizes(babel), sizes(wegmate));
            EXPECT_EQ(sizes(babel), (std::vector<size_t>{30, 5}));
            for (size_t i = 0; i < babel.size(); i++) {
                if (profile.trackHeaderFormat == SimTrackHeaderFormat::D311) {
                    // gpsbabel names the log by its index, Wegmate "TRK" and two digits.
                    char name[16];
                    std::snprintf(name, sizeof name, "TRK%02d", std::atoi(babel[i].name.c_str()));
                    EXPECT_EQ(name, wegmate[i].name);
                } else {
                    EXPECT_EQ(babel[i].name, wegmate[i].name);
                }
            }
        }
        if (segmentFlag(profile)) {
            EXPECT_EQ(segments(babel), segments(wegmate));
            EXPECT_EQ(segments(babel), (std::vector<size_t>{10, 20, 5}));
        }
        const std::vector<Point> b = allPoints(babel), m = allPoints(wegmate);
        ASSERT_EQ(b.size(), m.size());
        ASSERT_EQ(b.size(), 35u);
        for (size_t i = 0; i < b.size(); i++) {
            SCOPED_TRACE(i);
            expectSamePoint(profile, m[i], b[i], TrackPoint, 0, tolerance);
        }
    }
}

// A MIF/MID pair of points as another program would write it.
void writeMif(const std::string& mif, const std::vector<std::vector<std::string>>& rows,
              const std::vector<std::pair<double, double>>& latLon) {
    std::ofstream m(mif, std::ios::binary);
    m << "Version 300\r\nCharset \"WindowsLatin1\"\r\nDelimiter \",\"\r\nCoordSys Earth Projection 1, 104\r\n"
         "Columns 11\r\n  NumberOfRouteOrTrack Smallint\r\n  NameOfRouteOrTrack Char(50)\r\n"
         "  NumberOfPoint Smallint\r\n  NameOfPoint Char(50)\r\n  Time Char(19)\r\n  Altitude Char(10)\r\n"
         "  Comment Char(50)\r\n  NewSegment Char(1)\r\n  Symbol Char(5)\r\n  Display1 Char(3)\r\n"
         "  Display2 Char(3)\r\nData\r\n\r\n";
    char line[100];
    for (const auto& [lat, lon] : latLon) {
        std::snprintf(line, sizeof line, "Point %.9f %.9f\r\n    Symbol (33,15790080,14)\r\n", lon, lat);
        m << line;
    }
    std::ofstream d(mif.substr(0, mif.size() - 4) + ".mid", std::ios::binary);
    for (const std::vector<std::string>& row : rows) {
        for (size_t i = 0; i < row.size(); i++) d << (i ? "," : "") << '"' << utf8ToLatin1(row[i]) << '"';
        d << "\r\n";
    }
}

// Wegmate uploads a file; gpsbabel reads the bytes the receiver kept: what
// the file held, names cut to the format's identifier, comments to its
// comment field.
TEST_P(GpsbabelPeer, ReadsWhatWegmateUploaded) {
    const bool shortNames = d100Family(profile);
    // Waypoints and routes: number, route name, point number, name, time,
    // altitude, comment, new segment, symbol, display codes.
    const std::string wf = dir.path + "/w.mif", rf = dir.path + "/r.mif", tf = dir.path + "/t.mif";
    writeMif(wf,
             {{"0", "", "1", "HUETTE AM SEE", "2021-09-08 01:46:40", "1234",
               "Offen 10:00 bis 18:00, außer montags und am ersten Mai", "1", "10", "0", "0"},
              {"0", "", "2", "P2", "", "", "", "0", "9", "0", "0"},
              {"0", "", "3", "GIPFELKREUZ", "2001-01-01 12:00:00", "2962", "kurz", "0", "8", "0", "0"}},
             {{47.4211, 10.9853}, {-12.5, -77.125}, {47.421111, 10.986111}});
    writeMif(rf,
             {{"1", "RUNDWEG UM DEN GROSSEN SEE", "1", "START", "", "", "", "1", "8", "0", "0"},
              {"1", "RUNDWEG UM DEN GROSSEN SEE", "2", "MITTE", "", "", "", "0", "9", "0", "0"},
              {"2", "ZWEI", "1", "ZIEL", "", "", "", "1", "10", "0", "0"}},
             {{49.1, 9.1}, {49.2, 9.2}, {49.3, 9.3}});
    std::vector<std::vector<std::string>> trackRows;
    std::vector<std::pair<double, double>> trackPositions;
    for (int i = 0; i < 8; i++) {
        const bool second = i >= 6;
        char time[32], alt[16];
        std::snprintf(time, sizeof time, "2020-05-01 10:%02d:%02d", i, 7 * i);
        std::snprintf(alt, sizeof alt, "%d", 500 + 10 * i);
        trackRows.push_back({second ? "2" : "1", second ? "ABEND" : "MORGEN", std::to_string(second ? i - 5 : i + 1),
                             "", time, alt, "", i == 0 || i == 3 || i == 6 ? "1" : "0", "", "", ""});
        trackPositions.push_back({47.1 + i * 0.001, -(11.1 + i * 0.002)});
    }
    writeMif(tf, trackRows, trackPositions);

    Simulator sim(profile);
    sim.rawRecords = true;
    for (int kind : {7, 4, 6}) {
        freshLine(sim);
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(kind == 7 ? wf : kind == 4 ? rf : tf);
        if (kind != 6) ui.queueYesNo(kind == 4);
        if (kind == 6 && trackLogs()) ui.queueYesNo(true);
        runCommand(kind == 6 ? UploadTracks : UploadWaypoints, comPort(1), MapInfoMif, LineObjects);
        const std::vector<std::string> boxes = ui.boxTexts();
        // The first comment is spelled for the receiver ("außer" as AUSSER).
        ASSERT_EQ(boxes.size(), kind == 7 ? 2u : 1u);
        EXPECT_EQ(boxes[0].rfind("Übertragung erfolgreich beendet", 0), 0u) << boxes[0];
        if (kind == 7) {
            EXPECT_EQ(boxes[1].rfind("1 Name oder Kommentar für das GPS-Gerät umgeschrieben", 0), 0u);
        }
        EXPECT_FALSE(ui.answersLeft());
    }
    const std::string w = dir.path + "/w.gpx", r = dir.path + "/r.gpx", t = dir.path + "/t.gpx";
    ASSERT_EQ(gpsbabel(sim, "-w -i garmin -f TTY -o gpx -F " + w), 0);
    ASSERT_EQ(gpsbabel(sim, "-r -i garmin -f TTY -o gpx -F " + r), 0);
    ASSERT_EQ(gpsbabel(sim, "-t -i garmin -f TTY -o gpx -F " + t), 0);
    sim.stop();
    // The upload truncates to whole semicircles.
    const double tolerance = 1.01 * kSemicircle + 1e-9;
    const size_t nameLength = shortNames ? 6 : 50;

    {
        SCOPED_TRACE("waypoints");
        const std::vector<Point> babel = gpxWaypoints(w);
        std::vector<Point> expected = {
            {47.4211, 10.9853, "HUETTE AM SEE", "OFFEN 10:00 BIS 18:00 AUSSER MONTAGS UND AM ERSTEN MAI", "10",
             "2021-09-08 01:46:40", true, 1234},
            {-12.5, -77.125, "P2", "", "9", "", false, 0},
            {47.421111, 10.986111, "GIPFELKREUZ", "KURZ", "8", "2001-01-01 12:00:00", true, 2962}};
        ASSERT_EQ(babel.size(), expected.size());
        for (size_t i = 0; i < babel.size(); i++) {
            SCOPED_TRACE(i);
            expectSamePoint(profile, expected[i], babel[i], Waypoint, nameLength, tolerance);
        }
    }
    {
        SCOPED_TRACE("routes");
        const std::vector<Line> babel = gpxRoutes(r);
        EXPECT_EQ(sizes(babel), (std::vector<size_t>{2, 1}));
        if (babel.size() == 2) {
            if (profile.routeHeaderFormat == SimRouteHeaderFormat::D201) {
                EXPECT_EQ(babel[0].name, "RUNDWEG UM DEN GROSS");  // the 20-character comment
            } else if (profile.routeHeaderFormat == SimRouteHeaderFormat::D202) {
                EXPECT_EQ(babel[0].name, "RUNDWEG UM DEN GROSSEN SEE");
                EXPECT_EQ(babel[1].name, "ZWEI");
            }
            const std::vector<Point> points = allPoints(babel);
            const char* names[] = {"START", "MITTE", "ZIEL"};
            for (size_t i = 0; i < points.size() && i < 3; i++) {
                if (babelReadsNames(profile)) {
                    EXPECT_EQ(trimmed(points[i].name), names[i]);
                }
                EXPECT_NEAR(points[i].lat, 49.1 + 0.1 * (double)i, tolerance);
                EXPECT_NEAR(points[i].lon, 9.1 + 0.1 * (double)i, tolerance);
            }
        }
    }
    {
        SCOPED_TRACE("tracks");
        const std::vector<Line> babel = gpxTracks(t);
        if (trackLogs()) {
            EXPECT_EQ(sizes(babel), (std::vector<size_t>{6, 2}));
            if (babel.size() == 2 && profile.trackHeaderFormat != SimTrackHeaderFormat::D311) {
                EXPECT_EQ(babel[0].name, "MORGEN");
                EXPECT_EQ(babel[1].name, "ABEND");
            }
        }
        if (segmentFlag(profile)) {
            EXPECT_EQ(segments(babel), (std::vector<size_t>{3, 3, 2}));
        }
        const std::vector<Point> points = allPoints(babel);
        ASSERT_EQ(points.size(), trackRows.size());
        for (size_t i = 0; i < points.size(); i++) {
            SCOPED_TRACE(i);
            Point expected;
            expected.lat = trackPositions[i].first;
            expected.lon = trackPositions[i].second;
            expected.time = trackRows[i][ColTime];
            expected.hasAltitude = true;
            expected.altitude = std::atof(trackRows[i][ColAltitude].c_str());
            expectSamePoint(profile, expected, points[i], TrackPoint, 0, tolerance);
        }
    }
}

// gpsbabel uploads a GPX file; Wegmate reads the bytes the receiver kept
// and writes what the GPX file held.
TEST_P(GpsbabelPeer, WegmateReadsWhatGpsbabelUploaded) {
    const std::string in = dir.path + "/in.gpx";
    {
        std::ofstream f(in);
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
             "  <wpt lat=\"50.123456\" lon=\"8.654321\"><ele>123.4</ele><time>2020-05-01T10:00:00Z</time>"
             "<name>UPA</name><cmt>Grün am See</cmt><sym>Residence</sym></wpt>\n"
             "  <wpt lat=\"-33.5\" lon=\"151.25\"><ele>-5</ele><name>UPB2</name><cmt>zweiter</cmt>"
             "<sym>Horn</sym></wpt>\n"
             "  <wpt lat=\"0.000001\" lon=\"-0.5\"><name>UPC</name><cmt>C</cmt><sym>Gas Station</sym></wpt>\n"
             "  <rte><name>TOUR</name>\n"
             "    <rtept lat=\"49.1\" lon=\"9.1\"><name>RTA</name></rtept>\n"
             "    <rtept lat=\"49.2\" lon=\"9.2\"><name>RTB</name></rtept>\n"
             "    <rtept lat=\"49.3\" lon=\"9.3\"><name>RTC</name></rtept>\n"
             "  </rte>\n"
             "  <trk><name>WALK</name><trkseg>\n"
             "    <trkpt lat=\"47.1\" lon=\"11.1\"><ele>500</ele><time>2020-05-01T10:00:00Z</time></trkpt>\n"
             "    <trkpt lat=\"47.2\" lon=\"11.2\"><ele>510</ele><time>2020-05-01T10:01:00Z</time></trkpt>\n"
             "  </trkseg><trkseg>\n"
             "    <trkpt lat=\"47.3\" lon=\"11.3\"><ele>520</ele><time>2020-05-01T10:02:00Z</time></trkpt>\n"
             "  </trkseg></trk>\n"
             "</gpx>\n";
    }
    Simulator sim(profile);
    sim.rawRecords = true;
    ASSERT_EQ(gpsbabel(sim, "-w -i gpx -f " + in + " -o garmin -F TTY"), 0);
    ASSERT_EQ(gpsbabel(sim, "-r -i gpx -f " + in + " -o garmin -F TTY"), 0);
    ASSERT_EQ(gpsbabel(sim, "-t -i gpx -f " + in + " -o garmin -F TTY"), 0);
    const std::vector<Row> ww = wegmateDownload(sim, 7, "w");
    const std::vector<Row> wr = wegmateDownload(sim, 4, "r");
    const std::vector<Row> wt =
        profile.trackHeaderFormat == SimTrackHeaderFormat::D311 ? std::vector<Row>{} : wegmateDownload(sim, 6, "t");
    sim.stop();
    const double tolerance = 1.5 * kSemicircle;  // gpsbabel rounds to semicircles
    const std::vector<Point> gpxWpts = gpxWaypoints(in);
    const std::vector<Line> gpxRtes = gpxRoutes(in), gpxTrks = gpxTracks(in);

    {
        SCOPED_TRACE("waypoints");
        ASSERT_EQ(ww.size(), gpxWpts.size());
        for (size_t i = 0; i < ww.size(); i++) {
            SCOPED_TRACE(i);
            const Point got = rowPoint(ww[i]);
            const Point& want = gpxWpts[i];
            EXPECT_NEAR(got.lat, want.lat, tolerance);
            EXPECT_NEAR(got.lon, want.lon, tolerance);
            if (babelReadsNames(profile)) {
                EXPECT_EQ(trimmed(got.name), want.name);
            }
            // The D100 family is sent in capitals without blanks by gpsbabel.
            if (!d100Family(profile)) {
                EXPECT_EQ(got.comment, want.comment);
            }
            if (waypointSymbol(profile) && profile.waypointFormat != SimWaypointFormat::D103) {
                EXPECT_EQ(symbolName(profile, std::atoi(got.symbol.c_str())), want.symbol);
            }
            if (waypointAltitude(profile)) {
                EXPECT_EQ(got.hasAltitude, want.hasAltitude);
                EXPECT_EQ((int)got.altitude, (int)want.altitude);
            }
            if (waypointTime(profile)) {
                EXPECT_EQ(got.time, want.time);
            }
        }
    }
    {
        SCOPED_TRACE("routes");
        std::vector<Line> got = rowLines(wr);
        if (!profile.routeLinks && got.size() == 1) {
            // Without links (A200) gpsbabel puts a waypoint with a blank
            // name between every two route points.
            std::vector<Point> named;
            for (const Point& p : got[0].points)
                if (!trimmed(p.name).empty()) named.push_back(p);
            EXPECT_EQ(got[0].points.size(), 2 * named.size() - 1);
            got[0].points = named;
        }
        ASSERT_EQ(sizes(got), sizes(gpxRtes));
        if (profile.routeHeaderFormat == SimRouteHeaderFormat::D202) {
            EXPECT_EQ(got[0].name, "TOUR");
        } else if (profile.routeHeaderFormat == SimRouteHeaderFormat::D201) {
            EXPECT_EQ(trimmed(got[0].name), "");  // gpsbabel leaves the D201 comment blank
        }
        for (size_t i = 0; i < got[0].points.size(); i++) {
            if (babelReadsNames(profile)) {
                EXPECT_EQ(trimmed(got[0].points[i].name), gpxRtes[0].points[i].name);
            }
            EXPECT_NEAR(got[0].points[i].lat, gpxRtes[0].points[i].lat, tolerance);
            EXPECT_NEAR(got[0].points[i].lon, gpxRtes[0].points[i].lon, tolerance);
        }
    }
    if (profile.trackHeaderFormat != SimTrackHeaderFormat::D311) {
        // (gpsbabel sends no track log to an A302 receiver.)
        SCOPED_TRACE("tracks");
        std::vector<Line> got = rowLines(wt);
        if (!trackLogs() && got.size() == 1 && !got[0].points.empty() && got[0].points[0].lat == 0 &&
            got[0].points[0].lon == 0) {
            // Without track headers (A300) gpsbabel starts with a point at 0, 0.
            got[0].points.erase(got[0].points.begin());
        }
        ASSERT_EQ(sizes(got), sizes(gpxTrks));
        if (trackLogs()) {
            EXPECT_EQ(got[0].name, "WALK");
        }
        if (segmentFlag(profile) && trackLogs()) {
            EXPECT_EQ(segments(got), segments(gpxTrks));
        }
        for (size_t i = 0; i < got[0].points.size(); i++) {
            SCOPED_TRACE(i);
            expectSamePoint(profile, gpxTrks[0].points[i], got[0].points[i], TrackPoint, 0, tolerance);
        }
    }
}

// Garmin's symbols as gpsbabel names and numbers them: every name of the
// table goes from a GPX file to the receiver through gpsbabel (its number
// must be the table's), and through Wegmate's upload back to gpsbabel's
// GPX (its name must be the table's, spelled the same).
TEST(GpsbabelSymbols, NamesAndNumbersAgreeBothWays) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed: the independent check is skipped";
    TempDir dir{"symbols"};
    const std::span<const GarminSymbol> symbols = garminSymbols();
    const std::string in = dir.path + "/symbols.gpx";
    {
        std::ofstream f(in);
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
        for (size_t i = 0; i < symbols.size(); i++)
            f << "<wpt lat=\"" << 47.0 + 0.001 * (double)i << "\" lon=\"11\"><name>S" << i << "</name><sym>"
              << symbols[i].name << "</sym></wpt>\n";
        f << "</gpx>\n";
    }
    const SimProfile& profile = *findSimProfile("d109");  // 16-bit symbols
    std::string disagreements;
    {
        Simulator sim(profile);
        const std::string tty = sim.startPty();
        ASSERT_EQ(runGpsbabel("-w -i gpx -f " + in + " -o garmin -F " + tty), 0);
        sim.stop();
        const std::vector<SimWaypoint> got = sim.uploadLog().waypoints;
        ASSERT_EQ(got.size(), symbols.size());
        for (size_t i = 0; i < got.size(); i++)
            if (got[i].symbol != symbols[i].number)
                disagreements += std::string(symbols[i].name) + ": gpsbabel sends " + std::to_string(got[i].symbol) +
                                 ", the table has " + std::to_string(symbols[i].number) + "\n";
    }
    {
        Simulator sim(profile);
        sim.rawRecords = true;
        setSerialDeviceOverride(1, sim.startPty());
        ScriptedPlatform ui;
        ui.queueOpenFile(in);
        ui.queueYesNo(false);
        runCommand(UploadWaypoints, comPort(1), Gpx, PointObjects);
        setSerialDeviceOverride(1, "");
        ASSERT_EQ(ui.boxTexts().size(), 1u);
        EXPECT_EQ(ui.boxTexts()[0].rfind("Übertragung erfolgreich beendet", 0), 0u) << ui.boxTexts()[0];
        sim.stop();
        const std::string out = dir.path + "/back.gpx";
        ASSERT_EQ(runGpsbabel("-w -i garmin -f " + sim.startPty() + " -o gpx -F " + out), 0);
        sim.stop();
        const std::vector<std::string> wpts = blocks(readFile(out), "wpt");
        ASSERT_EQ(wpts.size(), symbols.size());
        for (size_t i = 0; i < wpts.size(); i++)
            if (element(wpts[i], "sym") != symbols[i].name)
                disagreements += std::to_string(symbols[i].number) + ": gpsbabel reads \"" +
                                 element(wpts[i], "sym") + "\", the table has \"" + symbols[i].name + "\"\n";
    }
    EXPECT_EQ(disagreements, "");
}

INSTANTIATE_TEST_SUITE_P(Profiles, GpsbabelPeer, ::testing::ValuesIn(peerProfiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
