// Waypoint records D100..D110: decoding of handcrafted records, byte-exact
// encodings and encode -> decode round trips.

#include <gtest/gtest.h>

#include <string>

#include "record_bytes.h"
#include "records/record_formats.h"

namespace {

PointRecord garbageRecord() {
    PointRecord r;
    std::memset(&r, 0x5A, sizeof r);
    return r;
}

PointRecord decoded(const Bytes& b, WaypointFormat f) {
    PointRecord r = garbageRecord();
    decodeWaypoint(b.data(), (int)b.size(), f, r);
    return r;
}

Bytes encoded(const PointRecord& r, WaypointFormat f) {
    uint8_t out[255];
    std::memset(out, 0xEE, sizeof out);
    int n = encodeWaypoint(r, f, out);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 255);
    for (int i = n; i < 255; i++) EXPECT_EQ(out[i], 0) << "byte " << i << " behind the record";
    return Bytes(out, out + n);
}

// A D100-family record of 65 bytes: ident "ABCDEF" directly followed by the
// latitude, a comment of 40 characters directly followed by byte 58, and
// distinct values in bytes 58..64.
Bytes d100FamilyRecord() {
    Bytes b(65, 0);
    putText(b, 0, "ABCDEF", false);
    putU32(b, 6, 0x40000000);   // 90 degrees
    putU32(b, 10, 0xC0000000);  // -90 degrees
    putU32(b, 14, 0x11223344);
    putText(b, 18, "Ein Kommentar von genau vierzig Zeichen.", false);
    b[58] = 0x08;
    b[59] = 0x02;
    b[60] = 0xAA;
    b[61] = 0xBB;
    b[62] = 0x34;
    b[63] = 0x12;
    b[64] = 0x05;
    return b;
}

TEST(WaypointDecode, D100FamilyCutsIdentAndCommentAtTheirWidth) {
    Bytes b = d100FamilyRecord();
    for (WaypointFormat f : {WaypointFormat::D100, WaypointFormat::D101, WaypointFormat::D102, WaypointFormat::D103,
                             WaypointFormat::D104, WaypointFormat::D107}) {
        PointRecord r = decoded(b, f);
        EXPECT_STREQ(r.NameOfPoint, "ABCDEF");
        EXPECT_STREQ(r.Comment, "Ein Kommentar von genau vierzig Zeichen.");
        EXPECT_EQ(r.Latitude, 90.0);
        EXPECT_EQ(r.Longitude, -90.0);
        EXPECT_EQ(floatBits(r.Altitude), 0x69045951u);
        EXPECT_EQ(r.Time, 0);
    }
}

TEST(WaypointDecode, D100FamilySymbolFields) {
    Bytes b = d100FamilyRecord();
    struct Case {
        WaypointFormat format;
        int hasSymbol, symbol, display1, display2;
    } cases[] = {
        {WaypointFormat::D100, 0, 0, 0, 0},      {WaypointFormat::D101, 1, 0x34, 0, 0},
        {WaypointFormat::D102, 1, 0x1234, 0, 0}, {WaypointFormat::D103, 1, 8, 2, 0},
        {WaypointFormat::D104, 1, 0x1234, 5, 0}, {WaypointFormat::D107, 1, 8, 2, 5},
    };
    for (const Case& c : cases) {
        PointRecord r = decoded(b, c.format);
        SCOPED_TRACE((int)c.format);
        EXPECT_EQ(r.HasSymbol, c.hasSymbol);
        EXPECT_EQ(r.Symbol, c.symbol);
        EXPECT_EQ(r.Display1, c.display1);
        EXPECT_EQ(r.Display2, c.display2);
    }
}

TEST(WaypointDecode, D100ShortIdentAndCp1252Bytes) {
    Bytes b = d100FamilyRecord();
    putText(b, 0,
            "M\xFC"
            "n",
            true);  // "Mün", NUL, then 'E','F'
    putText(b, 18,
            "Stra\xDF"
            "e",
            true);
    PointRecord r = decoded(b, WaypointFormat::D100);
    EXPECT_STREQ(r.NameOfPoint,
                 "M\xFC"
                 "n");
    EXPECT_STREQ(r.Comment,
                 "Stra\xDF"
                 "e");
}

