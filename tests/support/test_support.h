#pragma once
// What every test program shares: a temporary directory, whole-file reads
// and writes, shell runs, and point records built by field name.
//
//   TempDir dir("formats");
//   writeFile(dir.file("a.mif"), "...");
//   ShellRun r = runShell("ogrinfo -al -q '" + dir.file("a.mif") + "'");
//   setTable({makePoint({.name = "HAUS", .lat = 50.5, .lon = 7.25})});

#include <initializer_list>
#include <string>
#include <vector>

#include "model/point_table.h"

// A fresh directory below /tmp, removed with everything in it at the end of
// its scope. path is empty when it could not be made.
struct TempDir {
    explicit TempDir(const std::string& tag = "test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string listing() const;  // see dirListing()
    int entries() const;

    std::string path;
};

// The names of the entries of a directory, sorted, each followed by a blank.
std::string dirListing(const std::string& dir);

// A fresh path in the process's temporary directory (nothing there yet).
std::string tempFile(const std::string& name);

// The whole file as bytes ("" when it cannot be read).
std::string readFile(const std::string& path);
// A failed write is a test failure.
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
long long fileSize(const std::string& path);  // -1 when there is none
bool contains(const std::string& text, const std::string& part);

// A command run through the shell: its exit status (-1 when it did not
// exit), standard output and standard error, or both streams in out in the
// order they were written.
struct ShellRun {
    int status = -1;
    std::string out;
    std::string err;
};
enum class Stderr { IntoOut, Apart };
ShellRun runShell(const std::string& command, Stderr stderrTo = Stderr::IntoOut);
// The same with both streams in output; true when it exited with 0.
bool runShell(const std::string& command, std::string& output);
bool toolInstalled(const char* tool);

#ifdef WEGMATE_CLI_PATH
// wegmate-cli with these arguments; its boxes go to out, its questions and
// answers to err.
inline ShellRun runCli(const std::string& arguments, Stderr stderrTo = Stderr::Apart) {
    return runShell(std::string(WEGMATE_CLI_PATH) + " " + arguments, stderrTo);
}
#endif

// The fields of a point record a test sets; everything else is zero, the
// altitude is "none".
struct PointFields {
    int route = 0;
    const char* routeName = "";
    int number = 0;
    const char* name = "";
    const char* comment = "";
    double lat = 0;
    double lon = 0;
    int newSegment = 0;
    int32_t time = 0;
    float altitude = kNoAltitude;
    int linePointCount = 0;
};
PointRecord makePoint(const PointFields& fields);

// The point table holds exactly these records.
void setTable(std::initializer_list<PointRecord> records);
