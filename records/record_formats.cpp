// The receiver's record formats: decoders for the download and encoders for
// the upload.
//
// Every decoder works on the bytes the packet holds and nothing else: the
// reading helpers below answer zero for any byte at or beyond `size`, so a
// fixed field beyond the packet reads as zero and a variable string without
// its NUL ends at the packet's end.

#include "records/record_formats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kSemicirclesPerDegree = 11930464.711111112;  // 2^31 / 180
constexpr uint16_t kDefaultSymbol = 178;
constexpr int kPacketCapacity = 255;

// ---- reading ---------------------------------------------------------------

int clampSize(int size) {
    if (size < 0) return 0;
    if (size > kPacketCapacity) return kPacketCapacity;
    return size;
}

uint8_t readU8(const uint8_t* data, int size, int offset) { return (offset >= 0 && offset < size) ? data[offset] : 0; }

uint16_t readU16(const uint8_t* data, int size, int offset) {
    return (uint16_t)(readU8(data, size, offset) | (readU8(data, size, offset + 1) << 8));
}

uint32_t readU32(const uint8_t* data, int size, int offset) {
    return (uint32_t)readU8(data, size, offset) | ((uint32_t)readU8(data, size, offset + 1) << 8) |
           ((uint32_t)readU8(data, size, offset + 2) << 16) | ((uint32_t)readU8(data, size, offset + 3) << 24);
}

int32_t readI32(const uint8_t* data, int size, int offset) { return (int32_t)readU32(data, size, offset); }

