#pragma once
// The progress bar that wegmate-cli shows on a terminal beside the status
// text of a transfer: share done, points per second and the time left,
// estimated from the rate so far.

#include <string>

// "  [#####...............]  25 %  120 Punkte/s  noch 0:15": the bar of
// done of total; rate and time left from `rateDone` points in `seconds`
// ("noch --:--" while there is no rate yet).
std::string progressBar(long done, long total, long rateDone, double seconds);
