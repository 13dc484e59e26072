#pragma once
// The receiver's record formats (D100..D110 with D105/D106, D200..D202, D210, D300..D304,
// D310..D312): decoding into PointRecord fields and encoding for the upload.
//
// Decoders read only the `size` bytes that the packet holds: a field or
// string that lies beyond them reads as zero bytes, so a variable string
// without its NUL ends at the packet's end.

#include <cstdint>
#include "model/point_table.h"

// Case-sensitive substring test on a ProtocolSet text; nullptr = none.
bool hasProtocol(const char* protocolSet, const char* name);

// D105 and D106 came last: the values of the others stay as fuzz seeds
// and corpora number them.
enum class WaypointFormat { D100, D101, D102, D103, D104, D107, D108, D109, D110, D105, D106 };
enum class RouteHeaderFormat { D200, D201, D202 };
enum class TrackHeaderFormat { D310, D311, D312, None };
enum class TrackPointFormat { D300, D301, D302, D303, D304 };

// Download side, in the test orders of the program.
WaypointFormat downloadWaypointFormat(const char* protocolSet);
RouteHeaderFormat downloadRouteHeaderFormat(const char* protocolSet);
TrackHeaderFormat downloadTrackHeaderFormat(const char* protocolSet);
TrackPointFormat downloadTrackPointFormat(const char* protocolSet);

// Upload side.
WaypointFormat uploadWaypointFormat(const char* protocolSet);
RouteHeaderFormat uploadRouteHeaderFormat(const char* protocolSet);
TrackHeaderFormat uploadTrackHeaderFormat(const char* protocolSet);  // D311 or D310 layout
TrackPointFormat uploadTrackPointFormat(const char* protocolSet);

// Characters of a waypoint identifier that the format carries: 6 for the
// D100 family's fixed field, else the table's 50 (D105, D106 and the D108
// family have variable strings).
int waypointIdentifierLength(WaypointFormat format);

// degrees = semicircles * 180 / 2^31
double semicirclesToDegrees(int32_t semicircles);
// degrees * 2^31 / 180, truncated toward zero, low 32 bits (NaN, infinities
// and values beyond the 64-bit range give 0).
int32_t degreesToSemicircles(double degrees);

// Waypoint (packets 35 and 30): sets Latitude, Longitude, NameOfPoint,
// Comment, Altitude, Time, Symbol, Display1, Display2, HasSymbol.
void decodeWaypoint(const uint8_t* data, int size, WaypointFormat format, PointRecord& record);

// Route header (packet 29). headerCount is the running count of route
// headers in this transfer (1 for the first), used by D202.
struct RouteHeader {
    int number;
    char name[kNameSize];
};
void decodeRouteHeader(const uint8_t* data, int size, RouteHeaderFormat format, int headerCount, RouteHeader& header);

// Track header (packet 99). Format None: the D310 layout for the name, no
// colour fields (hasSymbol 0).
struct TrackHeader {
    char name[kNameSize];
    uint8_t hasSymbol;
    uint8_t display1;
    uint8_t display2;
};
void decodeTrackHeader(const uint8_t* data, int size, TrackHeaderFormat format, TrackHeader& header);

// Track point (packet 34): sets Latitude, Longitude, Time, Altitude.
// newSegment: the record's own flag (D300..D302); D303/D304 report false.
// gapMarker: D303/D304 latitude and longitude both 0x7FFFFFFF.
struct TrackPointInfo {
    bool newSegment;
    bool gapMarker;
};
TrackPointInfo decodeTrackPoint(const uint8_t* data, int size, TrackPointFormat format, PointRecord& record);

// Upload encoders: write the packet data into out (255 bytes) and return
// its size. Names are taken as the table holds them (at most 50 characters).
// A symbol or display value that the format has no room for is sent as
// absent (the value of HasSymbol 0), never cut; D110 sends no time (0) as
// 0xFFFFFFFF.
int encodeWaypoint(const PointRecord& record, WaypointFormat format, uint8_t* out);
// How many values of the record encodeWaypoint sends as absent: a symbol
// above 255 in the one-byte field of D101, D103 and D107; a colour
// (Display1) above 31 or a display attribute (Display2) above 7 in the
// dspl_color byte of D109 and D110.
int waypointFieldsNotCarried(const PointRecord& record, WaypointFormat format);
int encodeRouteHeader(const PointRecord& record, RouteHeaderFormat format, uint8_t* out);
int encodeRouteLink(uint8_t* out);  // D210, 21 bytes
// separateTracks selects "TRK%02d" (true) or "TRACK" (false) for an empty
// name in the D310 layout.
int encodeTrackHeader(const PointRecord& record, TrackHeaderFormat format, bool separateTracks, uint8_t* out);
// The track index a D311 header gives the track of record: the number of a
// "TRKnn" name, else the record's track number (sent as its low 16 bits).
int d311TrackIndex(const PointRecord& record);
int encodeTrackPoint(const PointRecord& record, TrackPointFormat format, uint8_t* out);
