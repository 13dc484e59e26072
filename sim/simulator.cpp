// The receiver simulator: profiles, data, its text format and the protocol
// engine that builds download sequences and takes uploads apart.

#include "sim/simulator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/sim_impl.h"
#include "model/point_table.h"
#include "records/record_formats.h"

namespace {

// ---------------------------------------------------------------- profiles

std::vector<SimProtocol> parseProtocols(const char* text) {
    std::vector<SimProtocol> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) out.push_back({word[0], (int16_t)std::atoi(word.c_str() + 1)});
    return out;
}

SimProfile makeProfile(const char* name, uint16_t productId, uint16_t version, const char* description, bool sendsArray,
                       const char* protocols, SimWaypointFormat waypoints, SimRouteHeaderFormat routeHeaders,
                       bool routeLinks, SimTrackHeaderFormat trackHeaders, SimTrackPointFormat trackPoints) {
    SimProfile p;
    p.name = name;
    p.productId = productId;
    p.version = version;
    p.description = description;
    p.sendsArray = sendsArray;
    p.protocols = parseProtocols(protocols);
    p.waypointFormat = waypoints;
    p.routeHeaderFormat = routeHeaders;
    p.routeLinks = routeLinks;
    p.trackHeaderFormat = trackHeaders;
    p.trackPointFormat = trackPoints;
    return p;
}

std::vector<SimProfile> makeProfiles() {
    using W = SimWaypointFormat;
    using R = SimRouteHeaderFormat;
    using H = SimTrackHeaderFormat;
    using T = SimTrackPointFormat;
    std::vector<SimProfile> list;
    list.push_back(makeProfile("etrex", 411, 310, "eTrex Legend Software Version 3.10", true,
                               "P000 L001 A010 A100 D108 A201 D202 D108 D210 A301 D310 D301 "
                               "A500 D501 A600 D600 A700 D700 A800 D800",
                               W::D108, R::D202, true, H::D310, T::D301));
    // Without an array the program falls back to its lists: the eTrex list,
    // the GPS 76 list and the list for every other receiver. The protocols
    // are the ones of that list, for tests that switch sendsArray on.
    list.push_back(makeProfile("etrex2", 130, 215, "eTrex Software Version 2.15", false,
                               "A100 A201 A301 D108 D202 D210 D301 D310", W::D108, R::D202, true, H::D310, T::D301));
    list.push_back(makeProfile("gps76", 439, 260, "GPS 76 Software Version 2.60", false,
                               "P000 L001 A010 A100 D109 A201 D202 D109 D210 A301 D310 D301 "
                               "A500 D501 A600 D600 A700 D700 A800 D800",
                               W::D109, R::D202, true, H::D310, T::D301));
    list.push_back(makeProfile("d100", 77, 460, "GPS 12XL Software Version 4.60", false,
                               "P000 L001 A010 A100 D103 A200 D201 D103 A300 D300", W::D103, R::D201, false, H::None,
                               T::D300));
    SimProfile d110 = makeProfile("d110", 695, 350, "GPSMAP 60CSx Software Version 3.50", true,
                                  "P000 L001 A010 A100 D110 A201 D202 D110 D210 A301 D312 D304 "
                                  "A500 D501 A600 D600 A700 D700 A800 D800",
                                  W::D110, R::D202, true, H::D312, T::D304);
    d110.sendsExtProduct = true;
    list.push_back(d110);
    // One profile per remaining record format, each with its protocol array.
    list.push_back(makeProfile("gps38", 41, 250, "GPS 38 Software Version 2.50", true,
                               "P000 L001 A010 A100 D100 A200 D200 D100 A300 D300", W::D100, R::D200, false, H::None,
                               T::D300));
    list.push_back(makeProfile("d101", 29, 330, "GPS 12 Software Version 3.30", true,
                               "P000 L001 A010 A100 D101 A201 D200 D101 D210 A300 D300", W::D101, R::D200, true,
                               H::None, T::D300));
    list.push_back(makeProfile("d102", 44, 410, "GPS II Plus Software Version 4.10", true,
                               "P000 L001 A010 A100 D102 A201 D201 D102 D210 A301 D310 D302", W::D102, R::D201, true,
                               H::D310, T::D302));
    list.push_back(makeProfile("d103", 96, 310, "GPS 45 XL Software Version 3.10", true,
                               "P000 L001 A010 A100 D103 A200 D201 D103 A300 D300", W::D103, R::D201, false, H::None,
                               T::D300));
    list.push_back(makeProfile("d104", 73, 250, "GPS 12CX Software Version 2.50", true,
                               "P000 L001 A010 A100 D104 A201 D202 D104 D210 A301 D312 D303", W::D104, R::D202, true,
                               H::D312, T::D303));
    list.push_back(makeProfile("d109", 291, 430, "GPSMAP 76 Software Version 4.30", true,
                               "P000 L001 A010 A100 D109 A201 D202 D109 D210 A301 D312 D302", W::D109, R::D202, true,
                               H::D312, T::D302));
    list.push_back(makeProfile("d107", 105, 220, "Forerunner Software Version 2.20", true,
                               "P000 L001 A010 A100 D107 A201 D202 D107 D210 A302 D311 D304", W::D107, R::D202, true,
                               H::D311, T::D304));
    list.push_back(makeProfile("d105", 112, 300, "StreetPilot Software Version 3.00", true,
                               "P000 L001 A010 A100 D105 A201 D201 D105 D210 A300 D300", W::D105, R::D201, true,
                               H::None, T::D300));
    list.push_back(makeProfile("d106", 155, 200, "StreetPilot III Software Version 2.00", true,
                               "P000 L001 A010 A100 D106 A201 D202 D106 D210 A301 D310 D301", W::D106, R::D202, true,
                               H::D310, T::D301));
    return list;
}

