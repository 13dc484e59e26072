#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "model/times.h"

namespace {

std::string format(int32_t seconds) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    formatTime(seconds, text);
    return text;
}

}  // namespace

TEST(Times, LeapYears) {
    EXPECT_EQ(isLeapYear(1992), 1);
    EXPECT_EQ(isLeapYear(1990), 0);
    EXPECT_EQ(isLeapYear(1900), 0);
    EXPECT_EQ(isLeapYear(2000), 1);
    EXPECT_EQ(isLeapYear(2100), 0);
}

TEST(Times, NoTimeValuesGiveEmptyText) {
    EXPECT_EQ(format(0), "");
    EXPECT_EQ(format(0x7FFFFFFF), "");
    EXPECT_EQ(format(-1), "");
}

TEST(Times, FixedValues) {
    EXPECT_EQ(format(86400), "1990-01-01 00:00:00");
    EXPECT_EQ(format(172799), "1990-01-01 23:59:59");
    EXPECT_EQ(format(172800), "1990-01-02 00:00:00");
    // 1992 is a leap year: day 60 is February 29; 1991 is not: day 60 is March 1.
    EXPECT_EQ(format(parseTime("1992-01-01 00:00:00") + 59 * 86400), "1992-02-29 00:00:00");
    EXPECT_EQ(format(parseTime("1991-01-01 00:00:00") + 59 * 86400), "1991-03-01 00:00:00");
    EXPECT_EQ(format(parseTime("1990-12-31 12:00:00") + 43200), "1991-01-01 00:00:00");
    EXPECT_EQ(parseTime("1990-01-01 00:00:00"), 86400);
    EXPECT_EQ(parseTime("2000-01-01 00:00:00"), 315619200);  // the well known Garmin value
    EXPECT_EQ(format(315619200), "2000-01-01 00:00:00");
    EXPECT_EQ(format(parseTime("2050-12-31 23:59:59")), "2050-12-31 23:59:59");
}

TEST(Times, ValuesOnTheEpochDayAndAboveTheSignedRange) {
    EXPECT_EQ(format(1), "1989-12-31 00:00:01");
    EXPECT_EQ(format(86399), "1989-12-31 23:59:59");
    // The receiver's value is unsigned: the top half of the range lies after 2058.
    EXPECT_EQ(format(static_cast<int32_t>(0x80000000u)), "2058-01-18 03:14:08");
    EXPECT_EQ(format(static_cast<int32_t>(0xFFFFFFFEu)), "2126-02-06 06:28:14");
}

TEST(Times, YearOutsideRangeGivesMinusOne) {
    EXPECT_EQ(parseTime("1989-12-31 23:59:59"), -1);
    EXPECT_EQ(parseTime("2051-01-01 00:00:00"), -1);
    EXPECT_EQ(parseTime(""), -1);
    EXPECT_EQ(format(parseTime("2051-01-01 00:00:00")), "");
}

TEST(Times, DatesAndClockTimesThatDoNotExistGiveMinusOne) {
    // Refused, never moved to another day or hour.
    for (const char* text : {"1990-13-01 00:00:00", "1990-00-10 00:00:00", "2026-02-30 12:00:00", "2023-02-29 12:00:00",
                             "2026-04-31 12:00:00", "1990-01-32 00:00:00", "1990-01-00 00:00:00", "1990-01-01 24:00:00",
                             "1990-01-01 25:00:00", "1990-01-01 00:60:00", "1990-01-01 00:00:60", "1990-01-01  0:00:00",
                             "1990-1-01 00:00:00x", "+990-01-01 00:00:00", "1990/01/01 00:00:00"})
        EXPECT_EQ(parseTime(text), -1) << text;
    EXPECT_EQ(format(parseTime("2024-02-29 23:59:59")), "2024-02-29 23:59:59");
    EXPECT_EQ(format(parseTime("2026-04-30 00:00:00")), "2026-04-30 00:00:00");
}

TEST(Times, EveryDayRoundTrips) {
    const int monthLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int clocks[][3] = {{0, 0, 0}, {0, 0, 1}, {6, 30, 15}, {12, 0, 0}, {23, 59, 59}};
    int32_t previous = 0;
    int days = 0;
    for (int year = 1990; year <= 2050; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int length = monthLength[month - 1] + (month == 2 ? isLeapYear(year) : 0);
            for (int day = 1; day <= length; ++day) {
                for (auto& c : clocks) {
                    char text[32];
                    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, c[0], c[1], c[2]);
                    const int32_t seconds = parseTime(text);
                    ASSERT_GT(seconds, previous) << text;
                    previous = seconds;
                    ASSERT_EQ(format(seconds), text);
                }
                if (days == 0) {
                    EXPECT_EQ(previous - 86399, 86400);
                }
                ++days;
            }
        }
    }
    EXPECT_EQ(days, 22280);  // 61 years, 15 of them leap years
}

TEST(Times, CoarseStrideRoundTrips) {
    const int32_t end = parseTime("2050-12-31 23:59:59");
    for (int64_t t = 86400; t <= end; t += 3593) {
        char text[32];
        formatTime(static_cast<int32_t>(t), text);
        ASSERT_EQ(std::strlen(text), 19u) << t;
        ASSERT_EQ(parseTime(text), t) << text;
    }
    char text[32];
    formatTime(end, text);
    EXPECT_EQ(parseTime(text), end);
}

TEST(Times, AgreesWithTheCLibraryCalendar) {
    // 1989-12-31 00:00:00 UTC is 631065600 in Unix time.
    for (int64_t t = 1; t <= 0xFFFFFFFELL; t += 104729) {
        const time_t unixTime = static_cast<time_t>(631065600 + t);
        struct tm parts;
        ASSERT_NE(gmtime_r(&unixTime, &parts), nullptr);
        char expected[32];
        strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S", &parts);
        ASSERT_EQ(format(static_cast<int32_t>(static_cast<uint32_t>(t))), expected) << t;
    }
}
