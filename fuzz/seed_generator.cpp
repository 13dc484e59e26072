// Writes the seed corpora of the fuzz targets from the program's own
// encoders and writers:  fuzz_seed_generator <fuzz directory>
// Each seed goes to <fuzz directory>/corpus/<target>/<name>.

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "model/point_table.h"
#include "records/record_formats.h"
#if WEGMATE_FUZZ_HAVE_MIF_READER
#include "formats/mif.h"
#endif
#if WEGMATE_FUZZ_HAVE_OVL_ASCII_READER
#include "formats/ovl_ascii.h"
#endif
#if WEGMATE_FUZZ_HAVE_GPX_READER
#include "formats/gpx.h"
#endif
#if WEGMATE_FUZZ_HAVE_OVL_BINARY_READER
#include "formats/ovl_binary.h"
#endif
#if WEGMATE_FUZZ_HAVE_SERIAL_PACKET || WEGMATE_FUZZ_HAVE_DOWNLOAD || WEGMATE_FUZZ_HAVE_DEVICE_QUERY
#include "link/link_clock.h"
#include "link/packet.h"
#endif
#include "fuzz_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string fuzzDir;
int written = 0;

void makeDirectory(const std::string& path) { mkdir(path.c_str(), 0755); }

void seed(const char* target, const std::string& name, const Bytes& bytes) {
    std::string dir = fuzzDir + "/corpus";
    makeDirectory(dir);
    dir += "/";
    dir += target;
    makeDirectory(dir);
    std::string path = dir + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(file);
    written++;
}

PointRecord sample(int variant) {
    PointRecord r;
    std::memset(&r, 0, sizeof r);
    r.NumberOfRouteOrTrack = 1 + variant;
    r.NumberOfPoint = 1;
    if (variant == 0) {
        std::strcpy(r.NameOfPoint, "HAUS");
        std::strcpy(r.NameOfRouteOrTrack, "Heimweg");
        std::strcpy(r.Comment, "Treffpunkt am Brunnen");
        r.Latitude = 48.137154;
        r.Longitude = 11.576124;
        r.Time = 0x2A3B4C5D;
        r.Altitude = 519.5f;
        r.Symbol = 18;
        r.Display1 = 2;
        r.Display2 = 5;
        r.HasSymbol = 1;
        r.NewSegment = 1;
    } else if (variant == 1) {
        // Longest texts, no symbol.
        std::memset(r.NameOfPoint, 'N', 50);
        std::memset(r.NameOfRouteOrTrack, 'R', 50);
        std::memset(r.Comment, 'C', 50);
        r.Latitude = -33.856784;
        r.Longitude = -151.215297;
        r.Altitude = kNoAltitude;
        r.HasSymbol = 0;
    } else {
        // Windows-1252 texts, extreme coordinates.
        std::strcpy(r.NameOfPoint, "M\xFCnchen");
        std::strcpy(r.NameOfRouteOrTrack, "TRK07");
        std::strcpy(r.Comment,
                    "Stra\xDF"
                    "e \xB0");
        r.Latitude = 90.0;
        r.Longitude = -180.0;
        r.Time = -1;
        r.Altitude = -12.25f;
        r.Symbol = 0xFFFF;
        r.Display1 = 31;
        r.Display2 = 7;
        r.HasSymbol = 1;
    }
    return r;
}

Bytes recordSeed(int kind, int choice, int headerCount, const uint8_t* data, int size) {
    Bytes b;
    b.push_back((uint8_t)((choice << 2) | kind));
    b.push_back((uint8_t)headerCount);
    b.insert(b.end(), data, data + size);
    return b;
}