const std::vector<SimProfile>& profiles() {
    static const std::vector<SimProfile> list = makeProfiles();
    return list;
}

// ---------------------------------------------------------------- formats

WaypointFormat toFormat(SimWaypointFormat f) {
    switch (f) {
    case SimWaypointFormat::D100: return WaypointFormat::D100;
    case SimWaypointFormat::D101: return WaypointFormat::D101;
    case SimWaypointFormat::D102: return WaypointFormat::D102;
    case SimWaypointFormat::D103: return WaypointFormat::D103;
    case SimWaypointFormat::D104: return WaypointFormat::D104;
    case SimWaypointFormat::D105: return WaypointFormat::D105;
    case SimWaypointFormat::D106: return WaypointFormat::D106;
    case SimWaypointFormat::D107: return WaypointFormat::D107;
    case SimWaypointFormat::D108: return WaypointFormat::D108;
    case SimWaypointFormat::D109: return WaypointFormat::D109;
    case SimWaypointFormat::D110: return WaypointFormat::D110;
    }
    return WaypointFormat::D100;
}

RouteHeaderFormat toFormat(SimRouteHeaderFormat f) {
    switch (f) {
    case SimRouteHeaderFormat::D200: return RouteHeaderFormat::D200;
    case SimRouteHeaderFormat::D201: return RouteHeaderFormat::D201;
    case SimRouteHeaderFormat::D202: return RouteHeaderFormat::D202;
    }
    return RouteHeaderFormat::D200;
}

TrackHeaderFormat toFormat(SimTrackHeaderFormat f) {
    switch (f) {
    case SimTrackHeaderFormat::None: return TrackHeaderFormat::None;
    case SimTrackHeaderFormat::D310: return TrackHeaderFormat::D310;
    case SimTrackHeaderFormat::D311: return TrackHeaderFormat::D311;
    case SimTrackHeaderFormat::D312: return TrackHeaderFormat::D312;
    }
    return TrackHeaderFormat::None;
}

