#pragma once
// Receiver time: seconds since 1989-12-31 00:00:00 UTC; 0 = no time.

#include <cstdint>

int isLeapYear(int year);
// "%04d-%02d-%02d %02d:%02d:%02d", or "" for 0, 0x7FFFFFFF and 0xFFFFFFFF.
// text must hold at least 20 bytes.
void formatTime(int32_t seconds, char* text);
// Seconds, or -1 when the year lies outside 1990..2050.
int32_t parseTime(const char* text);