void recordSeeds() {
    static const char* waypointNames[] = {"D100", "D101", "D102", "D103", "D104", "D107",
                                          "D108", "D109", "D110", "D105", "D106"};
    static const char* routeNames[] = {"D200", "D201", "D202"};
    static const char* trackHeaderNames[] = {"D310", "D311", "D312", "None"};
    static const char* trackPointNames[] = {"D300", "D301", "D302", "D303", "D304"};
    uint8_t out[255];
    for (int variant = 0; variant < 3; variant++) {
        PointRecord r = sample(variant);
        std::string suffix = "_" + std::to_string(variant);
        for (int f = 0; f < 11; f++) {
            int n = encodeWaypoint(r, (WaypointFormat)f, out);
            seed("records", std::string("wpt_") + waypointNames[f] + suffix, recordSeed(0, f, 1, out, n));
        }
        for (int f = 0; f < 3; f++) {
            int n = encodeRouteHeader(r, (RouteHeaderFormat)f, out);
            seed("records", std::string("rte_") + routeNames[f] + suffix, recordSeed(1, f, 1 + variant, out, n));
        }
        for (int f = 0; f < 4; f++) {
            TrackHeaderFormat upload = f == 1 ? TrackHeaderFormat::D311 : TrackHeaderFormat::D310;
            int n = encodeTrackHeader(r, upload, variant == 1, out);
            seed("records", std::string("trk_") + trackHeaderNames[f] + suffix, recordSeed(2, f, 0, out, n));
        }
        for (int f = 0; f < 5; f++) {
            int n = encodeTrackPoint(r, (TrackPointFormat)f, out);
            seed("records", std::string("trkpt_") + trackPointNames[f] + suffix, recordSeed(3, f, 0, out, n));
        }
    }
    encodeRouteLink(out);
    seed("records", "rte_D210_link", recordSeed(1, 1, 1, out, 21));
    // A D303 gap marker and a D108 record cut inside its identifier.
    uint8_t gap[17] = {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F};
    seed("records", "trkpt_D303_gap", recordSeed(3, 3, 0, gap, 17));
    int n = encodeWaypoint(sample(1), WaypointFormat::D108, out);
    (void)n;
    seed("records", "wpt_D108_cut", recordSeed(0, 6, 1, out, 60));
}

// ---- files ---------------------------------------------------------------

Bytes readFile(const std::string& path) {
    Bytes bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back((uint8_t)c);
    std::fclose(file);
    return bytes;
}

// Fills the table: kind 7 waypoints, 4 two routes, 6 two tracks of which
// the second has two segments.
void fillTable(int kind) {
    pointTable.reset();
    int points = kind == 7 ? 4 : 6;
    for (int i = 0; i < points; i++) {
        PointRecord& r = pointTable.records[pointTable.count];
        r = sample(i % 3);
        r.Latitude = 47.5 + 0.01 * i;
        r.Longitude = 11.0 + 0.013 * i;
        if (kind == 7) {
            r.NumberOfRouteOrTrack = 0;
            r.NumberOfPoint = i + 1;
            r.NameOfRouteOrTrack[0] = 0;
            r.NewSegment = i == 0;
        } else {
            r.NumberOfRouteOrTrack = i < 3 ? 1 : 2;
            r.NumberOfPoint = i < 3 ? i + 1 : i - 2;
            std::strcpy(r.NameOfRouteOrTrack, i < 3 ? "Hinweg"
                                                    : "R\xFC"
                                                      "ckweg");
            r.NewSegment = (i == 0 || i == 3 || (kind == 6 && i == 5)) ? 1 : 0;
            if (kind == 6) {
                r.NameOfPoint[0] = 0;
                r.Comment[0] = 0;
            }
        }
        pointTable.count++;
    }
}

#if WEGMATE_FUZZ_HAVE_MIF_READER
void mifSeeds() {
    const std::string mif = fuzzScratchDirectory() + "/seed.mif";
    for (int kind : {7, 4, 6}) {
        for (int objectKind : {PointObjects, LineObjects}) {
            fillTable(kind);
            countLinePoints(objectKind);
            if (!writeMifFile(mif.c_str(), objectKind)) {
                std::fprintf(stderr, "writeMifFile failed\n");
                std::exit(1);
            }
            Bytes seedBytes = {(uint8_t)(kind == 6 ? 1 : 0)};
            Bytes mifBytes = readFile(mif), midBytes = readFile(midFileName(mif));
            seedBytes.insert(seedBytes.end(), mifBytes.begin(), mifBytes.end());
            seedBytes.insert(seedBytes.end(), kFuzzMidSeparator, kFuzzMidSeparator + sizeof kFuzzMidSeparator - 1);
            seedBytes.insert(seedBytes.end(), midBytes.begin(), midBytes.end());
            seed("mif_reader", "kind" + std::to_string(kind) + (objectKind == LineObjects ? "_lines" : "_points"),
                 seedBytes);
        }
    }
}
#endif

