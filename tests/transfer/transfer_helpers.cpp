#include "tests/transfer/transfer_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

#include "formats/mif.h"

std::vector<uint8_t> u16Bytes(int value) { return {(uint8_t)(value & 0xFF), (uint8_t)((value >> 8) & 0xFF)}; }

std::vector<uint8_t> waypointRecord(WaypointFormat format, const char* name, double lat, double lon,
                                    const char* comment) {
    const PointRecord record = makePoint({.name = name, .comment = comment, .lat = lat, .lon = lon});
    uint8_t out[255];
    const int size = encodeWaypoint(record, format, out);
    return std::vector<uint8_t>(out, out + size);
}

std::vector<uint8_t> trackPointRecord(TrackPointFormat format, double lat, double lon, int32_t time, float altitude,
                                      bool newSegment) {
    const PointRecord record =
        makePoint({.lat = lat, .lon = lon, .newSegment = newSegment ? 1 : 0, .time = time, .altitude = altitude});
    uint8_t out[255];
    const int size = encodeTrackPoint(record, format, out);
    return std::vector<uint8_t>(out, out + size);
}

std::vector<uint8_t> gapMarker() {
    std::vector<uint8_t> data(17, 0);
    for (int i = 0; i < 8; i++) data[i] = (i % 4 == 3) ? 0x7F : 0xFF;
    return data;
}

std::vector<uint8_t> trackHeaderD310(const char* name, uint8_t display, uint8_t color) {
    std::vector<uint8_t> data = {display, color};
    for (const char* p = name; *p; p++) data.push_back((uint8_t)*p);
    data.push_back(0);
    return data;
}

std::string writeTableAsMif(const std::string& name, int objectKind) {
    const std::string path = tempFile(name);
    countLinePoints(objectKind);
    EXPECT_EQ(writeMifFile(path.c_str(), objectKind), 1);
    return path;
}