TEST(WaypointDecode, D103Symbol8With40CharComment) {
    Bytes b(60, ' ');
    putText(b, 0, "WP0001", false);
    putU32(b, 6, 0);
    putU32(b, 10, 0);
    putU32(b, 14, 0);
    putText(b, 18, std::string(40, 'k'), false);
    b[58] = 8;
    b[59] = 1;
    PointRecord r = decoded(b, WaypointFormat::D103);
    EXPECT_EQ(r.Symbol, 8);
    EXPECT_EQ(r.Display1, 1);
    EXPECT_EQ(std::string(r.Comment), std::string(40, 'k'));
    EXPECT_STREQ(r.NameOfPoint, "WP0001");
}

// D108 with ident "HAUS" and comment "Kirche".
Bytes d108Record() {
    Bytes b(48, 0);
    b[1] = 0x05;  // colour
    b[2] = 0x02;  // display
    b[3] = 0x60;
    putU16(b, 4, 0x1234);
    for (int i = 12; i < 24; i++) b[i] = 0xFF;
    putU32(b, 24, 0x005B05B0);
    putU32(b, 28, 0xFFA4FA50);
    putF32(b, 32, 100.0f);
    putF32(b, 36, 1e25f);
    putText(b, 44, "    ", false);
    putText(b, 48, "HAUS", true);
    putText(b, 53, "Kirche", true);
    putU32(b, 60, 0);
    return b;
}

TEST(WaypointDecode, D108Fields) {
    PointRecord r = decoded(d108Record(), WaypointFormat::D108);
    EXPECT_STREQ(r.NameOfPoint, "HAUS");
    EXPECT_STREQ(r.Comment, "Kirche");
    EXPECT_EQ(r.Latitude, 5965232.0 * 180.0 / 2147483648.0);
    EXPECT_EQ(r.Longitude, -5965232.0 * 180.0 / 2147483648.0);
    EXPECT_EQ(r.Altitude, 100.0f);
    EXPECT_EQ(r.Symbol, 0x1234);
    EXPECT_EQ(r.Display1, 2);
    EXPECT_EQ(r.Display2, 5);
    EXPECT_EQ(r.HasSymbol, 1);
    EXPECT_EQ(r.Time, 0);
}

TEST(WaypointDecode, D108LongIdentKeeps50AndFindsCommentAfterIt) {
    Bytes b = d108Record();
    b.resize(48);
    std::string ident;
    for (int i = 0; i < 60; i++) ident += (char)('A' + i % 26);
    putText(b, 48, ident, true);
    putText(b, 48 + 61, std::string(70, 'c'), true);
    putU32(b, b.size(), 0);
    PointRecord r = decoded(b, WaypointFormat::D108);
    EXPECT_EQ(std::string(r.NameOfPoint), ident.substr(0, 50));
    EXPECT_EQ(std::string(r.Comment), std::string(50, 'c'));
}

TEST(WaypointDecode, D108EmptyIdentAndComment) {
    Bytes b = d108Record();
    b.resize(48);
    putU32(b, 48, 0);
    PointRecord r = decoded(b, WaypointFormat::D108);
    EXPECT_STREQ(r.NameOfPoint, "");
    EXPECT_STREQ(r.Comment, "");
}

TEST(WaypointDecode, D109DisplayColourByteSplits) {
    Bytes b = d108Record();
    b.resize(48);
    b[0] = 1;
    b[1] = 0;
    b[2] = 0x7F;
    b[3] = 0x70;
    putU32(b, 48, 0xFFFFFFFF);
    putText(b, 52, "P1", true);
    putText(b, 55, "c", true);
    putU32(b, 57, 0);
    PointRecord r = decoded(b, WaypointFormat::D109);
    EXPECT_EQ(r.Display1, 31);
    EXPECT_EQ(r.Display2, 3);
    EXPECT_STREQ(r.NameOfPoint, "P1");
    EXPECT_STREQ(r.Comment, "c");
    EXPECT_EQ(r.Time, 0);
    b[2] = 0xE0;
    r = decoded(b, WaypointFormat::D109);
    EXPECT_EQ(r.Display1, 0);
    EXPECT_EQ(r.Display2, 7);
}