#if WEGMATE_FUZZ_HAVE_GPX_READER
void gpxSeeds() {
    const std::string gpx = fuzzScratchDirectory() + "/seed.gpx";
    for (int kind : {7, 4, 6}) {
        for (int objectKind : {PointObjects, LineObjects}) {
            fillTable(kind);
            countLinePoints(objectKind);
            if (!writeGpxFile(gpx.c_str(), objectKind, kind == 6 ? TransferKind::Tracks : TransferKind::Waypoints)) {
                std::fprintf(stderr, "writeGpxFile failed\n");
                std::exit(1);
            }
            Bytes seedBytes = {(uint8_t)(kind == 6 ? 1 : 0)};
            Bytes file = readFile(gpx);
            seedBytes.insert(seedBytes.end(), file.begin(), file.end());
            seed("gpx_reader", "kind" + std::to_string(kind) + (objectKind == LineObjects ? "_lines" : "_points"),
                 seedBytes);
        }
    }
}
#endif

#if WEGMATE_FUZZ_HAVE_OVL_ASCII_READER
void ovlAsciiSeeds() {
    const std::string ovl = fuzzScratchDirectory() + "/seed_ascii.ovl";
    for (int kind : {7, 4, 6}) {
        for (int objectKind : {PointObjects, LineObjects}) {
            fillTable(kind);
            countLinePoints(objectKind);
            if (!writeOvlAsciiFile(ovl.c_str(), objectKind)) {
                std::fprintf(stderr, "writeOvlAsciiFile failed\n");
                std::exit(1);
            }
            Bytes seedBytes = {(uint8_t)((kind == 6 ? 1 : 0) | (objectKind == LineObjects ? 2 : 0))};
            Bytes file = readFile(ovl);
            seedBytes.insert(seedBytes.end(), file.begin(), file.end());
            seed("ovl_ascii_reader", "kind" + std::to_string(kind) + (objectKind == LineObjects ? "_lines" : "_points"),
                 seedBytes);
        }
    }
}
#endif

#if WEGMATE_FUZZ_HAVE_OVL_BINARY_READER
void putU16(Bytes& b, size_t at, unsigned v) {
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

void appendDouble(Bytes& b, size_t at, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; i++) b[at + i] = (uint8_t)(bits >> (8 * i));
}

void appendText(Bytes& file, uint8_t flag, const char* text) {
    // k = 2: two bytes, the flag at index 2, one more byte.
    Bytes pad(4, 0);
    pad[2] = flag;
    file.insert(file.end(), pad.begin(), pad.end());
    if (flag != 16) return;
    uint32_t length = (uint32_t)std::strlen(text) + 1;
    for (int i = 0; i < 4; i++) file.push_back((uint8_t)(length >> (8 * i)));
    file.insert(file.end(), text, text + length);
}

Bytes objectHead(uint8_t type) {
    Bytes head(24, 0);
    head[0] = type;
    putU16(head, 22, 2);
    return head;
}

void appendPoint(Bytes& file, uint8_t flag, const char* text, double lon, double lat, unsigned link) {
    Bytes head = objectHead(6);
    file.insert(file.end(), head.begin(), head.end());
    appendText(file, flag, text);
    Bytes tail(54, 0);
    putU16(tail, 0, link);
    appendDouble(tail, 30, lon);
    appendDouble(tail, 38, lat);
    file.insert(file.end(), tail.begin(), tail.end());
}

void appendLine(Bytes& file, uint8_t type, const char* text, int vertices) {
    Bytes head = objectHead(type);
    file.insert(file.end(), head.begin(), head.end());
    appendText(file, 16, text);
    Bytes tail(20, 0);
    putU16(tail, 18, (unsigned)vertices);
    file.insert(file.end(), tail.begin(), tail.end());
    for (int i = 0; i < vertices; i++) {
        Bytes vertex(24, 0);
        appendDouble(vertex, 0, 11.0 + 0.01 * i);
        appendDouble(vertex, 8, 47.0 + 0.02 * i);
        file.insert(file.end(), vertex.begin(), vertex.end());
    }
}