float readFloat(const uint8_t* data, int size, int offset) {
    uint32_t bits = readU32(data, size, offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Length of the string at offset: up to its NUL, the end of the packet or
// `limit` bytes, whichever comes first.
int stringLength(const uint8_t* data, int size, int offset, int limit) {
    int length = 0;
    while (offset + length < size && length < limit && data[offset + length] != 0) length++;
    return length;
}

// Copies the string at offset, at most maxChars characters, into dst (which
// holds maxChars + 1 bytes) and terminates it.
void copyString(char* dst, const uint8_t* data, int size, int offset, int limit, int maxChars) {
    int length = stringLength(data, size, offset, limit);
    if (length > maxChars) length = maxChars;
    if (offset >= 0 && length > 0) std::memcpy(dst, data + offset, (size_t)length);
    dst[length] = 0;
}

// ---- writing ---------------------------------------------------------------

void writeU16(uint8_t* out, int offset, uint16_t value) {
    out[offset] = (uint8_t)(value & 0xFF);
    out[offset + 1] = (uint8_t)(value >> 8);
}

void writeU32(uint8_t* out, int offset, uint32_t value) {
    out[offset] = (uint8_t)(value & 0xFF);
    out[offset + 1] = (uint8_t)((value >> 8) & 0xFF);
    out[offset + 2] = (uint8_t)((value >> 16) & 0xFF);
    out[offset + 3] = (uint8_t)(value >> 24);
}

void writeI32(uint8_t* out, int offset, int32_t value) { writeU32(out, offset, (uint32_t)value); }

void writeFloat(uint8_t* out, int offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    writeU32(out, offset, bits);
}

// Length of a table text, never more than its 50 characters.
int fieldLength(const char* text) { return (int)strnlen(text, kNameSize - 1); }

// At most 50 characters of a table text, terminated.
void copyText(char (&dst)[kNameSize], const char* text) {
    int length = fieldLength(text);
    std::memcpy(dst, text, (size_t)length);
    dst[length] = 0;
}

// The first `width` characters of text, padded with blanks.
void writeBlankPadded(uint8_t* out, int offset, const char* text, int width) {
    int length = fieldLength(text);
    if (length > width) length = width;
    std::memset(out + offset, ' ', (size_t)width);
    std::memcpy(out + offset, text, (size_t)length);
}

// The text with its NUL; returns the offset after the NUL.
int writeTerminated(uint8_t* out, int offset, const char* text) {
    int length = fieldLength(text);
    std::memcpy(out + offset, text, (size_t)length);
    out[offset + length] = 0;
    return offset + length + 1;
}

// 6 bytes 0x00, then 12 bytes 0xFF: the "no subclass" pattern.
void writeSubclass(uint8_t* out, int offset) {
    std::memset(out + offset, 0x00, 6);
    std::memset(out + offset + 6, 0xFF, 12);
}

void writePosition(uint8_t* out, int offset, const PointRecord& record) {
    writeI32(out, offset, degreesToSemicircles(record.Latitude));
    writeI32(out, offset + 4, degreesToSemicircles(record.Longitude));
}

// ---- waypoints -------------------------------------------------------------

bool isD100Family(WaypointFormat format) {
    return format != WaypointFormat::D108 && format != WaypointFormat::D109 && format != WaypointFormat::D110 &&
           format != WaypointFormat::D105 && format != WaypointFormat::D106;
}

// D105 {lat, lon, smbl, wpt_ident} and D106 {class, subclass[13], lat, lon,
// smbl, wpt_ident, lnk_ident}: no comment, altitude or display field.
int shortFormatPositionOffset(WaypointFormat format) { return format == WaypointFormat::D106 ? 14 : 0; }

void decodeShortFormat(const uint8_t* data, int size, WaypointFormat format, PointRecord& record) {
    const int at = shortFormatPositionOffset(format);
    record.Latitude = semicirclesToDegrees(readI32(data, size, at));
    record.Longitude = semicirclesToDegrees(readI32(data, size, at + 4));
    record.Symbol = readU16(data, size, at + 8);
    record.HasSymbol = 1;
    record.Altitude = kNoAltitude;
    record.Time = 0;
    record.Display1 = 0;
    record.Display2 = 0;
    int identLength = stringLength(data, size, at + 10, kPacketCapacity);
    copyString(record.NameOfPoint, data, size, at + 10, identLength, kNameSize - 1);
    record.Comment[0] = 0;
}

void decodeD100Family(const uint8_t* data, int size, WaypointFormat format, PointRecord& record) {
    record.Latitude = semicirclesToDegrees(readI32(data, size, 6));
    record.Longitude = semicirclesToDegrees(readI32(data, size, 10));
    record.Altitude = kNoAltitude;
    record.Time = 0;
    record.Symbol = 0;
    record.Display1 = 0;
    record.Display2 = 0;
    record.HasSymbol = 1;
    switch (format) {
    case WaypointFormat::D101: record.Symbol = readU8(data, size, 62); break;
    case WaypointFormat::D102: record.Symbol = readU16(data, size, 62); break;
    case WaypointFormat::D103:
        record.Symbol = readU8(data, size, 58);
        record.Display1 = readU8(data, size, 59);
        break;
    case WaypointFormat::D104:
        record.Symbol = readU16(data, size, 62);
        record.Display1 = readU8(data, size, 64);
        break;
    case WaypointFormat::D107:
        record.Symbol = readU8(data, size, 58);
        record.Display1 = readU8(data, size, 59);
        record.Display2 = readU8(data, size, 64);
        break;
    default: record.HasSymbol = 0; break;
    }
    // Identifier: fixed 6 bytes at 0; comment: fixed 40 bytes at 18.
    copyString(record.NameOfPoint, data, size, 0, 6, kNameSize - 1);
    copyString(record.Comment, data, size, 18, 40, kNameSize - 1);
}

void decodeD108Family(const uint8_t* data, int size, WaypointFormat format, PointRecord& record) {
    int identOffset = 48;
    if (format == WaypointFormat::D109) identOffset = 52;
    if (format == WaypointFormat::D110) identOffset = 62;

    record.Latitude = semicirclesToDegrees(readI32(data, size, 24));
    record.Longitude = semicirclesToDegrees(readI32(data, size, 28));
    record.Altitude = readFloat(data, size, 32);
    record.Symbol = readU16(data, size, 4);
    record.HasSymbol = 1;
    if (format == WaypointFormat::D108) {
        record.Display1 = readU8(data, size, 2);
        record.Display2 = readU8(data, size, 1);
    } else {
        uint8_t displayColour = readU8(data, size, 2);
        record.Display1 = (uint8_t)(displayColour & 0x1F);
        record.Display2 = (uint8_t)(displayColour >> 5);
    }
    record.Time = 0;
    if (format == WaypointFormat::D110) {
        uint32_t time = readU32(data, size, 56);
        record.Time = time == 0xFFFFFFFFu ? 0 : (int32_t)time;
    }

    int identLength = stringLength(data, size, identOffset, kPacketCapacity);
    copyString(record.NameOfPoint, data, size, identOffset, identLength, kNameSize - 1);
    copyString(record.Comment, data, size, identOffset + identLength + 1, kPacketCapacity, kNameSize - 1);
}

}  // namespace

bool hasProtocol(const char* protocolSet, const char* name) {
    if (protocolSet == nullptr || name == nullptr) return false;
    return std::strstr(protocolSet, name) != nullptr;
}

WaypointFormat downloadWaypointFormat(const char* protocolSet) {
    if (hasProtocol(protocolSet, "D108")) return WaypointFormat::D108;
    if (hasProtocol(protocolSet, "D109")) return WaypointFormat::D109;
    if (hasProtocol(protocolSet, "D110")) return WaypointFormat::D110;
    if (hasProtocol(protocolSet, "D101")) return WaypointFormat::D101;
    if (hasProtocol(protocolSet, "D102")) return WaypointFormat::D102;
    if (hasProtocol(protocolSet, "D103")) return WaypointFormat::D103;
    if (hasProtocol(protocolSet, "D104")) return WaypointFormat::D104;
    if (hasProtocol(protocolSet, "D105")) return WaypointFormat::D105;
    if (hasProtocol(protocolSet, "D106")) return WaypointFormat::D106;
    if (hasProtocol(protocolSet, "D107")) return WaypointFormat::D107;
    return WaypointFormat::D100;
}

RouteHeaderFormat downloadRouteHeaderFormat(const char* protocolSet) {
    if (hasProtocol(protocolSet, "D202")) return RouteHeaderFormat::D202;
    if (hasProtocol(protocolSet, "D201")) return RouteHeaderFormat::D201;
    return RouteHeaderFormat::D200;
}

TrackHeaderFormat downloadTrackHeaderFormat(const char* protocolSet) {
    if (hasProtocol(protocolSet, "D311")) return TrackHeaderFormat::D311;
    if (hasProtocol(protocolSet, "D310")) return TrackHeaderFormat::D310;
    if (hasProtocol(protocolSet, "D312")) return TrackHeaderFormat::D312;
    return TrackHeaderFormat::None;
}

TrackPointFormat downloadTrackPointFormat(const char* protocolSet) {
    if (hasProtocol(protocolSet, "D301")) return TrackPointFormat::D301;
    if (hasProtocol(protocolSet, "D302")) return TrackPointFormat::D302;
    if (hasProtocol(protocolSet, "D303")) return TrackPointFormat::D303;
    if (hasProtocol(protocolSet, "D304")) return TrackPointFormat::D304;
    return TrackPointFormat::D300;
}

WaypointFormat uploadWaypointFormat(const char* protocolSet) { return downloadWaypointFormat(protocolSet); }

RouteHeaderFormat uploadRouteHeaderFormat(const char* protocolSet) {
    if (hasProtocol(protocolSet, "D202")) return RouteHeaderFormat::D202;
    if (hasProtocol(protocolSet, "D200") && !hasProtocol(protocolSet, "D201")) return RouteHeaderFormat::D200;
    return RouteHeaderFormat::D201;
}

TrackHeaderFormat uploadTrackHeaderFormat(const char* protocolSet) {
    if (hasProtocol(protocolSet, "D311")) return TrackHeaderFormat::D311;
    return TrackHeaderFormat::D310;
}

TrackPointFormat uploadTrackPointFormat(const char* protocolSet) { return downloadTrackPointFormat(protocolSet); }

double semicirclesToDegrees(int32_t semicircles) { return (double)semicircles * 180.0 / 2147483648.0; }

int32_t degreesToSemicircles(double degrees) {
    double value = degrees * kSemicirclesPerDegree;
    // NaN fails both comparisons; the bounds are the 64-bit range.
    if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
    int64_t whole = (int64_t)value;  // truncates toward zero
    return (int32_t)(uint32_t)((uint64_t)whole & 0xFFFFFFFFu);
}

void decodeWaypoint(const uint8_t* data, int size, WaypointFormat format, PointRecord& record) {
    size = clampSize(size);
    if (isD100Family(format))
        decodeD100Family(data, size, format, record);
    else if (format == WaypointFormat::D105 || format == WaypointFormat::D106)
        decodeShortFormat(data, size, format, record);
    else
        decodeD108Family(data, size, format, record);
}

void decodeRouteHeader(const uint8_t* data, int size, RouteHeaderFormat format, int headerCount, RouteHeader& header) {
    size = clampSize(size);
    switch (format) {
    case RouteHeaderFormat::D202:
        header.number = headerCount;
        copyString(header.name, data, size, 0, kPacketCapacity, kNameSize - 1);
        break;
    case RouteHeaderFormat::D201:
        header.number = readU8(data, size, 0);
        copyString(header.name, data, size, 1, 20, 20);
        break;
    default:
        header.number = readU8(data, size, 0);
        header.name[0] = 0;
        break;
    }
}

void decodeTrackHeader(const uint8_t* data, int size, TrackHeaderFormat format, TrackHeader& header) {
    size = clampSize(size);
    header.hasSymbol = 0;
    header.display1 = 0;
    header.display2 = 0;
    if (format == TrackHeaderFormat::D311) {
        std::snprintf(header.name, sizeof header.name, "TRK%02d", (int)readU16(data, size, 0));
        return;
    }
    copyString(header.name, data, size, 2, kPacketCapacity, kNameSize - 1);
    if (format == TrackHeaderFormat::D310 || format == TrackHeaderFormat::D312) {
        header.hasSymbol = 1;
        header.display1 = readU8(data, size, 0);
        header.display2 = readU8(data, size, 1);
    }
}

TrackPointInfo decodeTrackPoint(const uint8_t* data, int size, TrackPointFormat format, PointRecord& record) {
    size = clampSize(size);
    TrackPointInfo info = {false, false};
    int32_t latitude = readI32(data, size, 0);
    int32_t longitude = readI32(data, size, 4);
    record.Latitude = semicirclesToDegrees(latitude);
    record.Longitude = semicirclesToDegrees(longitude);
    record.Time = (int32_t)readU32(data, size, 8);
    record.Altitude = kNoAltitude;
    switch (format) {
    case TrackPointFormat::D300: info.newSegment = readU8(data, size, 12) != 0; break;
    case TrackPointFormat::D301:
        record.Altitude = readFloat(data, size, 12);
        info.newSegment = readU8(data, size, 20) != 0;
        break;
    case TrackPointFormat::D302:
        record.Altitude = readFloat(data, size, 12);
        info.newSegment = readU8(data, size, 24) != 0;
        break;
    case TrackPointFormat::D303:
    case TrackPointFormat::D304:
        record.Altitude = readFloat(data, size, 12);
        info.gapMarker = latitude == 0x7FFFFFFF && longitude == 0x7FFFFFFF;
        break;
    }
    return info;
}

int waypointIdentifierLength(WaypointFormat format) { return isD100Family(format) ? 6 : kNameSize - 1; }

namespace {

bool hasByteSymbol(WaypointFormat format) {
    return format == WaypointFormat::D101 || format == WaypointFormat::D103 || format == WaypointFormat::D107;
}

bool hasDisplayColourByte(WaypointFormat format) {
    return format == WaypointFormat::D109 || format == WaypointFormat::D110;
}

// dspl_color of D109 and D110: the colour in the low five bits, the display
// attribute in the three above; a part that does not fit is sent as absent
// (colour 0x1F, display 0).
uint8_t displayColourByte(const PointRecord& record) {
    if (!record.HasSymbol) return 0x1F;
    const unsigned colour = record.Display1 < 32 ? record.Display1 : 0x1F;
    const unsigned display = record.Display2 < 8 ? record.Display2 : 0;
    return (uint8_t)(display * 32 + colour);
}

}  // namespace

int waypointFieldsNotCarried(const PointRecord& record, WaypointFormat format) {
    if (!record.HasSymbol) return 0;
    int fields = 0;
    if (hasByteSymbol(format) && record.Symbol > 255) fields++;
    if (hasDisplayColourByte(format)) fields += (record.Display1 >= 32 ? 1 : 0) + (record.Display2 >= 8 ? 1 : 0);
    return fields;
}

int encodeWaypoint(const PointRecord& record, WaypointFormat format, uint8_t* out) {
    std::memset(out, 0, kPacketCapacity);
    const bool own = record.HasSymbol != 0;
    // A symbol number the one-byte field cannot hold goes as absent, not cut
    // to another symbol.
    const uint16_t symbol = own && !(hasByteSymbol(format) && record.Symbol > 255) ? record.Symbol : kDefaultSymbol;

    if (isD100Family(format)) {
        writeBlankPadded(out, 0, record.NameOfPoint, 6);
        writePosition(out, 6, record);
        writeU32(out, 14, 0);
        writeBlankPadded(out, 18, record.Comment, 40);
        // The proximity distance has no source in the table: 0.0.
        switch (format) {
        case WaypointFormat::D101:
            writeFloat(out, 58, 0.0f);
            out[62] = (uint8_t)(symbol & 0xFF);
            return 63;
        case WaypointFormat::D102:
            writeFloat(out, 58, 0.0f);
            writeU16(out, 62, symbol);
            return 64;
        case WaypointFormat::D103:
            out[58] = (uint8_t)(symbol & 0xFF);
            out[59] = own ? record.Display1 : 0;
            return 60;
        case WaypointFormat::D104:
            writeFloat(out, 58, 0.0f);
            writeU16(out, 62, symbol);
            out[64] = own ? record.Display1 : 3;
            return 65;
        case WaypointFormat::D107:
            out[58] = (uint8_t)(symbol & 0xFF);
            out[59] = own ? record.Display1 : 0;
            writeFloat(out, 60, 0.0f);
            out[64] = own ? record.Display2 : 0;
            return 65;
        default: return 58;
        }
    }

    if (format == WaypointFormat::D105 || format == WaypointFormat::D106) {
        // D106: class 0 (a user waypoint, whose subclass is ignored), an
        // empty link identifier after the name.
        const int at = shortFormatPositionOffset(format);
        writePosition(out, at, record);
        writeU16(out, at + 8, symbol);
        int offset = writeTerminated(out, at + 10, record.NameOfPoint);
        if (format == WaypointFormat::D106) out[offset++] = 0;
        return offset;
    }

    int stringOffset = 48;
    if (format == WaypointFormat::D108) {
        out[0] = 0;                            // wpt_class
        out[1] = own ? record.Display2 : 255;  // color
        out[2] = own ? record.Display1 : 0;    // dspl
        out[3] = 0x60;
    } else {
        out[0] = 1;  // dtyp
        out[1] = 0;  // wpt_class
        out[2] = displayColourByte(record);
        out[3] = format == WaypointFormat::D109 ? 0x70 : 0x80;
        stringOffset = format == WaypointFormat::D109 ? 52 : 62;
    }
    writeU16(out, 4, symbol);
    writeSubclass(out, 6);
    writePosition(out, 24, record);
    writeFloat(out, 32, record.Altitude);
    writeFloat(out, 36, kNoAltitude);                                    // dpth
    writeFloat(out, 40, 0.0f);                                           // dist
    std::memcpy(out + 44, "    ", 4);                                    // state, cc
    if (format != WaypointFormat::D108) writeU32(out, 48, 0xFFFFFFFFu);  // ete
    if (format == WaypointFormat::D110) {
        writeFloat(out, 52, kNoAltitude);  // temp
        // No time is the format's 0xFFFFFFFF, as the download reads it.
        writeU32(out, 56, record.Time == 0 ? 0xFFFFFFFFu : (uint32_t)record.Time);
        writeU16(out, 60, 0);  // wpt_cat
    }
    int offset = writeTerminated(out, stringOffset, record.NameOfPoint);
    offset = writeTerminated(out, offset, record.Comment);
    std::memset(out + offset, 0, 4);  // facility, city, addr, cross_road
    return offset + 4;
}

int encodeRouteHeader(const PointRecord& record, RouteHeaderFormat format, uint8_t* out) {
    std::memset(out, 0, kPacketCapacity);
    switch (format) {
    case RouteHeaderFormat::D200: out[0] = (uint8_t)(record.NumberOfRouteOrTrack & 0xFF); return 1;
    case RouteHeaderFormat::D201: {
        out[0] = (uint8_t)(record.NumberOfRouteOrTrack & 0xFF);
        int length = fieldLength(record.NameOfRouteOrTrack);
        if (length > 20) length = 20;
        std::memcpy(out + 1, record.NameOfRouteOrTrack, (size_t)length);
        return 21;
    }
    case RouteHeaderFormat::D202: break;
    }
    char ident[kNameSize];
    if (record.NameOfRouteOrTrack[0] == 0)
        std::snprintf(ident, sizeof ident, "Route_%02d", (int)record.NumberOfRouteOrTrack);
    else
        copyText(ident, record.NameOfRouteOrTrack);
    return writeTerminated(out, 0, ident);
}

int encodeRouteLink(uint8_t* out) {
    std::memset(out, 0, kPacketCapacity);
    writeU16(out, 0, 0);  // class
    writeSubclass(out, 2);
    out[20] = 0;  // ident: empty
    return 21;
}

int d311TrackIndex(const PointRecord& record) {
    const char* name = record.NameOfRouteOrTrack;
    if (fieldLength(name) == 5 && std::strncmp(name, "TRK", 3) == 0) return std::atoi(name + 3);
    return record.NumberOfRouteOrTrack;
}

int encodeTrackHeader(const PointRecord& record, TrackHeaderFormat format, bool separateTracks, uint8_t* out) {
    std::memset(out, 0, kPacketCapacity);
    const char* name = record.NameOfRouteOrTrack;
    if (format == TrackHeaderFormat::D311) {
        writeU16(out, 0, (uint16_t)(d311TrackIndex(record) & 0xFFFF));
        return 2;
    }
    const bool own = record.HasSymbol != 0;
    out[0] = own ? record.Display1 : 1;
    out[1] = own ? record.Display2 : 255;
    char ident[kNameSize];
    if (name[0] != 0)
        copyText(ident, name);
    else if (separateTracks)
        std::snprintf(ident, sizeof ident, "TRK%02d", (int)record.NumberOfRouteOrTrack);
    else
        std::snprintf(ident, sizeof ident, "TRACK");
    return writeTerminated(out, 2, ident);
}

int encodeTrackPoint(const PointRecord& record, TrackPointFormat format, uint8_t* out) {
    std::memset(out, 0, kPacketCapacity);
    writePosition(out, 0, record);
    writeI32(out, 8, record.Time);
    const uint8_t newTrack = record.NewSegment != 0 ? 1 : 0;
    switch (format) {
    case TrackPointFormat::D300: out[12] = newTrack; return 13;
    case TrackPointFormat::D301:
        writeFloat(out, 12, record.Altitude);
        writeFloat(out, 16, kNoAltitude);  // dpth
        out[20] = newTrack;
        return 21;
    case TrackPointFormat::D302:
        writeFloat(out, 12, record.Altitude);
        writeFloat(out, 16, kNoAltitude);  // dpth
        writeFloat(out, 20, kNoAltitude);  // temp
        out[24] = newTrack;
        return 25;
    case TrackPointFormat::D303:
        writeFloat(out, 12, record.Altitude);
        out[16] = 0;  // heart rate: none in the table
        return 17;
    case TrackPointFormat::D304:
        writeFloat(out, 12, record.Altitude);
        // distance, heart rate, cadence, sensor: none in the table, all zero.
        return 23;
    }
    return 13;
}