TrackPointFormat toFormat(SimTrackPointFormat f) {
    switch (f) {
    case SimTrackPointFormat::D300: return TrackPointFormat::D300;
    case SimTrackPointFormat::D301: return TrackPointFormat::D301;
    case SimTrackPointFormat::D302: return TrackPointFormat::D302;
    case SimTrackPointFormat::D303: return TrackPointFormat::D303;
    case SimTrackPointFormat::D304: return TrackPointFormat::D304;
    }
    return TrackPointFormat::D300;
}

bool isD100Family(SimWaypointFormat f) {
    return f != SimWaypointFormat::D108 && f != SimWaypointFormat::D109 && f != SimWaypointFormat::D110 &&
           f != SimWaypointFormat::D105 && f != SimWaypointFormat::D106;
}

// Where the positions lie in a waypoint record.
int positionOffset(SimWaypointFormat f) {
    if (f == SimWaypointFormat::D105) return 0;
    if (f == SimWaypointFormat::D106) return 14;
    return isD100Family(f) ? 6 : 24;
}

void put32(uint8_t* p, int32_t v) {
    uint32_t u = (uint32_t)v;
    for (int i = 0; i < 4; i++) p[i] = (uint8_t)(u >> (8 * i));
}

// Degrees to semicircles, rounded: the simulator's own positions go out
// exactly as it holds them.
int32_t toSemicircles(double degrees) {
    double s = std::llround(degrees * 2147483648.0 / 180.0);
    if (s > 2147483647.0) s = -2147483648.0;  // 180 degrees wraps to -180
    return (int32_t)(int64_t)s;
}

double exactDegrees(double degrees) { return toSemicircles(degrees) * 180.0 / 2147483648.0; }

std::string trimRight(const char* text) {
    std::string s = text;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

PointRecord waypointRecord(const SimWaypoint& w) {
    PointRecord r;
    std::memset(&r, 0, sizeof r);
    copyName(r.NameOfPoint, w.name.c_str());
    copyName(r.Comment, w.comment.c_str());
    r.Latitude = w.lat;
    r.Longitude = w.lon;
    r.Altitude = w.altitude;
    r.Time = (int32_t)w.time;
    r.Symbol = w.symbol;
    r.Display1 = w.display;
    r.Display2 = w.color;
    r.HasSymbol = 1;
    return r;
}

SimPacket waypointPacket(uint8_t id, const SimWaypoint& w, SimWaypointFormat format) {
    uint8_t out[255];
    PointRecord r = waypointRecord(w);
    int n = encodeWaypoint(r, toFormat(format), out);
    int offset = positionOffset(format);
    put32(out + offset, toSemicircles(w.lat));
    put32(out + offset + 4, toSemicircles(w.lon));
    return SimPacket{id, std::vector<uint8_t>(out, out + n)};
}

SimWaypoint waypointFromPacket(const SimPacket& p, SimWaypointFormat format) {
    PointRecord r;
    std::memset(&r, 0, sizeof r);
    decodeWaypoint(p.data.data(), (int)p.data.size(), toFormat(format), r);
    SimWaypoint w;
    w.name = isD100Family(format) ? trimRight(r.NameOfPoint) : r.NameOfPoint;
    w.comment = isD100Family(format) ? trimRight(r.Comment) : r.Comment;
    w.lat = r.Latitude;
    w.lon = r.Longitude;
    w.altitude = r.Altitude;
    w.time = (uint32_t)r.Time;
    w.symbol = r.Symbol;
    w.display = r.Display1;
    w.color = r.Display2;
    return w;
}

SimPacket simplePacket(uint8_t id, std::initializer_list<uint8_t> bytes) {
    return SimPacket{id, std::vector<uint8_t>(bytes)};
}

}  // namespace

const SimProfile* findSimProfile(const std::string& name) {
    for (const SimProfile& p : profiles())
        if (p.name == name) return &p;
    return nullptr;
}

std::vector<std::string> simProfileNames() {
    std::vector<std::string> names;
    for (const SimProfile& p : profiles()) names.push_back(p.name);
    return names;
}