// Versions 3 and 4, which the program reads but does not write: header of
// 25 + 16 + 8 + 4 bytes, then the objects with their longer heads and tails.
Bytes newerVersionFile(char version) {
    const char* magic = "DOMGVCRD Ovlfile V3.0:";
    Bytes file(magic, magic + 22);
    file[18] = (uint8_t)version;
    file.resize(25 + 16 + 8 + 4, 0);
    return file;
}

void newerVersionSeeds() {
    for (char version : {'3', '4'}) {
        std::string v(1, version);
        Bytes points = newerVersionFile(version);
        appendPoint(points, 16, "12* / P1\r\n2 / Rundweg\r\nKirche\r\n519 /18/2/5", 11.5, 47.25, 0);
        appendPoint(points, 16, "1203\r\nQuelle\r\n2024-05-17 10:20:30\r\n1", 11.6, 47.3, 0);
        appendPoint(points, 1, "", 11.7, 47.35, 0);
        Bytes seedBytes = {0};
        seedBytes.insert(seedBytes.end(), points.begin(), points.end());
        seed("ovl_binary_reader", "v" + v + "_points", seedBytes);

        Bytes lines = newerVersionFile(version);
        appendLine(lines, 3, "4\r\nHeimweg\r\nam Fluss\r\n/1/3", 3);
        appendLine(lines, 23, "4\r\nHeimweg\r\n\r\n", 2);
        seedBytes = {1};
        seedBytes.insert(seedBytes.end(), lines.begin(), lines.end());
        seed("ovl_binary_reader", "v" + v + "_lines", seedBytes);
    }
    Bytes linked = newerVersionFile('3');
    appendPoint(linked, 16, "1 / Bild", 11.5, 47.25, 17);
    Bytes seedBytes = {0};
    seedBytes.insert(seedBytes.end(), linked.begin(), linked.end());
    seed("ovl_binary_reader", "v3_multimedia_link", seedBytes);
}

void ovlBinarySeeds() {
    const std::string ovl = fuzzScratchDirectory() + "/seed_binary.ovl";
    for (int kind : {7, 4, 6}) {
        for (int objectKind : {PointObjects, LineObjects}) {
            fillTable(kind);
            countLinePoints(objectKind);
            if (!writeOvlBinaryFile(ovl.c_str(), objectKind)) {
                std::fprintf(stderr, "writeOvlBinaryFile failed\n");
                std::exit(1);
            }
            Bytes seedBytes = {(uint8_t)(kind == 6 ? 1 : 0)};
            Bytes file = readFile(ovl);
            seedBytes.insert(seedBytes.end(), file.begin(), file.end());
            seed("ovl_binary_reader",
                 "kind" + std::to_string(kind) + (objectKind == LineObjects ? "_lines" : "_points"), seedBytes);
        }
    }
    newerVersionSeeds();
}
#endif

#if WEGMATE_FUZZ_HAVE_FILE_WRITERS
void appendWaypoint(Bytes& stream, uint8_t selector, const PointRecord& r) {
    uint8_t out[255];
    int n = encodeWaypoint(r, (WaypointFormat)((selector & 15) % 9), out);
    stream.push_back(selector);
    stream.push_back((uint8_t)n);
    stream.insert(stream.end(), out, out + n);
}

void fileWriterSeeds() {
    Bytes stream;
    for (int i = 0; i < 6; i++) {
        PointRecord r = sample(i % 3);
        r.Latitude = 47.5 + 0.01 * i;
        r.Longitude = 11.0 + 0.01 * i;
        appendWaypoint(stream, (uint8_t)(6 | ((i % 3 == 0) ? 16 : 0) | ((i / 3 + 1) << 5)), r);
    }
    seed("file_writers", "two_routes_d108", stream);

    stream.clear();
    for (int f = 0; f < 9; f++) {
        PointRecord r = sample(f % 3);
        r.Latitude = -10.0 - f;
        r.Longitude = 170.0 + f;
        appendWaypoint(stream, (uint8_t)(f | (f == 4 ? 16 : 0) | (1 << 5)), r);
    }
    seed("file_writers", "every_format", stream);

    // Texts with the characters the files use as syntax.
    stream.clear();
    const char* names[] = {"a\"b", "x,y", "Semi;colon", "Slash / name", "*", "  blanks  "};
    const char* comments[] = {"\"\"", "1,2,3", "Text=", "\r", "2024-01-02 03:04:05", "4* / P1"};
    for (int i = 0; i < 6; i++) {
        PointRecord r = sample(0);
        std::strcpy(r.NameOfPoint, names[i]);
        std::strcpy(r.Comment, comments[i]);
        r.Latitude = 50.0 + i;
        r.Longitude = 8.0;
        appendWaypoint(stream, (uint8_t)(8 | ((i % 2) ? 16 : 0) | (2 << 5)), r);
    }
    seed("file_writers", "syntax_characters", stream);
}
#endif

