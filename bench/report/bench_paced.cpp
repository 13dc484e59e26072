// Paced serial transfers against the receiver simulator, side by side with
// gpsbabel on the same simulator.
//
//   bench_paced tracks N      download and upload of one track log of N points
//   bench_paced waypoints N   download and upload of N waypoints
//
// The simulator paces both directions as a 9600 baud 8N1 line does
// (960 bytes per second each way): its own bytes go out no faster, and the
// host's bytes, Wegmate's and gpsbabel's alike, count as received only
// after their line time. The pauses the program takes by design (500 ms
// after the file choice, 100 ms / 50 ms before every reply, 1000 ms after
// the device query) really sleep. The byte counts of both directions come
// from the simulator; the wire bound is what the line needs for them when
// every packet waits for its answer (the directions do not overlap):
//   wire bound = (bytes from the receiver + bytes to it) / 960.
// A download also sleeps its pauses outside the transfer (wire bound +
// pauses); an upload sleeps its 50 ms while its record and the answer are
// on the line.
// Output: one tab-separated line per run on stdout:
//   case  program  points  seconds  wire_bound  from_rx  to_rx  pauses_ms  result

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "commands/command.h"
#include "platform/platform.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "model/point_table.h"

namespace {

struct Ui {
    std::string saveFile;
    std::string openFile;
    long pausedMs = 0;
    int errors = 0;
    std::string lastBox;
} ui;

void box(const char* title, const char* text, BoxIcon) {
    if (std::strcmp(title, "FEHLER") == 0) ui.errors++;
    ui.lastBox = text;
}
bool no(QuestionId, const char*, const char*, int) { return false; }
bool noOkCancel(QuestionId, const char*, const char*) { return false; }
bool openFile(const char*, FileFilter, std::string& fileName) {
    fileName = ui.openFile;
    return !fileName.empty();
}
bool saveFile(const char*, FileFilter, const char*, std::string& fileName) {
    fileName = ui.saveFile;
    return !fileName.empty();
}
void text(const char*) {}
void nothing() {}
void cursor(bool) {}
void pause(int ms) {
    ui.pausedMs += ms;
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
bool initials(const InitialsDialog&, std::string& entry) {
    entry = "BM";
    return true;
}
bool routeTrackId(const RouteTrackIdDialog&, std::string&) { return false; }
bool trackSelect(const TrackSelectDialog&, int&) { return false; }
void deviceInfo(const char*, const char*) {}

void noCounts(long, long) {}

const Platform benchPlatform = {
    .messageBox = box,
    .askYesNo = no,
    .askOkCancel = noOkCancel,
    .chooseFileToOpen = openFile,
    .chooseFileToSave = saveFile,
    .setStatusLine = text,
    .progress = noCounts,
    .pumpEvents = nothing,
    .repaintMainWindow = nothing,
    .setWaitCursor = cursor,
    .beep = nothing,
    .pause = pause,
    .initialsDialog = initials,
    .routeTrackIdDialog = routeTrackId,
    .trackSelectDialog = trackSelect,
    .deviceInfoDialog = deviceInfo,
};

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string scratch(const std::string& name) { return "/tmp/wegmate_paced_" + std::to_string(getpid()) + "_" + name; }

void line(const std::string& what, const char* program, int points, double seconds, long fromRx, long toRx,
          long pausesMs, const std::string& result) {
    std::printf("%s\t%s\t%d\t%.1f\t%.1f\t%ld\t%ld\t%ld\t%s\n", what.c_str(), program, points, seconds,
                (fromRx + toRx) / 960.0, fromRx, toRx, pausesMs, result.c_str());
    std::fflush(stdout);
}

// Points the simulator took in: waypoints, or the points of every track log.
int uploadedPoints(const Simulator& sim) {
    const SimUploadLog log = sim.uploadLog();
    int n = (int)log.waypoints.size();
    for (const SimTrack& t : log.tracks) n += (int)t.points.size();
    return n;
}

// One Wegmate command against the simulator on a fresh pty.
void runWegmate(Simulator& sim, const std::string& what, TransferCommand command, int points) {
    const std::string tty = sim.startPty();
    setSerialDeviceOverride(1, tty);
    ui.pausedMs = 0;
    ui.errors = 0;
    ui.lastBox.clear();
    const auto start = std::chrono::steady_clock::now();
    runCommand(command, comPort(1), MapInfoMif, PointObjects);
    const double seconds = since(start);
    sim.stop();
    const bool upload = command == UploadWaypoints || command == UploadTracks;
    int moved = upload ? uploadedPoints(sim) : pointTable.count;
    std::string result = ui.errors ? "FAILED: " + ui.lastBox : "ok";
    if (!ui.errors && moved != points) result = "WRONG COUNT " + std::to_string(moved);
    line(what, "wegmate", points, seconds, sim.bytesSent(), sim.bytesReceived(), ui.pausedMs, result);
}

int countOf(const std::string& file, const char* tag) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    int n = 0;
    for (size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) n++;
    return n;
}

// gpsbabel against the simulator on a fresh pty; the bytes are counted by
// the simulator itself.
void runGpsbabel(Simulator& sim, const std::string& what, const std::string& args, int points, const std::string& gpx,
                 const char* tag) {
    const std::string tty = sim.startPty();
    std::string command = "timeout 3600 gpsbabel " + args;
    const size_t at = command.find("TTY");
    command.replace(at, 3, tty);
    command += " >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = since(start);
    sim.stop();
    const long fromRx = sim.bytesSent();
    const long toRx = sim.bytesReceived();
    int moved = tag ? countOf(gpx, tag) : uploadedPoints(sim);
    std::string result = status == 0 ? "ok" : "FAILED: exit " + std::to_string(status);
    if (status == 0 && moved != points) result = "COUNT " + std::to_string(moved);
    line(what, "gpsbabel", points, seconds, fromRx, toRx, 0, result);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "tracks") != 0 && std::strcmp(argv[1], "waypoints") != 0)) {
        std::fprintf(stderr, "usage: bench_paced tracks|waypoints N\n");
        return 2;
    }
    const bool tracks = std::strcmp(argv[1], "tracks") == 0;
    const int n = std::atoi(argv[2]);
    installPlatform(&benchPlatform);

    Simulator source(*findSimProfile("etrex"));
    if (tracks)
        source.generate(0, 0, 0, 1, n);
    else
        source.generate(n, 0, 0, 0, 0);

    // Unpaced: the upload files (a MIF of points from Wegmate, a GPX from gpsbabel).
    const std::string mif = scratch(tracks ? "tracks.mif" : "waypoints.mif");
    const std::string gpx = scratch(tracks ? "tracks.gpx" : "waypoints.gpx");
    ui.saveFile = mif;
    runWegmate(source, std::string("unpaced download ") + argv[1], tracks ? DownloadTracks : DownloadWaypoints, n);
    runGpsbabel(source, std::string("unpaced download ") + argv[1],
                std::string(tracks ? "-t" : "-w") + " -i garmin -f TTY -o gpx -F " + gpx, n, gpx,
                tracks ? "<trkpt" : "<wpt");

    source.pacing = true;
    const std::string paced = scratch(tracks ? "paced.mif" : "pacedw.mif");
    const std::string pacedGpx = scratch(tracks ? "paced.gpx" : "pacedw.gpx");
    ui.saveFile = paced;
    runWegmate(source, std::string("paced download ") + argv[1], tracks ? DownloadTracks : DownloadWaypoints, n);
    runGpsbabel(source, std::string("paced download ") + argv[1],
                std::string(tracks ? "-t" : "-w") + " -i garmin -f TTY -o gpx -F " + pacedGpx, n, pacedGpx,
                tracks ? "<trkpt" : "<wpt");

    Simulator target(*findSimProfile("etrex"));
    target.pacing = true;
    target.storeUploads = false;
    ui.openFile = mif;
    target.clearUploadLog();
    runWegmate(target, std::string("paced upload ") + argv[1], tracks ? UploadTracks : UploadWaypoints, n);
    target.clearUploadLog();
    runGpsbabel(target, std::string("paced upload ") + argv[1],
                std::string(tracks ? "-t" : "-w") + " -i gpx -f " + gpx + " -o garmin -F TTY", n, gpx, nullptr);

    for (const std::string& f : {mif, gpx, paced, pacedGpx}) {
        std::remove(f.c_str());
        std::string mid = f.substr(0, f.size() - 4) + ".mid";
        std::remove(mid.c_str());
    }
    installPlatform(nullptr);
    return 0;
}
