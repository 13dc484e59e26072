#pragma once
// Receiver time: seconds since 1989-12-31 00:00:00 UTC; 0 = no time.

#include <cstddef>
#include <cstdint>
#include <string_view>

int isLeapYear(int year);
// count digits at text[at] as a number; false when the text is shorter or
// holds any other character there.
bool digitsAt(std::string_view text, size_t at, size_t count, int& value);
// Days of a month (1..12) of the Gregorian calendar.
int monthLength(int year, int month);
// "%04d-%02d-%02d %02d:%02d:%02d", or "" for 0, 0x7FFFFFFF and 0xFFFFFFFF.
// text must hold at least 20 bytes.
void formatTime(int32_t seconds, char* text);
// Whether receiver seconds lie in the years the files hold, 1990 to 2050
// (UTC): from 1990-01-01 00:00:00 to 2050-12-31 23:59:59.
bool isTimeInRange(long long seconds);
// Seconds of text in the form above (characters after the 19th are not
// read), or -1 for any other text: a year outside 1990..2050, a month,
// day or clock time that does not exist (month 13, 30 February, 24:00:00).
int32_t parseTime(const char* text);