#if WEGMATE_FUZZ_HAVE_DOWNLOAD
void appendPacket(Bytes& stream, uint8_t id, const uint8_t* data, int size) {
    stream.push_back(id);
    stream.push_back((uint8_t)size);
    stream.insert(stream.end(), data, data + size);
}

// Receiver sides of downloads, for the lists of download_entry.cpp:
// list 1 (D108, D202, D310/D301), 2 (D103, D201, D300), 3 (D110, D312/D304).
void downloadSeeds() {
    uint8_t out[255];
    // Waypoints, list 1, MIF points.
    Bytes s = {1, 0x00};
    uint8_t count[2] = {3, 0};
    appendPacket(s, kPidRecords, count, 2);
    for (int i = 0; i < 3; i++) {
        PointRecord r = sample(i);
        r.Latitude = 47.0 + i * 0.1;
        int n = encodeWaypoint(r, WaypointFormat::D108, out);
        appendPacket(s, kPidWptData, out, n);
    }
    appendPacket(s, kPidXferComplete, count, 2);
    seed("download", "waypoints_d108_mif", s);

    // Routes (Yes to the route question), list 2, OVL ASCII lines.
    s = {2, (uint8_t)(0x20 | 0x10 | (1 << 2))};
    count[0] = 7;
    appendPacket(s, kPidRecords, count, 2);
    for (int route = 1; route <= 2; route++) {
        PointRecord r = sample(route);
        r.NumberOfRouteOrTrack = route;
        int n = encodeRouteHeader(r, RouteHeaderFormat::D201, out);
        appendPacket(s, kPidRteHdr, out, n);
        for (int i = 0; i < (route == 1 ? 3 : 2); i++) {
            r.Latitude = 48.0 + i * 0.1;
            r.Longitude = 9.0 + route;
            n = encodeWaypoint(r, WaypointFormat::D103, out);
            appendPacket(s, kPidRteWptData, out, n);
        }
    }
    appendPacket(s, kPidXferComplete, count, 2);
    seed("download", "routes_d201_ovl_ascii", s);

    // Routes with links, list 1, OVL binary points.
    s = {1, (uint8_t)(0x20 | (2 << 2))};
    count[0] = 6;
    appendPacket(s, kPidRecords, count, 2);
    PointRecord r = sample(0);
    int n = encodeRouteHeader(r, RouteHeaderFormat::D202, out);
    appendPacket(s, kPidRteHdr, out, n);
    for (int i = 0; i < 3; i++) {
        r.Latitude = 46.0 + i * 0.1;
        n = encodeWaypoint(r, WaypointFormat::D108, out);
        appendPacket(s, kPidRteWptData, out, n);
        if (i < 2) appendPacket(s, kPidRteLinkData, out, encodeRouteLink(out));
    }
    appendPacket(s, kPidXferComplete, count, 2);
    seed("download", "routes_d202_links_ovl_binary", s);

    // Two tracks, list 1 and list 3, MIF lines; list 3 with gap markers.
    for (int list : {1, 3}) {
        s = {(uint8_t)list, (uint8_t)(1 | 0x10)};
        count[0] = 9;
        appendPacket(s, kPidRecords, count, 2);
        TrackPointFormat pointFormat = list == 1 ? TrackPointFormat::D301 : TrackPointFormat::D304;
        for (int track = 1; track <= 2; track++) {
            PointRecord t = sample(track);
            std::strcpy(t.NameOfRouteOrTrack, track == 1 ? "ACTIVE LOG" : "Morgen");
            n = encodeTrackHeader(t, TrackHeaderFormat::D310, false, out);
            appendPacket(s, kPidTrkHdr, out, n);
            for (int i = 0; i < 3; i++) {
                t.Latitude = 45.0 + i * 0.01;
                t.Longitude = 7.0 + track;
                t.NewSegment = i == 0;
                n = encodeTrackPoint(t, pointFormat, out);
                appendPacket(s, kPidTrkData, out, n);
            }
            if (list == 3 && track == 1) {
                uint8_t gap[23] = {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F};
                appendPacket(s, kPidTrkData, gap, 23);
                appendPacket(s, kPidTrkData, gap, 23);
            }
        }
        appendPacket(s, kPidXferComplete, count, 2);
        seed("download", list == 1 ? "tracks_d310_d301_mif" : "tracks_d312_d304_gaps_mif", s);
    }

    // An A300 track log without headers, list 2, OVL binary lines.
    s = {2, (uint8_t)(1 | 0x10 | (2 << 2))};
    count[0] = 4;
    appendPacket(s, kPidRecords, count, 2);
    for (int i = 0; i < 4; i++) {
        PointRecord t = sample(0);
        t.Latitude = 44.0 + i * 0.01;
        t.NewSegment = i == 0 || i == 2;
        n = encodeTrackPoint(t, TrackPointFormat::D300, out);
        appendPacket(s, kPidTrkData, out, n);
    }
    appendPacket(s, kPidXferComplete, count, 2);
    seed("download", "track_a300_ovl_binary", s);
}
#endif

