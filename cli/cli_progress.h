#pragma once
// The progress bar that wegmate-cli shows on a terminal beside the status
// text of a transfer: share done, points per second and the time left,
// estimated from the rate so far.

#include <string>

// The counts of a status text such as "  Status:   0012  von  0240  ..." or
// "  Status:   00012 (00010) von  00240  ...": the first number and the one
// after "von". false for a text without them or with a total of 0.
bool progressCounts(const char* statusText, long& done, long& total);

// "  [#####...............]  25 %  120 Punkte/s  noch 0:15": the bar of
// done of total; rate and time left from `rateDone` points in `seconds`
// ("noch --:--" while there is no rate yet).
std::string progressBar(long done, long total, long rateDone, double seconds);