// ---------------------------------------------------------------- Simulator

Simulator::Simulator(const SimProfile& p) : profile(p), impl_(new Impl(*this)) {}

Simulator::~Simulator() { stop(); }

void Simulator::generate(int nWaypoints, int nRoutes, int pointsPerRoute, int nTracks, int pointsPerTrack) {
    waypoints.clear();
    routes.clear();
    tracks.clear();
    for (int i = 0; i < nWaypoints; i++) {
        SimWaypoint w;
        char name[16];
        snprintf(name, sizeof name, "WP%04d", (i + 1) % 10000);
        w.name = name;
        w.comment = "Punkt " + std::to_string(i + 1);
        w.lat = exactDegrees(50.0 + (i % 100) * 0.01 + (i / 100) * 0.0001);
        w.lon = exactDegrees(8.0 + (i % 100) * 0.013 - (i / 100) * 0.0001);
        w.altitude = (float)(100 + i % 500);
        w.time = 1000000000u + (uint32_t)i * 60u;
        w.symbol = (uint16_t)(8 + i % 3);
        waypoints.push_back(w);
    }
    for (int r = 0; r < nRoutes; r++) {
        SimRoute route;
        route.number = r + 1;
        route.name = "ROUTE " + std::to_string(r + 1);
        for (int i = 0; i < pointsPerRoute; i++) {
            SimWaypoint w;
            char name[16];
            snprintf(name, sizeof name, "R%02d%03d", (r + 1) % 100, (i + 1) % 1000);
            w.name = name;
            w.comment = "Route " + std::to_string(r + 1) + " Punkt " + std::to_string(i + 1);
            w.lat = exactDegrees(49.0 + r * 0.1 + i * 0.002);
            w.lon = exactDegrees(9.0 - r * 0.1 + i * 0.003);
            w.altitude = (float)(200 + i);
            w.symbol = 18;
            route.points.push_back(w);
        }
        routes.push_back(route);
    }
    for (int t = 0; t < nTracks; t++) {
        SimTrack track;
        char name[16];
        snprintf(name, sizeof name, "TRACK%02d", (t + 1) % 100);
        track.name = name;
        track.index = t;
        track.display = 1;
        track.color = (uint8_t)(t % 16);
        for (int i = 0; i < pointsPerTrack; i++) {
            SimTrackPoint p;
            p.lat = exactDegrees(48.0 + t * 0.05 + i * 0.0001);
            p.lon = exactDegrees(11.0 + t * 0.05 + i * 0.00015);
            p.altitude = (float)(500 + (i % 200));
            p.time = 1000000000u + (uint32_t)t * 86400u + (uint32_t)i * 5u;
            p.newSegment = (i % 50) == 0;
            track.points.push_back(p);
        }
        tracks.push_back(track);
    }
}

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

bool toDouble(const std::string& s, double& out) {
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return !s.empty() && *end == 0;
}

bool toLong(const std::string& s, long long& out) {
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, 10);
    return !s.empty() && *end == 0;
}

bool parseWaypoint(const std::vector<std::string>& f, SimWaypoint& w) {
    if (f.size() != 10) return false;
    double lat, lon, alt;
    long long time, symbol, display, color;
    if (!toDouble(f[3], lat) || !toDouble(f[4], lon) || !toDouble(f[5], alt) || !toLong(f[6], time) ||
        !toLong(f[7], symbol) || !toLong(f[8], display) || !toLong(f[9], color))
        return false;
    w.name = f[1];
    w.comment = f[2];
    w.lat = lat;
    w.lon = lon;
    w.altitude = (float)alt;
    w.time = (uint32_t)time;
    w.symbol = (uint16_t)symbol;
    w.display = (uint8_t)display;
    w.color = (uint8_t)color;
    return true;
}