#if WEGMATE_FUZZ_HAVE_UPLOAD && WEGMATE_FUZZ_HAVE_MIF_READER && WEGMATE_FUZZ_HAVE_OVL_ASCII_READER && \
    WEGMATE_FUZZ_HAVE_OVL_BINARY_READER
// The table of fillTable(kind) as written by the writer of fileKind; MIF as
// the MIF text, the separator and the MID text.
Bytes writtenFile(FileKind fileKind, int kind, int objectKind) {
    const std::string path = fuzzScratchDirectory() + (fileKind == MapInfoMif ? "/upload.mif" : "/upload.ovl");
    fillTable(kind);
    countLinePoints(objectKind);
    int ok = fileKind == MapInfoMif ? writeMifFile(path.c_str(), objectKind)
             : fileKind == OvlAscii ? writeOvlAsciiFile(path.c_str(), objectKind)
                                    : writeOvlBinaryFile(path.c_str(), objectKind);
    if (!ok) {
        std::fprintf(stderr, "writer %d failed\n", static_cast<int>(fileKind));
        std::exit(1);
    }
    Bytes bytes = readFile(path);
    if (fileKind == MapInfoMif) {
        bytes.insert(bytes.end(), kFuzzMidSeparator, kFuzzMidSeparator + sizeof kFuzzMidSeparator - 1);
        Bytes mid = readFile(midFileName(path));
        bytes.insert(bytes.end(), mid.begin(), mid.end());
    }
    return bytes;
}

// Uploads of waypoints (as waypoints and, answering Yes, as routes) and of
// tracks, from each file type, to receivers of several protocol lists.
void uploadSeeds() {
    struct Case {
        const char* name;
        int list, kind;
        FileKind fileKind;
        int objectKind;
        uint8_t answers, naks;
    } cases[] = {
        {"waypoints_mif_d108", 1, 7, MapInfoMif, PointObjects, 0, 0},
        {"routes_mif_d108_a201", 1, 4, MapInfoMif, LineObjects, 1, 0},
        {"routes_ovl_binary_d103_d201", 2, 4, OvlBinary, LineObjects, 1, 0x04},
        {"waypoints_ovl_ascii_d110", 3, 7, OvlAscii, PointObjects, 0, 0},
        {"routes_ovl_ascii_d109_d200", 4, 4, OvlAscii, LineObjects, 1, 0},
        {"tracks_mif_d310_separate", 1, 6, MapInfoMif, LineObjects, 1, 0},
        {"tracks_ovl_binary_d311", 4, 6, OvlBinary, LineObjects, 0, 0x10},
        {"tracks_mif_a300", 5, 6, MapInfoMif, PointObjects, 0, 0},
        {"waypoints_mif_d101", 6, 7, MapInfoMif, PointObjects, 0, 0},
        {"waypoints_ovl_binary_d107", 7, 7, OvlBinary, PointObjects, 0, 0},
    };
    for (const Case& c : cases) {
        const int transferKind = c.kind == 6 ? 6 : 7;
        Bytes seedBytes = {
            (uint8_t)c.list,
            (uint8_t)((transferKind == 6 ? 1 : 0) | ((static_cast<int>(c.fileKind) - 1) << 1) | (c.answers << 3)),
            c.naks};
        Bytes file = writtenFile(c.fileKind, c.kind, c.objectKind);
        seedBytes.insert(seedBytes.end(), file.begin(), file.end());
        seed("upload", c.name, seedBytes);
    }
}
#endif

