#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& tag) {
    std::string pattern = "/tmp/wegmate-" + tag + "-XXXXXX";
    if (mkdtemp(pattern.data())) path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
}

std::string TempDir::listing() const { return dirListing(path); }

std::string dirListing(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string all;
    for (const auto& n : names) all += n + " ";
    return all;
}

int TempDir::entries() const { return (int)std::distance(fs::directory_iterator(path), fs::directory_iterator()); }

std::string tempFile(const std::string& name) {
    static std::atomic<int> counter{0};
    const std::string path =
        ::testing::TempDir() + "wegmate_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" + name;
    std::remove(path.c_str());
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    out.close();
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

long long fileSize(const std::string& path) {
    std::error_code error;
    auto size = fs::file_size(path, error);
    return error ? -1 : (long long)size;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

ShellRun runShell(const std::string& command, Stderr stderrTo) {
    const bool merged = stderrTo == Stderr::IntoOut;
    ShellRun run;
    const std::string errFile = merged ? std::string() : tempFile("stderr");
    const std::string redirect = merged ? " 2>&1" : " 2>'" + errFile + "'";
    FILE* pipe = popen((command + redirect).c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (!merged) {
        run.err = readFile(errFile);
        std::remove(errFile.c_str());
    }
    return run;
}

bool runShell(const std::string& command, std::string& output) {
    ShellRun run = runShell(command);
    output = run.out;
    return run.status == 0;
}

bool toolInstalled(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

PointRecord makePoint(const PointFields& fields) {
    PointRecord r = {};
    r.NumberOfRouteOrTrack = fields.route;
    copyName(r.NameOfRouteOrTrack, fields.routeName);
    r.NumberOfPoint = fields.number;
    copyName(r.NameOfPoint, fields.name);
    copyName(r.Comment, fields.comment);
    r.Latitude = fields.lat;
    r.Longitude = fields.lon;
    r.NewSegment = fields.newSegment;
    r.Time = fields.time;
    r.Altitude = fields.altitude;
    r.LinePointCount = fields.linePointCount;
    return r;
}

void setTable(std::initializer_list<PointRecord> records) {
    pointTable.reset();
    for (const PointRecord& r : records) pointTable.records[pointTable.count++] = r;
}
