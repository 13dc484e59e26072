// Fuzzing the record decoders: decode, then check that the result is sane
// and that encoding it again and decoding that gives the same fields.

#include <cmath>
#include <cstring>

#include "fuzz_entries.h"
#include "records/record_formats.h"

namespace {

bool terminatedWithin(const char* text, size_t limit) {
    return std::memchr(text, 0, limit + 1) != nullptr && std::strlen(text) <= limit;
}

size_t trimmedLength(const char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') n--;
    return n;
}

bool sameTrimmed(const char* a, const char* b) {
    size_t na = trimmedLength(a), nb = trimmedLength(b);
    return na == nb && std::memcmp(a, b, na) == 0;
}

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Degrees that came from semicircles go back within one semicircle.
bool closePosition(double decoded, double again) {
    long long a = degreesToSemicircles(decoded), b = degreesToSemicircles(again);
    return std::llabs(a - b) <= 1 && std::isfinite(again);
}

void waypoint(const uint8_t* data, int size, WaypointFormat format) {
    PointRecord first;
    std::memset(&first, 0x5A, sizeof first);
    decodeWaypoint(data, size, format, first);
    FUZZ_CHECK(terminatedWithin(first.NameOfPoint, 50));
    FUZZ_CHECK(terminatedWithin(first.Comment, 50));
    FUZZ_CHECK(first.HasSymbol == 0 || first.HasSymbol == 1);
    FUZZ_CHECK(first.Latitude >= -180.0 && first.Latitude < 180.0);
    FUZZ_CHECK(first.Longitude >= -180.0 && first.Longitude < 180.0);

    uint8_t out[255];
    std::memset(out, 0xCC, sizeof out);
    int n = encodeWaypoint(first, format, out);
    FUZZ_CHECK(n > 0 && n <= 255);
    PointRecord again;
    std::memset(&again, 0xA5, sizeof again);
    decodeWaypoint(out, n, format, again);

    bool d108Family =
        format == WaypointFormat::D108 || format == WaypointFormat::D109 || format == WaypointFormat::D110;
    if (d108Family) {
        FUZZ_CHECK(std::strcmp(first.NameOfPoint, again.NameOfPoint) == 0);
        FUZZ_CHECK(std::strcmp(first.Comment, again.Comment) == 0);
        FUZZ_CHECK(bitsOf(first.Altitude) == bitsOf(again.Altitude));
        FUZZ_CHECK(first.Symbol == again.Symbol);
        FUZZ_CHECK(first.Display1 == again.Display1 && first.Display2 == again.Display2);
        FUZZ_CHECK(first.Time == again.Time);
        FUZZ_CHECK(n == (format == WaypointFormat::D108   ? 48
                         : format == WaypointFormat::D109 ? 52
                                                          : 62) +
                            (int)std::strlen(first.NameOfPoint) + (int)std::strlen(first.Comment) + 6);
    } else {
        // The fixed fields come back blank padded.
        FUZZ_CHECK(sameTrimmed(first.NameOfPoint, again.NameOfPoint));
        FUZZ_CHECK(sameTrimmed(first.Comment, again.Comment));
        FUZZ_CHECK(first.HasSymbol == again.HasSymbol);
        if (first.HasSymbol) {
            FUZZ_CHECK(first.Symbol == again.Symbol);
            FUZZ_CHECK(first.Display1 == again.Display1 && first.Display2 == again.Display2);
        }
    }
    FUZZ_CHECK(closePosition(first.Latitude, again.Latitude));
    FUZZ_CHECK(closePosition(first.Longitude, again.Longitude));
}

void routeHeader(const uint8_t* data, int size, RouteHeaderFormat format, int headerCount) {
    RouteHeader header;
    std::memset(&header, 0x5A, sizeof header);
    decodeRouteHeader(data, size, format, headerCount, header);
    FUZZ_CHECK(terminatedWithin(header.name, format == RouteHeaderFormat::D201 ? 20 : 50));
    if (format == RouteHeaderFormat::D202)
        FUZZ_CHECK(header.number == headerCount);
    else
        FUZZ_CHECK(header.number >= 0 && header.number <= 255);

    if (header.name[0] == 0) return;  // an empty name is sent as "Route_%02d"
    PointRecord record;
    std::memset(&record, 0, sizeof record);
    record.NumberOfRouteOrTrack = header.number;
    std::memcpy(record.NameOfRouteOrTrack, header.name, sizeof header.name);
    uint8_t out[255];
    int n = encodeRouteHeader(record, format, out);
    FUZZ_CHECK(n > 0 && n <= 255);
    RouteHeader again;
    decodeRouteHeader(out, n, format, headerCount, again);
    FUZZ_CHECK(again.number == header.number || format == RouteHeaderFormat::D200);
    if (format != RouteHeaderFormat::D200) FUZZ_CHECK(std::strcmp(again.name, header.name) == 0);
}

void trackHeader(const uint8_t* data, int size, TrackHeaderFormat format) {
    TrackHeader header;
    std::memset(&header, 0x5A, sizeof header);
    decodeTrackHeader(data, size, format, header);
    FUZZ_CHECK(terminatedWithin(header.name, 50));
    FUZZ_CHECK(header.hasSymbol == (format == TrackHeaderFormat::D310 || format == TrackHeaderFormat::D312));

    if (header.name[0] == 0) return;
    PointRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.NameOfRouteOrTrack, header.name, sizeof header.name);
    record.HasSymbol = header.hasSymbol;
    record.Display1 = header.display1;
    record.Display2 = header.display2;
    TrackHeaderFormat upload = format == TrackHeaderFormat::D311 ? TrackHeaderFormat::D311 : TrackHeaderFormat::D310;
    uint8_t out[255];
    int n = encodeTrackHeader(record, upload, true, out);
    FUZZ_CHECK(n > 0 && n <= 255);
    TrackHeader again;
    decodeTrackHeader(out, n, format, again);
    if (format == TrackHeaderFormat::D311) {
        // "TRKnn" of an index below 100 survives, larger ones do not fit the rule.
        if (std::strlen(header.name) == 5) FUZZ_CHECK(std::strcmp(again.name, header.name) == 0);
    } else {
        FUZZ_CHECK(std::strcmp(again.name, header.name) == 0);
        if (header.hasSymbol) FUZZ_CHECK(again.display1 == header.display1 && again.display2 == header.display2);
    }
}