void writeWaypoint(std::ostream& out, char kind, const SimWaypoint& w) {
    char buffer[128];
    snprintf(buffer, sizeof buffer, "\t%.17g\t%.17g\t%.9g\t%u\t%u\t%u\t%u", w.lat, w.lon, (double)w.altitude, w.time,
             w.symbol, w.display, w.color);
    out << kind << '\t' << w.name << '\t' << w.comment << buffer << '\n';
}

}  // namespace

bool Simulator::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<SimWaypoint> w;
    std::vector<SimRoute> r;
    std::vector<SimTrack> t;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f = splitTabs(line);
        if (f[0] == "W" || f[0] == "P") {
            SimWaypoint p;
            if (!parseWaypoint(f, p)) return false;
            if (f[0] == "W") {
                w.push_back(p);
            } else {
                if (r.empty()) return false;
                r.back().points.push_back(p);
            }
        } else if (f[0] == "R") {
            long long number;
            if (f.size() != 3 || !toLong(f[1], number)) return false;
            SimRoute route;
            route.number = (int)number;
            route.name = f[2];
            r.push_back(route);
        } else if (f[0] == "T") {
            long long index, display, color;
            if (f.size() != 5 || !toLong(f[1], index) || !toLong(f[3], display) || !toLong(f[4], color)) return false;
            SimTrack track;
            track.index = (int)index;
            track.name = f[2];
            track.display = (uint8_t)display;
            track.color = (uint8_t)color;
            t.push_back(track);
        } else if (f[0] == "S") {
            double lat, lon, alt;
            long long time, seg;
            if (f.size() != 6 || t.empty() || !toDouble(f[1], lat) || !toDouble(f[2], lon) || !toDouble(f[3], alt) ||
                !toLong(f[4], time) || !toLong(f[5], seg))
                return false;
            SimTrackPoint p;
            p.lat = lat;
            p.lon = lon;
            p.altitude = (float)alt;
            p.time = (uint32_t)time;
            p.newSegment = seg != 0;
            t.back().points.push_back(p);
        } else {
            return false;
        }
    }
    waypoints = w;
    routes = r;
    tracks = t;
    return true;
}

bool Simulator::save(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out << "# wegmate-sim data: W/P name comment lat lon alt time symbol display color; "
           "R number name; T index name display color; S lat lon alt time newSegment\n";
    for (const SimWaypoint& w : waypoints) writeWaypoint(out, 'W', w);
    for (const SimRoute& r : routes) {
        out << "R\t" << r.number << '\t' << r.name << '\n';
        for (const SimWaypoint& w : r.points) writeWaypoint(out, 'P', w);
    }
    for (const SimTrack& t : tracks) {
        out << "T\t" << t.index << '\t' << t.name << '\t' << (int)t.display << '\t' << (int)t.color << '\n';
        for (const SimTrackPoint& p : t.points) {
            char buffer[128];
            snprintf(buffer, sizeof buffer, "S\t%.17g\t%.17g\t%.9g\t%u\t%d\n", p.lat, p.lon, (double)p.altitude, p.time,
                     p.newSegment ? 1 : 0);
            out << buffer;
        }
    }
    out.flush();
    return (bool)out;
}

SimUploadLog Simulator::uploadLog() const {
    std::lock_guard<std::mutex> lock(impl_->engine.mutex);
    return impl_->engine.log;
}

void Simulator::clearUploadLog() {
    std::lock_guard<std::mutex> lock(impl_->engine.mutex);
    impl_->engine.log = SimUploadLog();
}

std::vector<uint8_t> Simulator::hostPacketIds() const {
    std::lock_guard<std::mutex> lock(impl_->engine.mutex);
    return impl_->engine.hostIds;
}

std::vector<std::vector<uint8_t>> Simulator::usbWrites() const {
    std::lock_guard<std::mutex> lock(impl_->engine.mutex);
    return impl_->usb.usbWriteLog;
}

// ---------------------------------------------------------------- engine

