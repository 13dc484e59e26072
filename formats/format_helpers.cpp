// Coordinate text, decimal numbers, centre and byte access of the file formats.

#include "formats/format_helpers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

void formatCoordinate(char* out, size_t size, double value) {
    std::to_chars_result r = std::to_chars(out, out + size - 1, value, std::chars_format::fixed, 8);
    if (r.ec != std::errc()) r.ptr = out;
    *r.ptr = '\0';
}

Centre centreOfValidPositions() {
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
    bool any = false;
    for (int i = 0; i < pointTable.count; i++) {
        const PointRecord& r = pointTable.records[i];
        if (!isValidPosition(r)) continue;
        if (!any || r.Latitude > maxLat) maxLat = r.Latitude;
        if (!any || r.Latitude < minLat) minLat = r.Latitude;
        if (!any || r.Longitude > maxLon) maxLon = r.Longitude;
        if (!any || r.Longitude < minLon) minLon = r.Longitude;
        any = true;
    }
    return {(minLon + maxLon) / 2, (minLat + maxLat) / 2};
}

int leaveOutInvalidPositions(int first, bool noneIsError) {
    const int dropped = dropInvalidPositions(first);
    if (dropped == 0) return 1;
    if (pointTable.count == first) {
        if (!noneIsError) return 1;
        showError(kNoValidPositionInFileError);
        return 0;
    }
    char text[256];
    snprintf(text, sizeof text, dropped == 1 ? kPositionLeftOutWarning : kPositionsLeftOutWarning, dropped);
    showWarning(text);
    return 1;
}

void put16(unsigned char* p, unsigned value) {
    p[0] = (unsigned char)(value & 0xFF);
    p[1] = (unsigned char)((value >> 8) & 0xFF);
}

void put32(unsigned char* p, uint32_t value) {
    for (int i = 0; i < 4; i++) p[i] = (unsigned char)((value >> (8 * i)) & 0xFF);
}

void putDouble(unsigned char* p, double value) {
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; i++) p[i] = (unsigned char)((bits >> (8 * i)) & 0xFF);
}

unsigned get16(const unsigned char* p) { return (unsigned)p[0] | ((unsigned)p[1] << 8); }

uint32_t get32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

double getDouble(const unsigned char* p) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; i++) bits |= (uint64_t)p[i] << (8 * i);
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}
