// Text values narrowed into point fields: a value the field cannot hold is
// refused and counted, never wrapped, cut or moved to another date.

#include <gtest/gtest.h>

#include <cstring>

#include "model/field_values.h"
#include "model/point_table.h"
#include "model/times.h"

namespace {

const char* name(FieldText t) { return t == FieldText::Blank ? "Blank" : t == FieldText::Taken ? "Taken" : "Refused"; }

}  // namespace

TEST(FieldValues, EachFieldTakesOnlyWhatItCanHold) {
    constexpr FieldText B = FieldText::Blank, T = FieldText::Taken, R = FieldText::Refused;
    struct Case {
        char field;  // a: whole metres, e: elevation with fraction, s: symbol, d: display, t: time
        const char* text;
        FieldText result;
        double value;  // the field's value when taken
    } cases[] = {
        {'a', "", B, 0},
        {'a', "  \t", B, 0},
        {'a', "19999.9", T, 19999},
        {'a', "-499.5", T, -499},
        {'a', " 12 \r\n", T, 12},
        // One number syntax: a second sign, a unit or a word is no number.
        {'a', " 12m", R, 0},
        {'a', "+-5", R, 0},
        {'a', "-+5", R, 0},
        {'a', "+5", T, 5},
        {'a', "inf", R, 0},
        {'a', "nan", R, 0},
        {'a', "0x10", R, 0},
        {'a', "1e", R, 0},
        {'a', ".", R, 0},
        {'e', "-.5", T, -0.5},
        {'e', "7.", T, 7},
        {'a', "1e3", T, 1000},
        {'a', "20000", R, 0},
        {'a', "-500", R, 0},
        {'a', "99999999999", R, 0},
        {'a', "1e25", R, 0},  // the absent marker is no altitude
        {'a', "1e400", R, 0},
        {'a', "- 5", R, 0},
        {'a', "abc", R, 0},
        {'e', "0.000005", T, 0.000005},
        {'e', "8848.86", T, 8848.86},
        {'s', "0", T, 0},
        {'s', " 65535", T, 65535},
        {'s', "65536", R, 0},
        {'s', "999999", R, 0},  // not 16959
        {'s', "-1", R, 0},
        {'s', "99999999999999999999", R, 0},
        {'d', "255", T, 255},
        {'d', "256", R, 0},
        {'d', "-1", R, 0},  // not 255
        {'d', "x", R, 0},
        {'d', " 7 ", T, 7},
        {'d', "7x", R, 0},
        {'s', "+7", R, 0},
        {'d', "", B, 0},
        {'t', "2001-02-03 04:05:06", T, 0},
        {'t', " 2001-02-03 04:05:06 ", T, 0},
        {'t', "2026-13-01 10:00:00", R, 0},
        {'t', "2026-02-30 10:00:00", R, 0},
        {'t', "1989-12-31 23:59:59", R, 0},
        {'t', "2051-01-01 00:00:00", R, 0},
        {'t', "2001-02-03 04:05:0", R, 0},
        {'t', "2001-02-03 04:05:06x", R, 0},
        {'t', "", B, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.field << " '" << c.text << "'");
        pointTable.reset();
        float altitude = kNoAltitude;
        uint16_t symbol = 7;
        uint8_t display = 7;
        int32_t time = 0;
        FieldText got = B;
        switch (c.field) {
        case 'a': got = counted(altitudeFromText(c.text, true, altitude)); break;
        case 'e': got = counted(altitudeFromText(c.text, false, altitude)); break;
        case 's': got = counted(symbolFromText(c.text, symbol)); break;
        case 'd': got = counted(displayFromText(c.text, display)); break;
        case 't': got = counted(timeFromText(c.text, time)); break;
        }
        EXPECT_STREQ(name(got), name(c.result));
        EXPECT_EQ(pointTable.fieldsLeftEmpty, c.result == R ? 1 : 0);
        // A field that takes nothing keeps its absent value.
        switch (c.field) {
        case 'a':
        case 'e':
            if (c.result == T)
                EXPECT_EQ(altitude, (float)c.value);
            else
                EXPECT_EQ(altitude, kNoAltitude);
            break;
        case 's': EXPECT_EQ(symbol, c.result == T ? (uint16_t)c.value : 7); break;
        case 'd': EXPECT_EQ(display, c.result == T ? (uint8_t)c.value : 7); break;
        case 't': EXPECT_EQ(time, c.result == T ? parseTime("2001-02-03 04:05:06") : 0); break;
        }
    }
    pointTable.reset();
}
