#pragma once
// Helpers of the file-format tests beside the shared ones: cut sweeps, a
// fixture with a fresh naming state, write limits and a German locale.

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "model/names.h"
#include "model/point_table.h"
#include "tests/support/test_support.h"

// Cuts the file at path after every byte: each cut is refused by read (0) or
// read back with all the positions of original, in order.
template <class Read>
void expectEveryCutRefusedOrWhole(const std::string& path, const std::vector<PointRecord>& original, Read read) {
    const std::string full = readFile(path);
    for (size_t cut = 1; cut <= full.size(); cut++) {
        writeFile(path, full.substr(0, cut));
        if (read() == 0) continue;
        SCOPED_TRACE("cut at " + std::to_string(cut));
        ASSERT_EQ(pointTable.count, (int)original.size());
        for (size_t i = 0; i < original.size(); i++) {
            EXPECT_EQ(pointTable.records[i].Longitude, original[i].Longitude);
            EXPECT_EQ(pointTable.records[i].Latitude, original[i].Latitude);
        }
    }
}

// The readers' count of the points they leave out for their position, and
// their error for a file without any valid position.
inline std::string positionsLeftOut(int n) {
    return std::to_string(n) +
           " der eingelesenen Punkte ohne gültige \nPositionsdaten (Breite -90 bis 90 Grad, \nLänge -180 bis 180 "
           "Grad) " +
           (n == 1 ? "wird" : "werden") + " ausgelassen.";
}
inline const char kNoValidPosition[] =
    "Keiner der eingelesenen Punkte hat gültige \nPositionsdaten (Breite -90 bis 90 Grad, \nLänge -180 bis 180 Grad).";

class FormatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pointTable.reset();
    }
    TempDir dir{"formats"};
    // The naming state of one upload, handed to every read of a test.
    NamingState naming;
};

inline std::string asString(const char* text) { return text ? std::string(text) : std::string(); }

// Limits the size of the files this process writes, so that a writer meets a
// failing write even when it runs as root. Restored at the end of the scope.
struct FileSizeLimit {
    rlimit saved{};
    bool active = false;
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);  // a failing write instead of the signal
        if (getrlimit(RLIMIT_FSIZE, &saved) != 0) return;
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        if (active) setrlimit(RLIMIT_FSIZE, &saved);
    }
};

// A German numeric locale (decimal comma) for the scope, built with localedef
// into dir when the system has none. active tells whether printf now writes
// "1,5".
struct GermanNumericLocale {
    std::string saved;
    bool active = false;
    explicit GermanNumericLocale(const std::string& dir) {
        const char* old = setlocale(LC_NUMERIC, nullptr);
        saved = old ? old : "C";
        if (!setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
            std::string localeDir = dir + "/locale";
            std::string out;
            std::filesystem::create_directory(localeDir);
            runShell("localedef -i de_DE -f UTF-8 " + localeDir + "/de_DE.UTF-8", out);
            if (std::filesystem::exists(localeDir + "/de_DE.UTF-8/LC_NUMERIC")) {
                setenv("LOCPATH", localeDir.c_str(), 1);
                setlocale(LC_NUMERIC, "de_DE.UTF-8");
            }
        }
        char probe[16];
        snprintf(probe, sizeof probe, "%.1f", 1.5);
        active = std::string(probe) == "1,5";
    }
    ~GermanNumericLocale() {
        setlocale(LC_NUMERIC, saved.c_str());
        unsetenv("LOCPATH");
    }
};