std::vector<SimPacket> SimEngine::productAnswer() const {
    std::vector<SimPacket> out;
    const SimProfile& p = sim.profile;
    SimPacket product;
    product.id = 255;
    product.data = {(uint8_t)p.productId, (uint8_t)(p.productId >> 8), (uint8_t)p.version, (uint8_t)(p.version >> 8)};
    for (char c : p.description) product.data.push_back((uint8_t)c);
    product.data.push_back(0);
    if (product.data.size() > 255) product.data.resize(255);
    out.push_back(product);
    for (int e = 0; p.sendsExtProduct && e < p.extProductPackets; e++) {
        SimPacket ext;
        ext.id = 248;
        const char* text = "SIM EXTENDED DATA";
        ext.data.assign(text, text + strlen(text) + 1);
        out.push_back(ext);
    }
    if (p.sendsArray) {
        SimPacket array;
        array.id = 253;
        for (const SimProtocol& e : p.protocols) {
            if (array.data.size() + 3 > 255) break;
            array.data.push_back((uint8_t)e.tag);
            array.data.push_back((uint8_t)e.number);
            array.data.push_back((uint8_t)((uint16_t)e.number >> 8));
        }
        out.push_back(array);
    }
    return out;
}

std::vector<SimPacket> SimEngine::downloadSequence(int command) const {
    const SimProfile& prof = sim.profile;
    std::vector<SimPacket> records;
    uint8_t out[255];
    if (sim.rawRecords) {
        if (command == 7) records = sim.rawWaypoints;
        if (command == 4) records = sim.rawRoutes;
        if (command == 6) records = sim.rawTracks;
    } else if (command == 7) {
        for (const SimWaypoint& w : sim.waypoints) records.push_back(waypointPacket(35, w, prof.waypointFormat));
    } else if (command == 4) {
        for (const SimRoute& r : sim.routes) {
            PointRecord h;
            std::memset(&h, 0, sizeof h);
            h.NumberOfRouteOrTrack = r.number;
            copyName(h.NameOfRouteOrTrack, r.name.c_str());
            int n = encodeRouteHeader(h, toFormat(prof.routeHeaderFormat), out);
            records.push_back(SimPacket{29, std::vector<uint8_t>(out, out + n)});
            for (size_t i = 0; i < r.points.size(); i++) {
                if (i > 0 && prof.routeLinks) {
                    int m = encodeRouteLink(out);
                    records.push_back(SimPacket{98, std::vector<uint8_t>(out, out + m)});
                }
                records.push_back(waypointPacket(30, r.points[i], prof.waypointFormat));
            }
        }
    } else if (command == 6) {
        const bool headers = prof.trackHeaderFormat != SimTrackHeaderFormat::None;
        const bool gaps =
            prof.trackPointFormat == SimTrackPointFormat::D303 || prof.trackPointFormat == SimTrackPointFormat::D304;
        for (const SimTrack& t : sim.tracks) {
            if (headers) {
                PointRecord h;
                std::memset(&h, 0, sizeof h);
                h.NumberOfRouteOrTrack = t.index;
                copyName(h.NameOfRouteOrTrack, t.name.c_str());
                h.Display1 = t.display;
                h.Display2 = t.color;
                h.HasSymbol = 1;
                int n = encodeTrackHeader(h, toFormat(prof.trackHeaderFormat), true, out);
                if (prof.trackHeaderFormat == SimTrackHeaderFormat::D311) {
                    out[0] = (uint8_t)t.index;
                    out[1] = (uint8_t)(t.index >> 8);
                }
                records.push_back(SimPacket{99, std::vector<uint8_t>(out, out + n)});
            }
            for (size_t i = 0; i < t.points.size(); i++) {
                const SimTrackPoint& p = t.points[i];
                PointRecord r;
                std::memset(&r, 0, sizeof r);
                r.Latitude = p.lat;
                r.Longitude = p.lon;
                r.Altitude = p.altitude;
                r.Time = (int32_t)p.time;
                // Without headers a new track shows as a new segment.
                r.NewSegment = p.newSegment || (!headers && i == 0);
                if (gaps && p.newSegment && i > 0) {
                    // Two gap markers in a row start a new segment.
                    PointRecord g = r;
                    int n = encodeTrackPoint(g, toFormat(prof.trackPointFormat), out);
                    put32(out, 0x7FFFFFFF);
                    put32(out + 4, 0x7FFFFFFF);
                    records.push_back(SimPacket{34, std::vector<uint8_t>(out, out + n)});
                    records.push_back(SimPacket{34, std::vector<uint8_t>(out, out + n)});
                }
                int n = encodeTrackPoint(r, toFormat(prof.trackPointFormat), out);
                put32(out, toSemicircles(p.lat));
                put32(out + 4, toSemicircles(p.lon));
                records.push_back(SimPacket{34, std::vector<uint8_t>(out, out + n)});
            }
        }
    }
    const SimFaults& f = sim.faults;
    int count = (int)records.size() + f.recordsCountDelta;
    if (count < 0) count = 0;
    std::vector<SimPacket> seq;
    seq.push_back(simplePacket(27, {(uint8_t)count, (uint8_t)(count >> 8)}));
    size_t limit = records.size();
    if (f.endAfterRecords >= 0 && (size_t)f.endAfterRecords < limit) limit = (size_t)f.endAfterRecords;
    for (size_t i = 0; i < limit; i++) seq.push_back(records[i]);
    seq.push_back(simplePacket(12, {(uint8_t)command, 0}));
    return seq;
}