void trackPoint(const uint8_t* data, int size, TrackPointFormat format) {
    PointRecord first;
    std::memset(&first, 0x5A, sizeof first);
    TrackPointInfo info = decodeTrackPoint(data, size, format, first);
    bool gapFormat = format == TrackPointFormat::D303 || format == TrackPointFormat::D304;
    FUZZ_CHECK(!(info.gapMarker && !gapFormat));
    FUZZ_CHECK(!(info.newSegment && gapFormat));
    if (info.gapMarker) return;

    first.NewSegment = info.newSegment ? 1 : 0;
    uint8_t out[255];
    int n = encodeTrackPoint(first, format, out);
    static const int sizes[] = {13, 21, 25, 17, 23};
    FUZZ_CHECK(n == sizes[(int)format]);
    PointRecord again;
    TrackPointInfo againInfo = decodeTrackPoint(out, n, format, again);
    FUZZ_CHECK(againInfo.newSegment == info.newSegment);
    FUZZ_CHECK(first.Time == again.Time);
    FUZZ_CHECK(bitsOf(first.Altitude) == bitsOf(again.Altitude));
    FUZZ_CHECK(closePosition(first.Latitude, again.Latitude));
    FUZZ_CHECK(closePosition(first.Longitude, again.Longitude));
}

}  // namespace

int fuzzRecords(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t selector = data[0];
    const int headerCount = data[1];
    const uint8_t* packet = data + 2;
    int packetSize = (int)(size - 2 > 255 ? 255 : size - 2);
    const int choice = selector >> 2;
    switch (selector & 3) {
    case 0: waypoint(packet, packetSize, (WaypointFormat)(choice % 11)); break;
    case 1: routeHeader(packet, packetSize, (RouteHeaderFormat)(choice % 3), headerCount); break;
    case 2: trackHeader(packet, packetSize, (TrackHeaderFormat)(choice % 4)); break;
    default: trackPoint(packet, packetSize, (TrackPointFormat)(choice % 5)); break;
    }
    return 0;
}
