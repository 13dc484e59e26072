// Receiver time values and their text form.

#include "model/times.h"

#include <cstdio>
#include <cstring>

int isLeapYear(int year) { return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 1 : 0; }

int monthLength(int year, int month) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return lengths[month - 1] + (month == 2 ? isLeapYear(year) : 0);
}

void formatTime(int32_t seconds, char* text) {
    const uint32_t value = static_cast<uint32_t>(seconds);
    if (value == 0 || value == 0x7FFFFFFFu || value == 0xFFFFFFFFu) {
        text[0] = '\0';
        return;
    }
    char buffer[64];
    if (value < 86400u) {
        // A time on the epoch day itself.
        snprintf(buffer, sizeof buffer, "1989-12-31 %02u:%02u:%02u", value / 3600u, (value % 3600u) / 60u, value % 60u);
        memcpy(text, buffer, 19);
        text[19] = '\0';
        return;
    }
    // Whole days are taken off in one step; the result is the same as
    // counting them one at a time from 1990-01-01.
    uint32_t rest = value - 86400u;
    uint32_t days = rest / 86400u;
    rest -= days * 86400u;
    int year = 1990;
    int dayOfYear = 1;
    for (;;) {
        const uint32_t yearLength = 365u + static_cast<uint32_t>(isLeapYear(year));
        if (days < yearLength) break;
        days -= yearLength;
        ++year;
    }
    dayOfYear += static_cast<int>(days);

    const int leap = isLeapYear(year);
    const int d = dayOfYear > 59 + leap ? dayOfYear + 2 - leap : dayOfYear;
    const int e = d + 91;
    const int month = (e * 20) / 611 - 2;
    const int day = e - ((e * 20 / 611) * 611) / 20;
    const int hour = static_cast<int>(rest / 3600u);
    const int minute = static_cast<int>((rest % 3600u) / 60u);
    const int second = static_cast<int>(rest % 60u);
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    memcpy(text, buffer, 19);
    text[19] = '\0';
}

bool digitsAt(std::string_view text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool isTimeInRange(long long seconds) {
    // 1990-01-01 is day 1; 2051-01-01 is day 1 + 61 years with 15 leap days.
    constexpr long long kFirst = 86400;
    constexpr long long kEnd = (1 + 61 * 365 + 15) * 86400LL;
    return seconds >= kFirst && seconds < kEnd;
}

int32_t parseTime(const char* textStart) {
    if (!textStart) return -1;
    // Exactly the text form: a date that does not exist is refused, never
    // moved to another day.
    int year, month, day, hour, minute, second;
    const std::string_view text(textStart, strnlen(textStart, 20));
    if (text.size() < 19 || !digitsAt(text, 0, 4, year) || text[4] != '-' || !digitsAt(text, 5, 2, month) ||
        text[7] != '-' || !digitsAt(text, 8, 2, day) || text[10] != ' ' || !digitsAt(text, 11, 2, hour) ||
        text[13] != ':' || !digitsAt(text, 14, 2, minute) || text[16] != ':' || !digitsAt(text, 17, 2, second))
        return -1;
    if (year < 1990 || year > 2050) return -1;
    if (month < 1 || month > 12 || day < 1 || day > monthLength(year, month) || hour > 23 || minute > 59 || second > 59)
        return -1;
    int64_t days = day - 1;
    for (int m = 1; m < month; ++m) days += monthLength(year, m);
    for (int y = 1990; y < year; ++y) days += 365 + isLeapYear(y);
    days += 1;  // 1989-12-31
    const int64_t result =
        days * 86400 + static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + second;
    return static_cast<int32_t>(result);
}