bool SimEngine::otherAnswer(int command, SimPacket& out) const {
    if (command == 5) {  // date and time, D600
        out = simplePacket(14, {12, 8, 0xEA, 0x07, 12, 0, 30, 0});
        return true;
    }
    if (command == 2) {  // position, D700 (radians as doubles)
        double lat = 50.0 * M_PI / 180.0;
        double lon = 8.0 * M_PI / 180.0;
        out.id = 17;
        out.data.resize(16);
        std::memcpy(out.data.data(), &lat, 8);
        std::memcpy(out.data.data() + 8, &lon, 8);
        return true;
    }
    return false;
}

bool SimEngine::isUploadPacket(uint8_t id) {
    return id == 27 || id == 35 || id == 29 || id == 30 || id == 98 || id == 99 || id == 34 || id == 12;
}

bool SimEngine::isDataRecord(uint8_t id) {
    return id == 35 || id == 29 || id == 30 || id == 98 || id == 99 || id == 34;
}

void SimEngine::noteHostId(uint8_t id) {
    std::lock_guard<std::mutex> lock(mutex);
    hostIds.push_back(id);
}

bool SimEngine::countHostPacket(uint8_t) {
    int n = ++sim.hostPackets_;
    const SimFaults& f = sim.faults;
    return f.nakBurst > 0 && n >= f.nakFrom && n < f.nakFrom + f.nakBurst;
}

bool SimEngine::silencedAt(SimStage stage) {
    const SimFaults& f = sim.faults;
    if (f.silenceStage != stage || f.silenceMs == 0) return false;
    if (f.silenceMs < 0) return true;
    SimClock::time_point now = SimClock::now();
    if (!silenceStarted) {
        silenceStarted = true;
        silenceUntil = now + std::chrono::milliseconds(f.silenceMs);
    }
    return now < silenceUntil;
}

