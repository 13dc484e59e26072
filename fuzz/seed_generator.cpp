// Writes the seed corpora of the fuzz targets from the program's own
// encoders and writers:  fuzz_seed_generator <fuzz directory>
// Each seed goes to <fuzz directory>/corpus/<target>/<name>.

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "transfer/point_table.h"
#include "transfer/record_formats.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string fuzzDir;
int written = 0;

void makeDirectory(const std::string& path)
{
    mkdir(path.c_str(), 0755);
}

void seed(const char* target, const std::string& name, const Bytes& bytes)
{
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

PointRecord sample(int variant)
{
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
        std::strcpy(r.Comment, "Stra\xDF" "e \xB0");
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

Bytes recordSeed(int kind, int choice, int headerCount, const uint8_t* data, int size)
{
    Bytes b;
    b.push_back((uint8_t)((choice << 2) | kind));
    b.push_back((uint8_t)headerCount);
    b.insert(b.end(), data, data + size);
    return b;
}

void recordSeeds()
{
    static const char* waypointNames[] = {"D100", "D101", "D102", "D103", "D104",
                                          "D107", "D108", "D109", "D110"};
    static const char* routeNames[] = {"D200", "D201", "D202"};
    static const char* trackHeaderNames[] = {"D310", "D311", "D312", "None"};
    static const char* trackPointNames[] = {"D300", "D301", "D302", "D303", "D304"};
    uint8_t out[255];
    for (int variant = 0; variant < 3; variant++) {
        PointRecord r = sample(variant);
        std::string suffix = "_" + std::to_string(variant);
        for (int f = 0; f < 9; f++) {
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz directory>\n", argv[0]);
        return 2;
    }
    fuzzDir = argv[1];
    recordSeeds();
    std::printf("%d seeds written\n", written);
    return 0;
}