Bytes d110Record(uint32_t time) {
    Bytes b = d108Record();
    b.resize(48);
    b[0] = 1;
    b[1] = 0;
    b[2] = 0x41;  // colour 1, display 2
    b[3] = 0x80;
    putU32(b, 48, 0xFFFFFFFF);
    putF32(b, 52, 1e25f);
    putU32(b, 56, time);
    putU16(b, 60, 0);
    putText(b, 62, "Gipfel", true);
    putText(b, 69, "hoch", true);
    putU32(b, 74, 0);
    return b;
}

TEST(WaypointDecode, D110TimeAndStrings) {
    PointRecord r = decoded(d110Record(0x2A3B4C5D), WaypointFormat::D110);
    EXPECT_EQ(r.Time, 0x2A3B4C5D);
    EXPECT_STREQ(r.NameOfPoint, "Gipfel");
    EXPECT_STREQ(r.Comment, "hoch");
    EXPECT_EQ(r.Display1, 1);
    EXPECT_EQ(r.Display2, 2);
    EXPECT_EQ(r.Symbol, 0x1234);
    EXPECT_EQ(r.Altitude, 100.0f);
    // No time: 0xFFFFFFFF becomes 0; other values are kept bit for bit.
    EXPECT_EQ(decoded(d110Record(0xFFFFFFFF), WaypointFormat::D110).Time, 0);
    EXPECT_EQ((uint32_t)decoded(d110Record(0xFFFFFFFE), WaypointFormat::D110).Time, 0xFFFFFFFEu);
    EXPECT_EQ((uint32_t)decoded(d110Record(0x80000000), WaypointFormat::D110).Time, 0x80000000u);
}

TEST(WaypointDecode, OversizedSizeIsClampedToThePacket) {
    // A size beyond 255 (or below 0) never makes the decoder read more
    // than the 255 bytes a packet can hold.
    uint8_t data[255];
    std::memset(data, 'x', sizeof data);
    PointRecord r = garbageRecord();
    decodeWaypoint(data, 1000, WaypointFormat::D108, r);
    EXPECT_EQ(std::string(r.NameOfPoint), std::string(50, 'x'));
    EXPECT_STREQ(r.Comment, "");
    decodeWaypoint(data, -5, WaypointFormat::D110, r);
    EXPECT_STREQ(r.NameOfPoint, "");
    EXPECT_EQ(r.Latitude, 0.0);
}

// ---- encoding ----------------------------------------------------------

const char* kSub = "000000000000 FFFFFFFFFFFFFFFFFFFFFFFF";
const char* kPos = "B0055B00 50FAA4FF";  // 0.5, -0.5

TEST(WaypointEncode, D108Exact) {
    PointRecord r = sampleRecord();
    Bytes expect = hexBytes((std::string("00 05 02 60 3412 ") + kSub + kPos +
                             "0000C842 51590469 00000000 20202020"
                             "48415553 00 4B6972636865 00 00000000")
                                .c_str());
    EXPECT_EQ(encoded(r, WaypointFormat::D108), expect);
    EXPECT_EQ(expect.size(), 48u + 4 + 6 + 6);

    r.HasSymbol = 0;
    expect[1] = 0xFF;
    expect[2] = 0x00;
    expect[4] = 0xB2;
    expect[5] = 0x00;
    EXPECT_EQ(encoded(r, WaypointFormat::D108), expect);
}

TEST(WaypointEncode, D109Exact) {
    PointRecord r = sampleRecord();
    Bytes expect = hexBytes((std::string("01 00 A2 70 3412 ") + kSub + kPos +
                             "0000C842 51590469 00000000 20202020 FFFFFFFF"
                             "48415553 00 4B6972636865 00 00000000")
                                .c_str());
    EXPECT_EQ(encoded(r, WaypointFormat::D109), expect);
    r.HasSymbol = 0;
    expect[2] = 0x1F;
    expect[4] = 0xB2;
    expect[5] = 0x00;
    EXPECT_EQ(encoded(r, WaypointFormat::D109), expect);
}