#if WEGMATE_FUZZ_HAVE_DEVICE_QUERY
// Answers to the product request: with a protocol array, with extended
// product data first, and without an array (the fallback lists).
void deviceQuerySeeds() {
    auto product = [](Bytes& s, uint16_t number, uint16_t version, const char* text) {
        Bytes data = {(uint8_t)number, (uint8_t)(number >> 8), (uint8_t)version, (uint8_t)(version >> 8)};
        data.insert(data.end(), text, text + std::strlen(text) + 1);
        s.push_back(kPidProductData);
        s.push_back((uint8_t)data.size());
        s.insert(s.end(), data.begin(), data.end());
    };
    auto array = [](Bytes& s, const char* tags, const int* numbers, int entries) {
        s.push_back(kPidProtocolArray);
        s.push_back((uint8_t)(entries * 3));
        for (int i = 0; i < entries; i++) {
            s.push_back((uint8_t)tags[i]);
            s.push_back((uint8_t)numbers[i]);
            s.push_back((uint8_t)(numbers[i] >> 8));
        }
    };
    const char tags[] = "PLAADADADAD";
    const int numbers[] = {0, 1, 10, 100, 108, 201, 202, 301, 310, 302, 301};
    Bytes s = {1};
    product(s, 154, 310, "eTrex Legend Software Version 3.10");
    array(s, tags, numbers, 11);
    seed("device_query", "etrex_array", s);

    s = {0};
    product(s, 292, 250, "GPSMAP 60CSx Software Version 2.50");
    s.push_back(kPidExtProductData);
    s.push_back(4);
    s.insert(s.end(), {'x', 0, 'y', 0});
    array(s, tags, numbers, 11);
    seed("device_query", "extended_then_array", s);

    for (const char* text : {"ETREX Summit", "GPS 76 Software Version 2.60", "GPS 12XL Software Version 4.60"}) {
        s = {1};
        product(s, 77, 460, text);
        seed("device_query",
             std::string("fallback_") + (text[0] == 'E'   ? "etrex"
                                         : text[4] == '7' ? "gps76"
                                                          : "default"),
             s);
    }
}
#endif

// ---- link ----------------------------------------------------------------

#if WEGMATE_FUZZ_HAVE_SERIAL_PACKET
Bytes captured;
uint32_t capturedClock() { return 0; }
int captureRead(uint8_t*) { return 0; }
int captureWrite(uint8_t byte) {
    captured.push_back(byte);
    return 1;
}
const LinkIo captureIo = {capturedClock, captureRead, captureWrite};

// The serial frames of a short exchange, sent by the packet layer itself.
void serialSeeds() {
    installLinkIo(&captureIo);
    struct Frame {
        const char* name;
        uint8_t id;
        Bytes data;
    };
    uint8_t out[255];
    int wptSize = encodeWaypoint(sample(0), WaypointFormat::D108, out);
    Bytes waypoint(out, out + wptSize);
    Bytes stuffed = {0x10, 0x10, 0x03, 0x10};
    Bytes full(255);
    for (int i = 0; i < 255; i++) full[i] = (uint8_t)i;
    const Frame frames[] = {
        {"ack", kPidAck, {kPidProductData, 0}}, {"product_request", kPidProductRqst, {}},
        {"records", kPidRecords, {0x10, 0x00}}, {"waypoint", kPidWptData, waypoint},
        {"dle_stuffing", 0x10, stuffed},        {"full_size", kPidTrkData, full},
    };
    Bytes all = {0x03};
    for (const Frame& frame : frames) {
        uint8_t data[255] = {};
        if (!frame.data.empty()) std::memcpy(data, frame.data.data(), frame.data.size());
        Packet packet;
        packet.build(frame.id, (uint8_t)frame.data.size(), data);
        captured.clear();
        packet.send(serialLink(1), 0);
        Bytes seedBytes = {0x03};
        seedBytes.insert(seedBytes.end(), captured.begin(), captured.end());
        seed("serial_packet", frame.name, seedBytes);
        all.insert(all.end(), captured.begin(), captured.end());
    }
    seed("serial_packet", "sequence", all);
    installLinkIo(nullptr);
}
#endif

