#pragma once
// Builders of binary overlay files for the tests, from the file layout:
// version 2 as the program writes it, versions 3 and 4 as TOP50 writes them.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline std::string le16(unsigned v) { return std::string{(char)(v & 0xFF), (char)((v >> 8) & 0xFF)}; }

inline std::string le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; i++) s += (char)((v >> (8 * i)) & 0xFF);
    return s;
}

inline std::string leDouble(double d) {
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    std::string s;
    for (int i = 0; i < 8; i++) s += (char)((bits >> (8 * i)) & 0xFF);
    return s;
}

// The 169-byte header of version 2.0 with the given centre.
inline std::string v2Header(double centerLon, double centerLat) {
    std::string h = "DOMGVCRD Ovlfile V2.0:";
    h += '\0';
    h += le16(144) + le16(2) + le16(1);
    h += std::string(
             "L\xE4nder\xFC"
             "bersicht BRD",
             19) +
         '\0';
    h += std::string(12, '\0');
    h += le32(100) + le32(100);
    h += leDouble(centerLon) + leDouble(centerLat) + leDouble(centerLon) + leDouble(centerLat);
    h += le32(255) + le16(58) + le16(6) + le16(1) + le16(5) + std::string(4, '\0') + le16(986) + le16(583);
    h += std::string(48, '\0');
    return h;
}

// Head and text of a version-2 object; text nullptr gives text flag 1.
inline std::string v2Start(unsigned type, const char* text) {
    std::string s = le16(type) + le16(1) + le16(1);
    if (!text) return s + le16(1);
    std::string t(text);
    return s + le16(16) + le32((uint32_t)t.size() + 1) + t + '\0';
}

inline std::string v2Point(const char* text, double lon, double lat) {
    return v2Start(6, text) + le16(1) + le16(12) + le16(12) + le16(1) + le16(2) + le16(2) + leDouble(lon) +
           leDouble(lat);
}

inline std::string v2Line(const char* text, const std::vector<std::pair<double, double>>& vertices) {
    std::string s = v2Start(3, text) + le16(5) + le16(4) + le16(1) + le16((unsigned)vertices.size());
    for (const auto& v : vertices) s += leDouble(v.first) + leDouble(v.second);
    return s;
}

// Header of a version-3 or -4 file: 25 bytes, then 16 + (x + 8) + (y + 4).
inline std::string v34Header(int version) {
    std::string h = "DOMGVCRD Ovlfile V" + std::to_string(version) + ".0:";
    h += std::string(25 - h.size(), '\0');
    h += std::string(14, 'a') + le16(5);  // x = 5
    h += std::string(11, 'b') + le16(3);  // 5 + 8 bytes, y = 3
    h += std::string(7, 'c');             // 3 + 4 bytes
    return h;
}

// Head (24 bytes, k = 6), the k + 2 bytes with the text flag and the text.
inline std::string v34Start(unsigned type, const char* text) {
    std::string head(24, '\x11');
    head[0] = (char)type;
    head.replace(22, 2, le16(6));
    std::string flags(8, '\x22');
    flags[6] = text ? 16 : 1;
    std::string s = head + flags;
    if (text) {
        std::string t(text);
        s += le32((uint32_t)t.size() + 1) + t + '\0';
    }
    return s;
}

inline std::string v34Point(const char* text, double lon, double lat, unsigned link = 0) {
    std::string tail(54, '\x33');
    tail.replace(0, 2, le16(link));
    tail.replace(30, 8, leDouble(lon));
    tail.replace(38, 8, leDouble(lat));
    return v34Start(6, text) + tail;
}

inline std::string v34Line(unsigned type, const char* text, const std::vector<std::pair<double, double>>& vertices,
                           unsigned link = 0) {
    std::string tail(20, '\x44');
    tail.replace(0, 2, le16(link));
    tail.replace(18, 2, le16((unsigned)vertices.size()));
    std::string s = v34Start(type, text) + tail;
    for (const auto& v : vertices) s += leDouble(v.first) + leDouble(v.second) + std::string(8, '\x55');
    return s;
}