TEST(WaypointEncode, D110Exact) {
    PointRecord r = sampleRecord();
    Bytes expect = hexBytes((std::string("01 00 A2 80 3412 ") + kSub + kPos +
                             "0000C842 51590469 00000000 20202020 FFFFFFFF"
                             "51590469 04030201 0000"
                             "48415553 00 4B6972636865 00 00000000")
                                .c_str());
    EXPECT_EQ(encoded(r, WaypointFormat::D110), expect);
    EXPECT_EQ(expect.size(), 78u);
    r.HasSymbol = 0;
    expect[2] = 0x1F;
    expect[4] = 0xB2;
    expect[5] = 0x00;
    EXPECT_EQ(encoded(r, WaypointFormat::D110), expect);
}

// Values a format has no room for go as absent, and are counted as such:
// a symbol above 255 in a one-byte field, a colour above 31 or a display
// above 7 in the dspl_color byte; D110 sends no time as 0xFFFFFFFF.
TEST(WaypointEncode, ValuesWithoutRoomGoAsAbsent) {
    struct Case {
        WaypointFormat format;
        uint16_t symbol;
        uint8_t display1, display2;
        int symbolAt;  // offset of the symbol (one byte or two), -1 = none
        unsigned symbolSent;
        int displayAt;  // offset of the display byte checked, -1 = none
        unsigned displaySent;
        int notCarried;
    } cases[] = {
        {WaypointFormat::D101, 255, 0, 0, 62, 255, -1, 0, 0},
        {WaypointFormat::D101, 256, 0, 0, 62, 178, -1, 0, 1},
        {WaypointFormat::D103, 300, 4, 0, 58, 178, 59, 4, 1},
        {WaypointFormat::D107, 999, 1, 250, 58, 178, 64, 250, 1},
        {WaypointFormat::D102, 65535, 0, 0, 62, 65535, -1, 0, 0},
        {WaypointFormat::D109, 600, 31, 7, 4, 600, 2, 0xFF, 0},
        {WaypointFormat::D109, 600, 32, 7, 4, 600, 2, 0xFF, 1},   // colour absent: 0x1F
        {WaypointFormat::D110, 600, 3, 255, 4, 600, 2, 0x03, 1},  // display absent: 0
        {WaypointFormat::D110, 600, 255, 8, 4, 600, 2, 0x1F, 2},
        {WaypointFormat::D108, 600, 255, 255, 4, 600, 1, 255, 0},  // colour byte of its own
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (int)c.format << " symbol " << c.symbol << " displays " << (int)c.display1
                                          << "/" << (int)c.display2);
        PointRecord r = sampleRecord();
        r.Symbol = c.symbol;
        r.Display1 = c.display1;
        r.Display2 = c.display2;
        Bytes b = encoded(r, c.format);
        const bool wide =
            c.format != WaypointFormat::D101 && c.format != WaypointFormat::D103 && c.format != WaypointFormat::D107;
        EXPECT_EQ(b[c.symbolAt] + (wide ? b[c.symbolAt + 1] * 256u : 0u), c.symbolSent);
        if (c.displayAt >= 0) {
            EXPECT_EQ(b[c.displayAt], c.displaySent);
        }
        EXPECT_EQ(waypointFieldsNotCarried(r, c.format), c.notCarried);
        r.HasSymbol = 0;
        EXPECT_EQ(waypointFieldsNotCarried(r, c.format), 0);
    }
    PointRecord r = sampleRecord();
    r.Time = 0;
    const Bytes noTime = encoded(r, WaypointFormat::D110);
    EXPECT_EQ(Bytes(noTime.begin() + 56, noTime.begin() + 60), Bytes(4, 0xFF));
    EXPECT_EQ(decoded(encoded(r, WaypointFormat::D110), WaypointFormat::D110).Time, 0);
}

TEST(WaypointEncode, D108FamilyEmptyAndFullLengthStrings) {
    PointRecord r = sampleRecord();
    r.NameOfPoint[0] = 0;
    r.Comment[0] = 0;
    Bytes b = encoded(r, WaypointFormat::D110);
    ASSERT_EQ(b.size(), 62u + 6);
    EXPECT_EQ(Bytes(b.begin() + 62, b.end()), Bytes(6, 0));

    std::memset(r.NameOfPoint, 'N', 50);
    r.NameOfPoint[50] = 0;
    std::memset(r.Comment, 'C', 50);
    r.Comment[50] = 0;
    b = encoded(r, WaypointFormat::D110);
    ASSERT_EQ(b.size(), 62u + 50 + 50 + 6);
    EXPECT_EQ(b[62 + 50], 0);
    EXPECT_EQ(b[62 + 51], 'C');
    EXPECT_EQ(b[62 + 101], 0);
}

