// Route headers, route links, track headers and track points.

#include <gtest/gtest.h>

#include <string>

#include "record_bytes.h"
#include "records/record_formats.h"

namespace {

Bytes routeHeader(const PointRecord& r, RouteHeaderFormat f) {
    uint8_t out[255];
    int n = encodeRouteHeader(r, f, out);
    return Bytes(out, out + n);
}

Bytes trackHeader(const PointRecord& r, TrackHeaderFormat f, bool separate) {
    uint8_t out[255];
    std::memset(out, 0xEE, sizeof out);
    int n = encodeTrackHeader(r, f, separate, out);
    return Bytes(out, out + n);
}

Bytes trackPoint(const PointRecord& r, TrackPointFormat f) {
    uint8_t out[255];
    std::memset(out, 0xEE, sizeof out);
    int n = encodeTrackPoint(r, f, out);
    for (int i = n; i < 255; i++) EXPECT_EQ(out[i], 0);
    return Bytes(out, out + n);
}

RouteHeader garbageRoute() {
    RouteHeader h;
    std::memset(&h, 0x5A, sizeof h);
    return h;
}

TrackHeader garbageTrack() {
    TrackHeader h;
    std::memset(&h, 0x5A, sizeof h);
    return h;
}

// ---- route headers -----------------------------------------------------

TEST(RouteHeaderDecode, D200NumberOnly) {
    Bytes b = {0xC8, 'X', 'Y'};
    RouteHeader h = garbageRoute();
    decodeRouteHeader(b.data(), (int)b.size(), RouteHeaderFormat::D200, 4, h);
    EXPECT_EQ(h.number, 200);
    EXPECT_STREQ(h.name, "");
}

TEST(RouteHeaderDecode, D201NameCutAt20) {
    Bytes b(21, 0);
    b[0] = 7;
    putText(b, 1, "ABCDEFGHIJKLMNOPQRST", false);
    b.push_back('!');  // a byte beyond the 20-byte comment
    RouteHeader h = garbageRoute();
    decodeRouteHeader(b.data(), (int)b.size(), RouteHeaderFormat::D201, 1, h);
    EXPECT_EQ(h.number, 7);
    EXPECT_STREQ(h.name, "ABCDEFGHIJKLMNOPQRST");

    putText(b, 1, "Alpen", true);
    decodeRouteHeader(b.data(), (int)b.size(), RouteHeaderFormat::D201, 1, h);
    EXPECT_STREQ(h.name, "Alpen");
}

TEST(RouteHeaderDecode, D202NumberIsTheHeaderCount) {
    Bytes b;
    putText(b, 0, "Heimweg", true);
    RouteHeader h = garbageRoute();
    decodeRouteHeader(b.data(), (int)b.size(), RouteHeaderFormat::D202, 3, h);
    EXPECT_EQ(h.number, 3);
    EXPECT_STREQ(h.name, "Heimweg");

    Bytes longName;
    putText(longName, 0, std::string(80, 'r'), true);
    decodeRouteHeader(longName.data(), (int)longName.size(), RouteHeaderFormat::D202, 1, h);
    EXPECT_EQ(std::string(h.name), std::string(50, 'r'));
}

TEST(RouteHeaderEncode, AllFormatsExact) {
    PointRecord r = sampleRecord();
    r.NumberOfRouteOrTrack = 0x1207;  // low 8 bits: 7
    EXPECT_EQ(routeHeader(r, RouteHeaderFormat::D200), Bytes{0x07});
    EXPECT_EQ(routeHeader(r, RouteHeaderFormat::D201), hexBytes("07 574547 00000000000000000000000000000000 00"));
    EXPECT_EQ(routeHeader(r, RouteHeaderFormat::D202), hexBytes("574547 00"));

    // 25 characters: D201 keeps 20 without a terminator.
    std::strcpy(r.NameOfRouteOrTrack, "ABCDEFGHIJKLMNOPQRSTUVWXY");
    Bytes d201 = routeHeader(r, RouteHeaderFormat::D201);
    ASSERT_EQ(d201.size(), 21u);
    EXPECT_EQ(std::string(d201.begin() + 1, d201.end()), "ABCDEFGHIJKLMNOPQRST");
    Bytes d202 = routeHeader(r, RouteHeaderFormat::D202);
    EXPECT_EQ(d202.size(), 26u);
    EXPECT_EQ(d202.back(), 0);
}

TEST(RouteHeaderEncode, D202UnnamedRoute) {
    PointRecord r = sampleRecord();
    r.NameOfRouteOrTrack[0] = 0;
    r.NumberOfRouteOrTrack = 7;
    Bytes b = routeHeader(r, RouteHeaderFormat::D202);
    EXPECT_EQ(std::string(b.begin(), b.end()), std::string("Route_07", 9));
    r.NumberOfRouteOrTrack = 123;
    b = routeHeader(r, RouteHeaderFormat::D202);
    EXPECT_EQ(std::string(b.begin(), b.end()), std::string("Route_123", 10));
    // D201 of an unnamed route: an all-NUL comment.
    EXPECT_EQ(routeHeader(r, RouteHeaderFormat::D201), hexBytes("7B 0000000000000000000000000000000000000000"));
}

TEST(RouteLinkEncode, D210Exact) {
    uint8_t out[255];
    std::memset(out, 0xEE, sizeof out);
    int n = encodeRouteLink(out);
    ASSERT_EQ(n, 21);
    EXPECT_EQ(Bytes(out, out + n), hexBytes("0000 000000000000 FFFFFFFFFFFFFFFFFFFFFFFF 00"));
}

TEST(RouteHeaderRoundTrip, NamesSurvive) {
    PointRecord r = sampleRecord();
    std::strcpy(r.NameOfRouteOrTrack,
                "Zugspitze \xFC"
                "ber Reintal");
    r.NumberOfRouteOrTrack = 12;
    for (RouteHeaderFormat f : {RouteHeaderFormat::D201, RouteHeaderFormat::D202}) {
        Bytes b = routeHeader(r, f);
        RouteHeader h = garbageRoute();
        decodeRouteHeader(b.data(), (int)b.size(), f, 5, h);
        EXPECT_EQ(h.number, f == RouteHeaderFormat::D201 ? 12 : 5);
        EXPECT_EQ(std::string(h.name), f == RouteHeaderFormat::D201 ? std::string(r.NameOfRouteOrTrack).substr(0, 20)
                                                                    : std::string(r.NameOfRouteOrTrack));
    }
}

// ---- track headers -----------------------------------------------------

TEST(TrackHeaderDecode, D310AndD312TakeNameAndColours) {
    Bytes b = {1, 4};
    putText(b, 2, "ACTIVE LOG", true);
    for (TrackHeaderFormat f : {TrackHeaderFormat::D310, TrackHeaderFormat::D312}) {
        TrackHeader h = garbageTrack();
        decodeTrackHeader(b.data(), (int)b.size(), f, h);
        EXPECT_STREQ(h.name, "ACTIVE LOG");
        EXPECT_EQ(h.hasSymbol, 1);
        EXPECT_EQ(h.display1, 1);
        EXPECT_EQ(h.display2, 4);
    }
    TrackHeader h = garbageTrack();
    decodeTrackHeader(b.data(), (int)b.size(), TrackHeaderFormat::None, h);
    EXPECT_STREQ(h.name, "ACTIVE LOG");
    EXPECT_EQ(h.hasSymbol, 0);
    EXPECT_EQ(h.display1, 0);
    EXPECT_EQ(h.display2, 0);

    Bytes longName = {0, 0};
    putText(longName, 2, std::string(200, 't'), true);
    decodeTrackHeader(longName.data(), (int)longName.size(), TrackHeaderFormat::D310, h);
    EXPECT_EQ(std::string(h.name), std::string(50, 't'));
}

TEST(TrackHeaderDecode, D311NameFromIndex) {
    TrackHeader h = garbageTrack();
    Bytes b = {0x05, 0x00};
    decodeTrackHeader(b.data(), 2, TrackHeaderFormat::D311, h);
    EXPECT_STREQ(h.name, "TRK05");
    EXPECT_EQ(h.hasSymbol, 0);
    EXPECT_EQ(h.display1, 0);
    EXPECT_EQ(h.display2, 0);
    b = {0xFF, 0xFF};
    decodeTrackHeader(b.data(), 2, TrackHeaderFormat::D311, h);
    EXPECT_STREQ(h.name, "TRK65535");
    b = {0x7B, 0x00};
    decodeTrackHeader(b.data(), 2, TrackHeaderFormat::D311, h);
    EXPECT_STREQ(h.name, "TRK123");
}

TEST(TrackHeaderEncode, D311IndexRule) {
    PointRecord r = sampleRecord();
    r.NumberOfRouteOrTrack = 0x12345;
    std::strcpy(r.NameOfRouteOrTrack, "TRK12");
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, false), hexBytes("0C00"));
    std::strcpy(r.NameOfRouteOrTrack, "TRK07");
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, true), hexBytes("0700"));
    std::strcpy(r.NameOfRouteOrTrack, "TRKAB");
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, false), hexBytes("0000"));
    // Not exactly 5 characters, or not "TRK" in capitals: the number's low 16 bits.
    std::strcpy(r.NameOfRouteOrTrack, "TRK1");
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, false), hexBytes("4523"));
    std::strcpy(r.NameOfRouteOrTrack, "TRK123");
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, false), hexBytes("4523"));
    std::strcpy(r.NameOfRouteOrTrack, "trk12");
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, false), hexBytes("4523"));
    r.NameOfRouteOrTrack[0] = 0;
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D311, false), hexBytes("4523"));
}

