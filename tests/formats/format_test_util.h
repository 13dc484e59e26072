#pragma once
// Small helpers of the file-format tests: a scratch directory, whole-file
// reads and writes, and records for the point table.

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "model/names.h"
#include "model/point_table.h"

struct ScratchDir {
    std::string path;
    ScratchDir() {
        char pattern[] = "/tmp/wegmate-formats-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "/tmp";
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (path != "/tmp") std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    // Names of the files in the directory, sorted.
    std::string listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string all;
        for (const auto& n : names) all += n + " ";
        return all;
    }
};

inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

// Cuts the file at path after every byte: each cut is refused by read (0) or
// read back with all the positions of original, in order.
template <class Read>
void expectEveryCutRefusedOrWhole(const std::string& path, const std::vector<PointRecord>& original, Read read) {
    const std::string full = readFileBytes(path);
    for (size_t cut = 1; cut <= full.size(); cut++) {
        writeFileBytes(path, full.substr(0, cut));
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
           "Grad) werden ausgelassen.";
}
inline const char kNoValidPosition[] =
    "Keiner der eingelesenen Punkte hat gültige \nPositionsdaten (Breite -90 bis 90 Grad, \nLänge -180 bis 180 Grad).";

inline bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

// A record with a valid position and no attributes.
inline PointRecord makePoint(double longitude, double latitude, int newSegment = 0) {
    PointRecord r;
    memset(&r, 0, sizeof r);
    r.Longitude = longitude;
    r.Latitude = latitude;
    r.NewSegment = newSegment;
    r.Altitude = kNoAltitude;
    return r;
}

inline PointRecord withNames(PointRecord r, int route, const char* routeName, int point, const char* pointName,
                             const char* comment = "") {
    r.NumberOfRouteOrTrack = route;
    r.NumberOfPoint = point;
    copyName(r.NameOfRouteOrTrack, routeName);
    copyName(r.NameOfPoint, pointName);
    copyName(r.Comment, comment);
    return r;
}

inline void setTable(std::initializer_list<PointRecord> records) {
    pointTable.reset();
    for (const PointRecord& r : records) pointTable.records[pointTable.count++] = r;
}

// Resets the naming state an upload starts with.
class FormatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetNamingState();
        pointTable.reset();
    }
    ScratchDir dir;
};

inline std::string asString(const char* text) { return text ? std::string(text) : std::string(); }

// The whole output of a shell command, and whether it exited with 0.
inline bool runCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    return pclose(pipe) == 0;
}

inline bool toolInstalled(const char* tool) {
    std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

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

inline long long fileSize(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    return error ? -1 : (long long)size;
}

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
            runCommand("localedef -i de_DE -f UTF-8 " + localeDir + "/de_DE.UTF-8", out);
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