void SimEngine::acceptUpload(const SimPacket& p) {
    const SimProfile& prof = sim.profile;
    std::lock_guard<std::mutex> lock(mutex);
    log.packets.push_back(p);
    const uint8_t* d = p.data.data();
    int size = (int)p.data.size();
    if (sim.rawRecords) {
        // Kept as received, in the list of its kind; nothing is decoded.
        if (p.id == 35) sim.rawWaypoints.push_back(p);
        if (p.id == 29 || p.id == 30 || p.id == 98) sim.rawRoutes.push_back(p);
        if (p.id == 99 || p.id == 34) sim.rawTracks.push_back(p);
        if (isDataRecord(p.id)) log.recordPackets++;
        if (p.id == 98) log.routeLinks++;
        if (p.id == 27) log.announcedRecords += size >= 2 ? (d[0] | (d[1] << 8)) : 0;
        if (p.id == 12) {
            log.transfers++;
            log.transferCompleteCount = size >= 2 ? (d[0] | (d[1] << 8)) : 0;
        }
        return;
    }
    switch (p.id) {
    case 27:
        log.announcedRecords += size >= 2 ? (d[0] | (d[1] << 8)) : 0;
        uploadRouteHeaders = 0;
        uploadHasTrack = false;
        break;
    case 35: {
        log.recordPackets++;
        SimWaypoint w = waypointFromPacket(p, prof.waypointFormat);
        log.waypoints.push_back(w);
        if (sim.storeUploads) {
            bool replaced = false;
            for (SimWaypoint& old : sim.waypoints)
                if (old.name == w.name) {
                    old = w;
                    replaced = true;
                }
            if (!replaced) sim.waypoints.push_back(w);
        }
        break;
    }
    case 29: {
        log.recordPackets++;
        RouteHeader h;
        std::memset(&h, 0, sizeof h);
        decodeRouteHeader(d, size, toFormat(prof.routeHeaderFormat), ++uploadRouteHeaders, h);
        SimRoute r;
        r.number = h.number;
        r.name = h.name;
        log.routes.push_back(r);
        if (sim.storeUploads) sim.routes.push_back(r);
        break;
    }
    case 30: {
        log.recordPackets++;
        SimWaypoint w = waypointFromPacket(p, prof.waypointFormat);
        if (log.routes.empty()) log.routes.push_back(SimRoute());
        log.routes.back().points.push_back(w);
        if (sim.storeUploads) {
            if (sim.routes.empty()) sim.routes.push_back(SimRoute());
            sim.routes.back().points.push_back(w);
        }
        break;
    }
    case 98:
        log.recordPackets++;
        log.routeLinks++;
        break;
    case 99: {
        log.recordPackets++;
        TrackHeader h;
        std::memset(&h, 0, sizeof h);
        TrackHeaderFormat format = toFormat(prof.trackHeaderFormat);
        if (format == TrackHeaderFormat::None) format = TrackHeaderFormat::D310;
        decodeTrackHeader(d, size, format, h);
        SimTrack t;
        t.name = h.name;
        t.index = size >= 2 && format == TrackHeaderFormat::D311 ? (d[0] | (d[1] << 8)) : (int)log.tracks.size();
        t.display = size >= 1 ? d[0] : 0;
        t.color = size >= 2 ? d[1] : 0;
        log.tracks.push_back(t);
        if (sim.storeUploads) sim.tracks.push_back(t);
        uploadHasTrack = true;
        break;
    }
    case 34: {
        log.recordPackets++;
        PointRecord r;
        std::memset(&r, 0, sizeof r);
        TrackPointInfo info = decodeTrackPoint(d, size, toFormat(prof.trackPointFormat), r);
        if (info.gapMarker) break;
        SimTrackPoint tp;
        tp.lat = r.Latitude;
        tp.lon = r.Longitude;
        tp.altitude = r.Altitude;
        tp.time = (uint32_t)r.Time;
        tp.newSegment = info.newSegment;
        if (!uploadHasTrack) {
            // A300: one track log takes every point.
            SimTrack t;
            t.name = "ACTIVE LOG";
            log.tracks.push_back(t);
            if (sim.storeUploads) sim.tracks.push_back(t);
            uploadHasTrack = true;
        }
        log.tracks.back().points.push_back(tp);
        if (sim.storeUploads) sim.tracks.back().points.push_back(tp);
        break;
    }
    case 12:
        log.transfers++;
        log.transferCompleteCount = size >= 2 ? (d[0] | (d[1] << 8)) : 0;
        break;
    default: break;
    }
}