TEST(TrackHeaderEncode, D310LayoutExact) {
    PointRecord r = sampleRecord();  // track "WEG", display 2, colour 5
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D310, false), hexBytes("02 05 574547 00"));
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D312, true), hexBytes("02 05 574547 00"));
    r.HasSymbol = 0;
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D310, false), hexBytes("01 FF 574547 00"));
    r.NameOfRouteOrTrack[0] = 0;
    r.NumberOfRouteOrTrack = 5;
    Bytes b = trackHeader(r, TrackHeaderFormat::D310, true);
    EXPECT_EQ(b, hexBytes("01 FF 54524B3035 00"));  // TRK05
    b = trackHeader(r, TrackHeaderFormat::D310, false);
    EXPECT_EQ(b, hexBytes("01 FF 545241434B 00"));  // TRACK
    std::memset(r.NameOfRouteOrTrack, 'n', 50);
    r.NameOfRouteOrTrack[50] = 0;
    EXPECT_EQ(trackHeader(r, TrackHeaderFormat::D310, false).size(), 53u);
}

TEST(TrackHeaderRoundTrip, D310) {
    PointRecord r = sampleRecord();
    std::strcpy(r.NameOfRouteOrTrack,
                "Rundweg S\xFC"
                "d");
    Bytes b = trackHeader(r, TrackHeaderFormat::D310, true);
    TrackHeader h = garbageTrack();
    decodeTrackHeader(b.data(), (int)b.size(), TrackHeaderFormat::D310, h);
    EXPECT_STREQ(h.name, r.NameOfRouteOrTrack);
    EXPECT_EQ(h.hasSymbol, 1);
    EXPECT_EQ(h.display1, 2);
    EXPECT_EQ(h.display2, 5);
}