TEST(WaypointEncode, UnterminatedTableTextIsBoundedTo50) {
    PointRecord r = sampleRecord();
    std::memset(r.NameOfPoint, 'N', sizeof r.NameOfPoint);  // no NUL at all
    std::memset(r.Comment, 'C', sizeof r.Comment);
    Bytes b = encoded(r, WaypointFormat::D108);
    EXPECT_EQ(b.size(), 48u + 50 + 50 + 6);
}

std::string d100Base(const char* ident6, const char* comment40) {
    std::string s;
    for (int i = 0; i < 6; i++) {
        char h[3];
        std::snprintf(h, sizeof h, "%02X", (unsigned char)ident6[i]);
        s += h;
    }
    s += kPos;
    s += "00000000";
    for (int i = 0; i < 40; i++) {
        char h[3];
        std::snprintf(h, sizeof h, "%02X", (unsigned char)comment40[i]);
        s += h;
    }
    return s;
}

TEST(WaypointEncode, D100FamilyExact) {
    PointRecord r = sampleRecord();
    std::string base = d100Base("HAUS  ", "Kirche                                  ");
    struct Case {
        WaypointFormat format;
        const char* own;
        const char* defaults;
    } cases[] = {
        {WaypointFormat::D100, "", ""},
        // Symbol 0x1234 does not fit the one-byte fields: they get the
        // absent value 178, not the low byte 0x34.
        {WaypointFormat::D101, "00000000 B2", "00000000 B2"},
        {WaypointFormat::D102, "00000000 3412", "00000000 B200"},
        {WaypointFormat::D103, "B2 02", "B2 00"},
        {WaypointFormat::D104, "00000000 3412 02", "00000000 B200 03"},
        {WaypointFormat::D107, "B2 02 00000000 05", "B2 00 00000000 00"},
    };
    const size_t sizes[] = {58, 63, 64, 60, 65, 65};
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE((int)c.format);
        r.HasSymbol = 1;
        Bytes own = hexBytes((base + c.own).c_str());
        EXPECT_EQ(own.size(), sizes[i]);
        EXPECT_EQ(encoded(r, c.format), own);
        r.HasSymbol = 0;
        EXPECT_EQ(encoded(r, c.format), hexBytes((base + c.defaults).c_str()));
        i++;
    }
}

TEST(WaypointEncode, D100FamilyCutsLongTexts) {
    PointRecord r = sampleRecord();
    std::strcpy(r.NameOfPoint, "ABCDEFGHIJ");
    std::strcpy(r.Comment, "0123456789012345678901234567890123456789XYZ");
    Bytes b = encoded(r, WaypointFormat::D100);
    EXPECT_EQ(b, hexBytes(d100Base("ABCDEF", "0123456789012345678901234567890123456789").c_str()));
}

// ---- round trips -------------------------------------------------------

TEST(WaypointRoundTrip, D108FamilyKeepsEveryField) {
    PointRecord r = sampleRecord();
    r.Latitude = 48.137154;
    r.Longitude = 11.576124;
    r.Symbol = 18;
    r.Display1 = 17;
    r.Display2 = 6;
    r.Altitude = -12.5f;
    r.Time = (int32_t)0x9ABCDEF0;
    std::strcpy(r.NameOfPoint, "M\xFCnchen Marienplatz");
    std::strcpy(r.Comment, "Treffpunkt 12:00 \xB0");
    for (WaypointFormat f : {WaypointFormat::D108, WaypointFormat::D109, WaypointFormat::D110}) {
        SCOPED_TRACE((int)f);
        Bytes b = encoded(r, f);
        PointRecord d = decoded(b, f);
        EXPECT_STREQ(d.NameOfPoint, r.NameOfPoint);
        EXPECT_STREQ(d.Comment, r.Comment);
        EXPECT_EQ(degreesToSemicircles(d.Latitude), degreesToSemicircles(r.Latitude));
        EXPECT_NEAR(d.Latitude, r.Latitude, 1e-7);
        EXPECT_NEAR(d.Longitude, r.Longitude, 1e-7);
        EXPECT_EQ(d.Altitude, r.Altitude);
        EXPECT_EQ(d.Symbol, 18);
        EXPECT_EQ(d.Display1, 17);
        EXPECT_EQ(d.Display2, 6);
        EXPECT_EQ(d.HasSymbol, 1);
        EXPECT_EQ(d.Time, f == WaypointFormat::D110 ? r.Time : 0);
    }
}

