// The ranges of the point fields and the reading of their text values.

#include "model/field_values.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include <strings.h>

#include "model/point_table.h"
#include "model/times.h"

namespace {

const char* skipBlanks(const char* text) {
    while (*text == ' ' || *text == '\t') text++;
    return text;
}

bool isLineSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* skipLineSpace(const char* text) {
    while (isLineSpace(*text)) text++;
    return text;
}

bool isBlankText(const char* text) { return *skipLineSpace(text) == '\0'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits at text, with nothing but blanks after them, as an unsigned number
// up to limit; false for no digits, other text or a larger number.
bool unsignedUpTo(const char* text, unsigned long limit, unsigned long& value) {
    if (!isDigit(*text)) return false;
    value = 0;
    for (; isDigit(*text); text++) {
        value = value * 10 + (unsigned long)(*text - '0');
        if (value > limit) return false;
    }
    return isBlankText(text);
}

}  // namespace

bool parseDecimalNumber(const char* begin, const char* end, double& value) {
    const char* p = begin;
    if (p < end && (*p == '+' || *p == '-')) p++;
    const char* const number = p;
    // "nan", "inf" and "infinity" in any case: no value any field takes,
    // but a number all the same, whose position or altitude is left out.
    const size_t rest = (size_t)(end - p);
    if ((rest == 3 && (strncasecmp(p, "nan", 3) == 0 || strncasecmp(p, "inf", 3) == 0)) ||
        (rest == 8 && strncasecmp(p, "infinity", 8) == 0)) {
        value = p[0] == 'n' || p[0] == 'N' ? NAN : HUGE_VAL;
        if (*begin == '-') value = -value;
        return true;
    }
    const char* digits = p;
    while (p < end && isDigit(*p)) p++;
    size_t count = (size_t)(p - digits);
    if (p < end && *p == '.') {
        digits = ++p;
        while (p < end && isDigit(*p)) p++;
        count += (size_t)(p - digits);
    }
    if (count == 0) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        p++;
        if (p < end && (*p == '+' || *p == '-')) p++;
        digits = p;
        while (p < end && isDigit(*p)) p++;
        if (p == digits) return false;
    }
    if (p != end) return false;
    // from_chars takes a minus sign, but no plus sign.
    const std::from_chars_result r = std::from_chars(number, end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        value = HUGE_VAL;
    else if (r.ec != std::errc() || r.ptr != end)
        return false;
    if (*begin == '-') value = -value;
    return true;
}

bool isAltitudeInRange(double metres) { return metres > -500.0 && metres < 20000.0; }

FieldText altitudeFromText(const char* text, bool wholeMetres, float& altitude) {
    if (isBlankText(text)) return FieldText::Blank;
    const char* v = skipLineSpace(text);
    const char* end = v + strlen(v);
    while (end > v && isLineSpace(end[-1])) end--;
    double value = 0.0;
    // A number beyond the range of double is out of range as well.
    if (!parseDecimalNumber(v, end, value) || !std::isfinite(value) || !isAltitudeInRange(value))
        return FieldText::Refused;
    altitude = wholeMetres ? (float)(int)value : (float)value;
    return FieldText::Taken;
}

// A number field of digits only, up to limit.
template <typename Field>
FieldText unsignedFromText(const char* text, unsigned long limit, Field& field) {
    if (isBlankText(text)) return FieldText::Blank;
    unsigned long value;
    if (!unsignedUpTo(skipBlanks(text), limit, value)) return FieldText::Refused;
    field = (Field)value;
    return FieldText::Taken;
}

FieldText symbolFromText(const char* text, uint16_t& symbol) { return unsignedFromText(text, 65535, symbol); }

FieldText displayFromText(const char* text, uint8_t& display) { return unsignedFromText(text, 255, display); }

FieldText timeFromText(const char* text, int32_t& time) {
    if (isBlankText(text)) return FieldText::Blank;
    const char* v = skipBlanks(text);
    size_t length = strlen(v);
    while (length > 0 &&
           (v[length - 1] == ' ' || v[length - 1] == '\t' || v[length - 1] == '\r' || v[length - 1] == '\n'))
        length--;
    if (length != 19) return FieldText::Refused;
    const int32_t seconds = parseTime(v);
    if (seconds < 0) return FieldText::Refused;
    time = seconds;
    return FieldText::Taken;
}

FieldText counted(FieldText result) {
    if (result == FieldText::Refused) pointTable.fieldsLeftEmpty++;
    return result;
}
