#pragma once
// Small helpers for building receiver records byte by byte in the tests.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/point_table.h"

using Bytes = std::vector<uint8_t>;

inline void putU16(Bytes& b, size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

inline void putU32(Bytes& b, size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

inline void putF32(Bytes& b, size_t at, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(b, at, v);
}

inline void putText(Bytes& b, size_t at, const std::string& s, bool terminate) {
    size_t need = at + s.size() + (terminate ? 1 : 0);
    if (b.size() < need) b.resize(need);
    std::memcpy(b.data() + at, s.data(), s.size());
    if (terminate) b[at + s.size()] = 0;
}

inline Bytes hexBytes(const char* hex) {
    Bytes out;
    unsigned v = 0;
    int digits = 0;
    for (const char* p = hex; *p; p++) {
        int d = -1;
        if (*p >= '0' && *p <= '9') d = *p - '0';
        if (*p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
        if (*p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
        if (d < 0) continue;
        v = v * 16 + (unsigned)d;
        if (++digits == 2) {
            out.push_back((uint8_t)v);
            v = 0;
            digits = 0;
        }
    }
    return out;
}

inline uint32_t floatBits(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

// A record with every field set to recognisable values.
inline PointRecord sampleRecord() {
    PointRecord r;
    std::memset(&r, 0, sizeof r);
    r.NumberOfRouteOrTrack = 3;
    r.NumberOfPoint = 2;
    std::strcpy(r.NameOfPoint, "HAUS");
    std::strcpy(r.NameOfRouteOrTrack, "WEG");
    std::strcpy(r.Comment, "Kirche");
    r.Latitude = 0.5;    // 5965232.355... -> 5965232 = 0x005B05B0
    r.Longitude = -0.5;  // -5965232 = 0xFFA4FA50
    r.Time = 0x01020304;
    r.Altitude = 100.0f;  // 0x42C80000
    r.Symbol = 0x1234;
    r.Display1 = 2;
    r.Display2 = 5;
    r.HasSymbol = 1;
    return r;
}