#if WEGMATE_FUZZ_HAVE_USB_PACKET
void appendUsbChunk(Bytes& stream, const Bytes& bytes) {
    stream.push_back((uint8_t)bytes.size());
    stream.insert(stream.end(), bytes.begin(), bytes.end());
}

Bytes usbHeader(uint8_t type, uint16_t id, uint32_t size) {
    Bytes b(12, 0);
    b[0] = type;
    b[4] = (uint8_t)id;
    b[5] = (uint8_t)(id >> 8);
    for (int i = 0; i < 4; i++) b[8 + i] = (uint8_t)(size >> (8 * i));
    return b;
}

// Interrupt packets, a packet split over two interrupt reads, and bulk data
// announced by "data available".
void usbSeeds() {
    uint8_t out[255];
    int wptSize = encodeWaypoint(sample(0), WaypointFormat::D110, out);
    Bytes waypoint = usbHeader(20, kPidWptData, (uint32_t)wptSize);
    waypoint.insert(waypoint.end(), out, out + wptSize);

    Bytes product = usbHeader(20, 255, 10);
    const char description[] = {0x01, 0x00, 0x36, 0x01, 'e', 'T', 'r', 'e', 'x', 0};
    product.insert(product.end(), description, description + 10);

    Bytes stream;
    appendUsbChunk(stream, product);
    seed("usb_packet", "interrupt_product", stream);

    stream.clear();
    appendUsbChunk(stream, Bytes(waypoint.begin(), waypoint.begin() + 64));
    appendUsbChunk(stream, Bytes(waypoint.begin() + 64, waypoint.end()));
    seed("usb_packet", "interrupt_split", stream);

    stream.clear();
    appendUsbChunk(stream, usbHeader(0, 2, 0));  // data available
    appendUsbChunk(stream, waypoint);
    appendUsbChunk(stream, Bytes());  // end of the bulk data
    appendUsbChunk(stream, usbHeader(20, kPidXferComplete, 2));
    seed("usb_packet", "bulk_waypoint", stream);

    stream.clear();
    appendUsbChunk(stream, usbHeader(20, kPidRecords, 300));  // too large
    appendUsbChunk(stream, usbHeader(0, 6, 4));               // protocol layer, skipped
    seed("usb_packet", "oversize_and_protocol", stream);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz directory>\n", argv[0]);
        return 2;
    }
    fuzzDir = argv[1];
    recordSeeds();
#if WEGMATE_FUZZ_HAVE_MIF_READER
    mifSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_OVL_ASCII_READER
    ovlAsciiSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_GPX_READER
    gpxSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_OVL_BINARY_READER
    ovlBinarySeeds();
#endif
#if WEGMATE_FUZZ_HAVE_FILE_WRITERS
    fileWriterSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_DOWNLOAD
    downloadSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_UPLOAD && WEGMATE_FUZZ_HAVE_MIF_READER && WEGMATE_FUZZ_HAVE_OVL_ASCII_READER && \
    WEGMATE_FUZZ_HAVE_OVL_BINARY_READER
    uploadSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_DEVICE_QUERY
    deviceQuerySeeds();
#endif
#if WEGMATE_FUZZ_HAVE_SERIAL_PACKET
    serialSeeds();
#endif
#if WEGMATE_FUZZ_HAVE_USB_PACKET
    usbSeeds();
#endif
    std::printf("%d seeds written\n", written);
    return 0;
}