// ---- track points ------------------------------------------------------

Bytes trackPointBytes(uint32_t lat, uint32_t lon, uint32_t time, float alt, int flagAt, uint8_t flag, int size) {
    Bytes b(size, 0);
    putU32(b, 0, lat);
    putU32(b, 4, lon);
    putU32(b, 8, time);
    if (size >= 16) putF32(b, 12, alt);
    if (flagAt >= 0) b[flagAt] = flag;
    b.resize(size);
    return b;
}

TEST(TrackPointDecode, FieldsAndNewSegmentFlag) {
    struct Case {
        TrackPointFormat format;
        int flagAt, size;
    } cases[] = {{TrackPointFormat::D300, 12, 13}, {TrackPointFormat::D301, 20, 21}, {TrackPointFormat::D302, 24, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE((int)c.format);
        for (uint8_t flag : {0, 1, 0x80}) {
            Bytes b = trackPointBytes(0x20000000, 0xE0000000, 0x12345678, 321.5f, c.flagAt, flag, c.size);
            PointRecord r;
            std::memset(&r, 0x5A, sizeof r);
            TrackPointInfo info = decodeTrackPoint(b.data(), (int)b.size(), c.format, r);
            EXPECT_EQ(info.newSegment, flag != 0);
            EXPECT_FALSE(info.gapMarker);
            EXPECT_EQ(r.Latitude, 45.0);
            EXPECT_EQ(r.Longitude, -45.0);
            EXPECT_EQ(r.Time, 0x12345678);
            if (c.format == TrackPointFormat::D300)
                EXPECT_EQ(floatBits(r.Altitude), 0x69045951u);
            else
                EXPECT_EQ(r.Altitude, 321.5f);
        }
    }
}

TEST(TrackPointDecode, D303D304GapMarkers) {
    for (TrackPointFormat f : {TrackPointFormat::D303, TrackPointFormat::D304}) {
        SCOPED_TRACE((int)f);
        int size = f == TrackPointFormat::D303 ? 17 : 23;
        PointRecord r;
        Bytes point = trackPointBytes(0x20000000, 0x10000000, 77, 10.0f, 16, 1, size);
        TrackPointInfo info = decodeTrackPoint(point.data(), size, f, r);
        EXPECT_FALSE(info.newSegment);  // no flag byte in these formats
        EXPECT_FALSE(info.gapMarker);
        EXPECT_EQ(r.Altitude, 10.0f);
        EXPECT_EQ(r.Time, 77);

        Bytes gap = trackPointBytes(0x7FFFFFFF, 0x7FFFFFFF, 0, 0.0f, -1, 0, size);
        info = decodeTrackPoint(gap.data(), size, f, r);
        EXPECT_TRUE(info.gapMarker);
        EXPECT_FALSE(info.newSegment);

        // Only both coordinates at 0x7FFFFFFF make a gap marker.
        Bytes half = trackPointBytes(0x7FFFFFFF, 0x7FFFFFFE, 0, 0.0f, -1, 0, size);
        EXPECT_FALSE(decodeTrackPoint(half.data(), size, f, r).gapMarker);
    }
    // The older formats know no gap markers.
    Bytes gap = trackPointBytes(0x7FFFFFFF, 0x7FFFFFFF, 0, 0.0f, 20, 0, 21);
    PointRecord r;
    EXPECT_FALSE(decodeTrackPoint(gap.data(), 21, TrackPointFormat::D301, r).gapMarker);
}

TEST(TrackPointEncode, AllLayoutsExact) {
    PointRecord r = sampleRecord();
    r.NewSegment = 1;
    const std::string common = "B0055B00 50FAA4FF 04030201";
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D300), hexBytes((common + "01").c_str()));
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D301), hexBytes((common + "0000C842 51590469 01").c_str()));
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D302), hexBytes((common + "0000C842 51590469 51590469 01").c_str()));
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D303), hexBytes((common + "0000C842 00").c_str()));
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D304), hexBytes((common + "0000C842 00000000 00 00 00").c_str()));
    r.NewSegment = 0;
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D300), hexBytes((common + "00").c_str()));
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D302).back(), 0);
    // No time, no altitude.
    r.Time = 0;
    r.Altitude = kNoAltitude;
    EXPECT_EQ(trackPoint(r, TrackPointFormat::D301), hexBytes("B0055B00 50FAA4FF 00000000 51590469 51590469 00"));
}

