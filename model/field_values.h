#pragma once
// Values from files narrowed into the fields of a PointRecord. A value that
// its field cannot hold is neither wrapped nor cut nor moved to another
// date: the field stays empty (its absent value), and the reader counts it
// in pointTable.fieldsLeftEmpty, so that the user learns how many there were.

#include <cstdint>

// The range of altitudes in metres that every writer writes and the upload
// sends: above -500 and below 20000. Beyond it a value is no altitude a
// receiver records (the absent marker 1e25 among them).
bool isAltitudeInRange(double metres);

// The one number syntax of every reader, for the whole of [begin, end): an
// optional sign, digits with an optional fraction (or a fraction alone),
// an optional exponent; or "nan", "inf", "infinity" (the field rules leave
// them out). Nothing else is a number: no second sign ("+-48"), no blanks,
// no hexadecimal digits. A value beyond the range of double becomes
// +-HUGE_VAL. false for any other text.
bool parseDecimalNumber(const char* begin, const char* end, double& value);

// What a text value gave its field.
enum class FieldText {
    Blank,   // nothing but blanks: the field stays absent, nothing to count
    Taken,   // the field holds the value
    Refused  // a value the field cannot hold: the field stays absent
};

// A decimal number (parseDecimalNumber) with blanks around it, in the
// altitude range. The MIF and overlay files hold whole metres: wholeMetres
// cuts the fraction off.
FieldText altitudeFromText(const char* text, bool wholeMetres, float& altitude);
// Digits giving 0 to 65535, with blanks around them.
FieldText symbolFromText(const char* text, uint16_t& symbol);
// Digits giving 0 to 255, with blanks around them.
FieldText displayFromText(const char* text, uint8_t& display);
// "YYYY-MM-DD hh:mm:ss" with blanks around it, of a date and clock time that
// exist, from 1990 to 2050 (parseTime).
FieldText timeFromText(const char* text, int32_t& time);

// Adds one to pointTable.fieldsLeftEmpty for Refused; returns result.
FieldText counted(FieldText result);
