// The progress bar of the command-line tool.

#include "cli/cli_progress.h"

#include <cstdio>

std::string progressBar(long done, long total, long rateDone, double seconds) {
    if (done < 0) done = 0;
    if (done > total) done = total;
    constexpr int kWidth = 20;
    const int filled = (int)(done * kWidth / total);
    std::string bar = "  [";
    bar.append((size_t)filled, '#');
    bar.append((size_t)(kWidth - filled), '.');
    char text[96];
    std::snprintf(text, sizeof text, "] %3ld %%", done * 100 / total);
    bar += text;
    if (rateDone <= 0 || seconds <= 0.0) {
        bar += "  noch --:--";
        return bar;
    }
    const double rate = rateDone / seconds;
    const long left = (long)((double)(total - done) / rate + 0.5);
    char rateText[32];
    std::snprintf(rateText, sizeof rateText, rate < 10.0 ? "%.1f" : "%.0f", rate);
    if (left >= 3600)
        std::snprintf(text, sizeof text, "  %s Punkte/s  noch %ld:%02ld:%02ld", rateText, left / 3600, left / 60 % 60,
                      left % 60);
    else
        std::snprintf(text, sizeof text, "  %s Punkte/s  noch %ld:%02ld", rateText, left / 60, left % 60);
    bar += text;
    return bar;
}
