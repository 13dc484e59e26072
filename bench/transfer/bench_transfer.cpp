// Download speed of the track log.
//
// Paced: the simulator delivers no faster than 9600 baud 8N1 (960 bytes/s)
// on a pseudo terminal, the pauses of the transfer really sleep, and the
// time of a whole track download (command driver included) is compared
// with the wire-time bound: every byte on the line, both directions, ACKs
// and DLE stuffing included, at 960 bytes/s, plus the pauses the program
// takes by design (500 ms after the file choice, the settling times, 1000 ms
// after the device query). gpsbabel then downloads the same track from the
// same simulator.
//
// Unpaced: points per second and CPU time of the program's thread per
// packet, over the pty and over the in-process USB driver.
//
// WEGMATE_BENCH_POINTS overrides the 20000 points (for a quick look).

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <vector>
#include <string>
#include <thread>

#include "commands/command.h"
#include "platform/platform.h"
#include "link/link_clock.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "model/point_table.h"

namespace {

int benchPoints() {
    const char* text = std::getenv("WEGMATE_BENCH_POINTS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 20000;
}

// ---- a front end that answers No, saves to one file and really sleeps

struct BenchUi {
    std::string file;
    bool realPauses = true;
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
bool noFile(const char*, FileFilter, std::string&) { return false; }
bool saveFile(const char*, FileFilter, const char*, std::string& fileName) {
    fileName = ui.file;
    return true;
}
void text(const char*) {}
void nothing() {}
void cursor(bool) {}
void pause(int ms) {
    ui.pausedMs += ms;
    if (ui.realPauses && ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
bool initials(const InitialsDialog&, std::string&) { return true; }
bool routeTrackId(const RouteTrackIdDialog&, std::string&) { return false; }
bool trackSelect(const TrackSelectDialog&, int&) { return false; }
void deviceInfo(const char*, const char*) {}

void noCounts(long, long) {}

const Platform benchPlatform = {
    .messageBox = box,
    .askYesNo = no,
    .askOkCancel = noOkCancel,
    .chooseFileToOpen = noFile,
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

// ---- byte counts of the serial line

long bytesIn = 0;
long bytesOut = 0;

int countingRead(uint8_t* byte) {
    const int n = serialReadByteFromPort(byte);
    if (n == 1) bytesIn++;
    return n;
}
int countingWrite(uint8_t byte) {
    const int n = serialWriteByteToPort(byte);
    if (n == 1) bytesOut++;
    return n;
}
const LinkIo countingIo = {monotonicMs, countingRead, countingWrite};

// Diagnostic only: the same bytes, but each frame leaves in one write() on a
// second descriptor of the same line, to see what the byte-by-byte writes
// of the packet layer cost in latency.
int frameFd = -1;
std::vector<uint8_t> frameBuffer;
int coalescingWrite(uint8_t byte) {
    frameBuffer.push_back(byte);
    bytesOut++;
    const size_t n = frameBuffer.size();
    // A frame ends with an unstuffed DLE and ETX: count the DLEs before ETX.
    if (n >= 6 && byte == 3) {
        size_t dles = 0;
        for (size_t i = n - 1; i-- > 0 && frameBuffer[i] == 16;) dles++;
        if (dles % 2 == 1) {
            const ssize_t written = write(frameFd, frameBuffer.data(), n);
            (void)written;
            frameBuffer.clear();
        }
    }
    return 1;
}
const LinkIo coalescingIo = {monotonicMs, countingRead, coalescingWrite};

double threadCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One track download through the command driver; true when it succeeded.
bool downloadTrack(const Port& port, int points) {
    ui.errors = 0;
    ui.lastBox.clear();
    runCommand(DownloadTracks, port, MapInfoMif, LineObjects);
    return ui.errors == 0 && pointTable.count == points;
}

double runGpsbabel(const std::string& tty, const std::string& out, int& points) {
    const std::string command = "gpsbabel -t -i garmin -f " + tty + " -o gpx -F " + out + " 2>/dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double elapsed = seconds(std::chrono::steady_clock::now() - start);
    points = 0;
    if (status == 0) {
        FILE* f = std::fopen(out.c_str(), "r");
        char line[512];
        while (f && std::fgets(line, sizeof line, f))
            for (const char* p = line; (p = std::strstr(p, "<trkpt")); p++) points++;
        if (f) std::fclose(f);
    }
    return status == 0 ? elapsed : -1.0;
}

std::string tempName(const char* name) {
    return std::string("/tmp/wegmate_bench_") + std::to_string(getpid()) + "_" + name;
}

void BM_PacedSerialTrackDownload(benchmark::State& state) {
    const bool coalesce = state.range(0) == 1;
    const int points = benchPoints();
    Simulator sim(*findSimProfile("etrex"));  // D301 track points
    sim.generate(0, 0, 0, 1, points);
    sim.pacing = true;
    installPlatform(&benchPlatform);
    ui.file = tempName("paced.mif");
    ui.realPauses = true;

    for (auto _ : state) {
        const std::string tty = sim.startPty();
        if (tty.empty()) {
            state.SkipWithError("no pty");
            break;
        }
        setSerialDeviceOverride(1, tty);
        if (coalesce) {
            frameFd = open(tty.c_str(), O_WRONLY | O_NOCTTY);
            frameBuffer.clear();
        }
        installLinkIo(coalesce ? &coalescingIo : &countingIo);
        bytesIn = bytesOut = 0;
        ui.pausedMs = 0;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = downloadTrack(comPort(1), points);
        const double elapsed = seconds(std::chrono::steady_clock::now() - start);
        installLinkIo(nullptr);
        if (coalesce) {
            close(frameFd);
            frameFd = -1;
        }
        sim.stop();
        state.SetIterationTime(elapsed);
        if (!ok) {
            state.SkipWithError(("download failed: " + ui.lastBox).c_str());
            break;
        }
        const double bound = (double)(bytesIn + bytesOut) / 960.0 + ui.pausedMs / 1000.0;
        state.counters["seconds"] = elapsed;
        state.counters["bound_s"] = bound;
        state.counters["ratio_to_bound"] = elapsed / bound;
        state.counters["bytes_from_receiver"] = (double)bytesIn;
        state.counters["bytes_to_receiver"] = (double)bytesOut;
        state.counters["pauses_ms"] = (double)ui.pausedMs;

        // gpsbabel against the same simulator.
        const std::string tty2 = sim.startPty();
        int babelPoints = 0;
        const double babel = runGpsbabel(tty2, tempName("gpsbabel.gpx"), babelPoints);
        sim.stop();
        state.counters["gpsbabel_s"] = babel;
        state.counters["gpsbabel_points"] = babelPoints;
        if (babel > 0) state.counters["ratio_to_gpsbabel"] = elapsed / babel;
    }
    installPlatform(nullptr);
    setSerialDeviceOverride(1, "");
}

void BM_UnpacedTrackDownload(benchmark::State& state) {
    const bool usb = state.range(0) == 0;
    const int points = benchPoints();
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(0, 0, 0, 1, points);
    // USB: packets on the interrupt pipe, as in the earlier measurements.
    sim.usbInterruptOnly = true;
    installPlatform(&benchPlatform);
    ui.file = tempName(usb ? "usb.mif" : "serial.mif");
    ui.realPauses = false;
    UsbDriver driver{};
    double cpuTotal = 0;
    long packets = 0;
    for (auto _ : state) {
        if (usb) {
            driver = sim.usbDriver();
            installUsbDriver(&driver);
        } else {
            const std::string tty = sim.startPty();
            setSerialDeviceOverride(1, tty);
        }
        const double cpuStart = threadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = downloadTrack(usb ? kUsbPort : comPort(1), points);
        const double elapsed = seconds(std::chrono::steady_clock::now() - start);
        cpuTotal += threadCpuSeconds() - cpuStart;
        if (usb)
            installUsbDriver(nullptr);
        else
            sim.stop();
        state.SetIterationTime(elapsed);
        if (!ok) {
            state.SkipWithError(("download failed: " + ui.lastBox).c_str());
            break;
        }
        // Device query (request, product data, array), command, records,
        // header, points, transfer complete.
        packets += 3 + 1 + 1 + 1 + points + 1;
    }
    state.counters["points_per_s"] =
        benchmark::Counter((double)points * state.iterations(), benchmark::Counter::kIsRate);
    if (packets > 0) state.counters["cpu_us_per_packet"] = cpuTotal * 1e6 / (double)packets;
    installPlatform(nullptr);
    setSerialDeviceOverride(1, "");
}

}  // namespace

// coalesced:1 is the diagnostic variant (frames written in one piece).
BENCHMARK(BM_PacedSerialTrackDownload)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("coalesced")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_UnpacedTrackDownload)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("serial")
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