TEST(WaypointRoundTrip, D100FamilyKeepsPaddedTexts) {
    PointRecord r = sampleRecord();
    r.Symbol = 0x0107;
    for (WaypointFormat f : {WaypointFormat::D100, WaypointFormat::D101, WaypointFormat::D102, WaypointFormat::D103,
                             WaypointFormat::D104, WaypointFormat::D107}) {
        SCOPED_TRACE((int)f);
        PointRecord d = decoded(encoded(r, f), f);
        // The receiver's fixed fields carry the blank padding back.
        EXPECT_STREQ(d.NameOfPoint, "HAUS  ");
        EXPECT_EQ(std::string(d.Comment), "Kirche" + std::string(34, ' '));
        EXPECT_NEAR(d.Latitude, 0.5, 1e-7);
        EXPECT_NEAR(d.Longitude, -0.5, 1e-7);
        EXPECT_EQ(floatBits(d.Altitude), 0x69045951u);
    }
    EXPECT_EQ(decoded(encoded(r, WaypointFormat::D102), WaypointFormat::D102).Symbol, 0x0107);
    EXPECT_EQ(decoded(encoded(r, WaypointFormat::D101), WaypointFormat::D101).Symbol, 178);
    PointRecord d107 = decoded(encoded(r, WaypointFormat::D107), WaypointFormat::D107);
    EXPECT_EQ(d107.Symbol, 178);
    EXPECT_EQ(d107.Display1, 2);
    EXPECT_EQ(d107.Display2, 5);
    PointRecord d104 = decoded(encoded(r, WaypointFormat::D104), WaypointFormat::D104);
    EXPECT_EQ(d104.Symbol, 0x0107);
    EXPECT_EQ(d104.Display1, 2);
}

}  // namespace

namespace {

// D105 {lat, lon, smbl, ident} and D106 {class, subclass[13], lat, lon, smbl,
// ident, link ident}: variable identifiers, no comment or altitude.
TEST(WaypointRecords, D105AndD106) {
    Bytes d105 = hexBytes("00000040 000000C0 3412 4C616E6765732D5A69656C00");
    PointRecord r = decoded(d105, WaypointFormat::D105);
    EXPECT_DOUBLE_EQ(r.Latitude, 90.0);
    EXPECT_DOUBLE_EQ(r.Longitude, -90.0);
    EXPECT_EQ(r.Symbol, 0x1234);
    EXPECT_EQ(r.HasSymbol, 1);
    EXPECT_STREQ(r.NameOfPoint, "Langes-Ziel");
    EXPECT_STREQ(r.Comment, "");
    EXPECT_EQ(r.Altitude, kNoAltitude);

    Bytes d106 = hexBytes("00 0000000000000000FFFFFFFFFF 00000040 000000C0 0800 4B6972636865 00 4C494E4B00");
    r = decoded(d106, WaypointFormat::D106);
    EXPECT_DOUBLE_EQ(r.Latitude, 90.0);
    EXPECT_DOUBLE_EQ(r.Longitude, -90.0);
    EXPECT_EQ(r.Symbol, 8);
    EXPECT_STREQ(r.NameOfPoint, "Kirche");
    EXPECT_STREQ(r.Comment, "");

    PointRecord s = sampleRecord();
    EXPECT_EQ(encoded(s, WaypointFormat::D105), hexBytes("B0055B00 50FAA4FF 3412 4841555300"));
    EXPECT_EQ(encoded(s, WaypointFormat::D106),
              hexBytes("00 00000000000000000000000000 B0055B00 50FAA4FF 3412 4841555300 00"));
    EXPECT_EQ(waypointIdentifierLength(WaypointFormat::D106), kNameSize - 1);
    EXPECT_EQ(downloadWaypointFormat("A100 D105 A201 D201"), WaypointFormat::D105);
    EXPECT_EQ(uploadWaypointFormat("A100 D106 A201 D202"), WaypointFormat::D106);
}

}  // namespace