TEST(TrackPointRoundTrip, AllLayouts) {
    PointRecord r = sampleRecord();
    r.Latitude = -33.856784;
    r.Longitude = 151.215297;
    r.Time = (int32_t)0xF0000001;
    r.Altitude = 58.25f;
    for (TrackPointFormat f : {TrackPointFormat::D300, TrackPointFormat::D301, TrackPointFormat::D302,
                               TrackPointFormat::D303, TrackPointFormat::D304}) {
        SCOPED_TRACE((int)f);
        for (int segment : {0, 1}) {
            r.NewSegment = segment;
            Bytes b = trackPoint(r, f);
            PointRecord d;
            TrackPointInfo info = decodeTrackPoint(b.data(), (int)b.size(), f, d);
            EXPECT_NEAR(d.Latitude, r.Latitude, 1e-7);
            EXPECT_NEAR(d.Longitude, r.Longitude, 1e-7);
            EXPECT_EQ(d.Time, r.Time);
            if (f == TrackPointFormat::D300)
                EXPECT_EQ(floatBits(d.Altitude), 0x69045951u);
            else
                EXPECT_EQ(d.Altitude, 58.25f);
            bool hasFlag = f == TrackPointFormat::D300 || f == TrackPointFormat::D301 || f == TrackPointFormat::D302;
            EXPECT_EQ(info.newSegment, hasFlag && segment == 1);
            EXPECT_FALSE(info.gapMarker);
        }
    }
}

}  // namespace
