// Decoders on packets cut at every length: each must read only the bytes
// the packet holds, and decode exactly as if the missing bytes were zero.
// The packet bytes live in a heap block of exactly `size` bytes, so a read
// beyond them is caught by the address sanitizer build.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "record_bytes.h"
#include "records/record_formats.h"

namespace {

// Exactly n bytes on the heap (nullptr for 0).
std::unique_ptr<uint8_t[]> exactCopy(const Bytes& b, size_t n) {
    if (n == 0) return nullptr;
    std::unique_ptr<uint8_t[]> p(new uint8_t[n]);
    std::memcpy(p.get(), b.data(), n);
    return p;
}

// The full 255-byte buffer with everything from n on zeroed.
Bytes zeroPadded(const Bytes& b, size_t n) {
    Bytes z(255, 0);
    std::memcpy(z.data(), b.data(), std::min(n, b.size()));
    return z;
}

void expectSamePoint(const PointRecord& a, const PointRecord& b) {
    EXPECT_STREQ(a.NameOfPoint, b.NameOfPoint);
    EXPECT_STREQ(a.Comment, b.Comment);
    EXPECT_EQ(a.Latitude, b.Latitude);
    EXPECT_EQ(a.Longitude, b.Longitude);
    EXPECT_EQ(floatBits(a.Altitude), floatBits(b.Altitude));
    EXPECT_EQ(a.Time, b.Time);
    EXPECT_EQ(a.Symbol, b.Symbol);
    EXPECT_EQ(a.Display1, b.Display1);
    EXPECT_EQ(a.Display2, b.Display2);
    EXPECT_EQ(a.HasSymbol, b.HasSymbol);
}

// A record with no NUL anywhere, the worst case for the variable strings.
Bytes noNulRecord() {
    Bytes b(255);
    for (int i = 0; i < 255; i++) b[i] = (uint8_t)(0x21 + (i * 7) % 0xDE);
    return b;
}

Bytes encodedWaypoint(WaypointFormat f) {
    PointRecord r = sampleRecord();
    std::strcpy(r.NameOfPoint, "Zwischenziel am Bach");
    std::strcpy(r.Comment,
                "Quelle und Br\xFC"
                "cke");
    uint8_t out[255];
    int n = encodeWaypoint(r, f, out);
    return Bytes(out, out + n);
}

const WaypointFormat kWaypointFormats[] = {WaypointFormat::D100, WaypointFormat::D101, WaypointFormat::D102,
                                           WaypointFormat::D103, WaypointFormat::D104, WaypointFormat::D107,
                                           WaypointFormat::D108, WaypointFormat::D109, WaypointFormat::D110};

TEST(TruncatedRecords, WaypointsReadNoFurtherThanSize) {
    for (WaypointFormat f : kWaypointFormats) {
        for (const Bytes& full : {encodedWaypoint(f), noNulRecord()}) {
            for (size_t n = 0; n <= full.size(); n++) {
                SCOPED_TRACE(testing::Message() << "format " << (int)f << " size " << n);
                auto cut = exactCopy(full, n);
                PointRecord a, b;
                std::memset(&a, 0x5A, sizeof a);
                std::memset(&b, 0xA5, sizeof b);
                decodeWaypoint(cut.get(), (int)n, f, a);
                Bytes padded = zeroPadded(full, n);
                decodeWaypoint(padded.data(), 255, f, b);
                expectSamePoint(a, b);
                EXPECT_LE(std::strlen(a.NameOfPoint), 50u);
                EXPECT_LE(std::strlen(a.Comment), 50u);
            }
        }
    }
}

TEST(TruncatedRecords, VariableStringsEndAtThePacketEnd) {
    Bytes full = encodedWaypoint(WaypointFormat::D108);
    // Cut inside the identifier "Zwischenziel am Bach" at offset 48.
    auto cut = exactCopy(full, 48 + 5);
    PointRecord r;
    decodeWaypoint(cut.get(), 48 + 5, WaypointFormat::D108, r);
    EXPECT_STREQ(r.NameOfPoint, "Zwisc");
    EXPECT_STREQ(r.Comment, "");
    EXPECT_EQ(r.Symbol, 0x1234);
    // Cut inside the comment.
    const size_t commentAt = 48 + 21;
    cut = exactCopy(full, commentAt + 6);
    decodeWaypoint(cut.get(), (int)commentAt + 6, WaypointFormat::D108, r);
    EXPECT_STREQ(r.NameOfPoint, "Zwischenziel am Bach");
    EXPECT_STREQ(r.Comment, "Quelle");
    // Cut inside the altitude: the missing bytes are zero.
    cut = exactCopy(full, 34);
    decodeWaypoint(cut.get(), 34, WaypointFormat::D108, r);
    EXPECT_EQ(floatBits(r.Altitude), 0x00000000u);  // 00 00 of 00 00 C8 42
    EXPECT_EQ(r.Latitude, 5965232.0 * 180.0 / 2147483648.0);
    EXPECT_STREQ(r.NameOfPoint, "");
    // D100 cut inside the identifier.
    Bytes d100 = encodedWaypoint(WaypointFormat::D100);
    cut = exactCopy(d100, 3);
    decodeWaypoint(cut.get(), 3, WaypointFormat::D100, r);
    EXPECT_STREQ(r.NameOfPoint, "Zwi");
    EXPECT_STREQ(r.Comment, "");
    EXPECT_EQ(r.Latitude, 0.0);
}

TEST(TruncatedRecords, RouteHeaders) {
    Bytes d201 = {9};
    putText(d201, 1, "Zwanzig Zeichen Name", false);
    Bytes d202;
    putText(d202, 0, "Heimweg", true);
    for (RouteHeaderFormat f : {RouteHeaderFormat::D200, RouteHeaderFormat::D201, RouteHeaderFormat::D202}) {
        for (const Bytes& full : {d201, d202, noNulRecord()}) {
            for (size_t n = 0; n <= full.size(); n++) {
                SCOPED_TRACE(testing::Message() << "format " << (int)f << " size " << n);
                auto cut = exactCopy(full, n);
                RouteHeader a, b;
                std::memset(&a, 0x5A, sizeof a);
                std::memset(&b, 0xA5, sizeof b);
                decodeRouteHeader(cut.get(), (int)n, f, 2, a);
                Bytes padded = zeroPadded(full, n);
                decodeRouteHeader(padded.data(), 255, f, 2, b);
                EXPECT_EQ(a.number, b.number);
                EXPECT_STREQ(a.name, b.name);
            }
        }
    }
    RouteHeader h;
    decodeRouteHeader(nullptr, 0, RouteHeaderFormat::D201, 1, h);
    EXPECT_EQ(h.number, 0);
    EXPECT_STREQ(h.name, "");
    auto cut = exactCopy(d201, 6);
    decodeRouteHeader(cut.get(), 6, RouteHeaderFormat::D201, 1, h);
    EXPECT_EQ(h.number, 9);
    EXPECT_STREQ(h.name, "Zwanz");
}

TEST(TruncatedRecords, TrackHeaders) {
    Bytes d310 = {1, 3};
    putText(d310, 2, "ACTIVE LOG", true);
    for (TrackHeaderFormat f :
         {TrackHeaderFormat::D310, TrackHeaderFormat::D311, TrackHeaderFormat::D312, TrackHeaderFormat::None}) {
        for (const Bytes& full : {d310, noNulRecord()}) {
            for (size_t n = 0; n <= full.size(); n++) {
                SCOPED_TRACE(testing::Message() << "format " << (int)f << " size " << n);
                auto cut = exactCopy(full, n);
                TrackHeader a, b;
                std::memset(&a, 0x5A, sizeof a);
                std::memset(&b, 0xA5, sizeof b);
                decodeTrackHeader(cut.get(), (int)n, f, a);
                Bytes padded = zeroPadded(full, n);
                decodeTrackHeader(padded.data(), 255, f, b);
                EXPECT_STREQ(a.name, b.name);
                EXPECT_EQ(a.hasSymbol, b.hasSymbol);
                EXPECT_EQ(a.display1, b.display1);
                EXPECT_EQ(a.display2, b.display2);
            }
        }
    }
    TrackHeader h;
    decodeTrackHeader(d310.data(), 1, TrackHeaderFormat::D311, h);
    EXPECT_STREQ(h.name, "TRK01");
    decodeTrackHeader(d310.data(), 6, TrackHeaderFormat::D310, h);
    EXPECT_STREQ(h.name, "ACTI");
    EXPECT_EQ(h.display2, 3);
}

TEST(TruncatedRecords, TrackPoints) {
    PointRecord src = sampleRecord();
    src.NewSegment = 1;
    for (TrackPointFormat f : {TrackPointFormat::D300, TrackPointFormat::D301, TrackPointFormat::D302,
                               TrackPointFormat::D303, TrackPointFormat::D304}) {
        uint8_t out[255];
        int size = encodeTrackPoint(src, f, out);
        Bytes encoded(out, out + size);
        for (const Bytes& full : {encoded, noNulRecord()}) {
            for (size_t n = 0; n <= full.size(); n++) {
                SCOPED_TRACE(testing::Message() << "format " << (int)f << " size " << n);
                auto cut = exactCopy(full, n);
                PointRecord a, b;
                std::memset(&a, 0x5A, sizeof a);
                std::memset(&b, 0xA5, sizeof b);
                TrackPointInfo ia = decodeTrackPoint(cut.get(), (int)n, f, a);
                Bytes padded = zeroPadded(full, n);
                TrackPointInfo ib = decodeTrackPoint(padded.data(), 255, f, b);
                EXPECT_EQ(ia.newSegment, ib.newSegment);
                EXPECT_EQ(ia.gapMarker, ib.gapMarker);
                EXPECT_EQ(a.Latitude, b.Latitude);
                EXPECT_EQ(a.Longitude, b.Longitude);
                EXPECT_EQ(a.Time, b.Time);
                EXPECT_EQ(floatBits(a.Altitude), floatBits(b.Altitude));
            }
        }
    }
    // A D300 point without its flag byte starts no segment.
    uint8_t out[255];
    encodeTrackPoint(src, TrackPointFormat::D300, out);
    PointRecord r;
    EXPECT_TRUE(decodeTrackPoint(out, 13, TrackPointFormat::D300, r).newSegment);
    EXPECT_FALSE(decodeTrackPoint(out, 12, TrackPointFormat::D300, r).newSegment);
    // A gap marker cut short is no gap marker.
    Bytes gap(8, 0);
    putU32(gap, 0, 0x7FFFFFFF);
    putU32(gap, 4, 0x7FFFFFFF);
    auto cut = exactCopy(gap, 8);
    EXPECT_TRUE(decodeTrackPoint(cut.get(), 8, TrackPointFormat::D303, r).gapMarker);
    cut = exactCopy(gap, 7);
    EXPECT_FALSE(decodeTrackPoint(cut.get(), 7, TrackPointFormat::D304, r).gapMarker);
}

}  // namespace
