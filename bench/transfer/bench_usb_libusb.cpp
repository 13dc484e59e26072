// USB track download through libusb's real Linux backend, against the
// receiver emulated at the usbdevfs level (umockdev): 20000 track points,
// one packet per point, in one bulk burst per answer as most receivers send
// them, and in one burst per packet. The time is that of the whole command
// (device query and the 500 ms and 1000 ms pauses of the program taken for
// real); packets_per_s counts the packets the receiver sent.
//
// Runs only inside umockdev-wrapper:
//   umockdev-wrapper bench_usb_libusb
// WEGMATE_BENCH_POINTS overrides the 20000 points.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

#include "commands/command.h"
#include "platform/platform.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "sim/usbdevfs_receiver.h"
#include "model/point_table.h"

namespace {

int benchPoints() {
    const char* text = std::getenv("WEGMATE_BENCH_POINTS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 20000;
}

std::string outputFile;
int errors = 0;
std::string lastBox;

void box(const char* title, const char* text, BoxIcon) {
    if (std::strcmp(title, "FEHLER") == 0) errors++;
    lastBox = text;
}
bool no(QuestionId, const char*, const char*, int) { return false; }
bool noOkCancel(QuestionId, const char*, const char*) { return false; }
bool noFile(const char*, FileFilter, std::string&) { return false; }
bool saveFile(const char*, FileFilter, const char*, std::string& fileName) {
    fileName = outputFile;
    return true;
}
void text(const char*) {}
void nothing() {}
void cursor(bool) {}
void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
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

void BM_LibusbTrackDownload(benchmark::State& state) {
    if (!UsbdevfsReceiver::available()) {
        state.SkipWithError("run inside umockdev-wrapper");
        return;
    }
    const int points = benchPoints();
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(0, 0, 0, 1, points);
    sim.usbBurstPerPacket = state.range(0) == 1;
    UsbdevfsReceiver receiver(sim);
    if (!receiver.ok()) {
        state.SkipWithError(receiver.error().c_str());
        return;
    }
    installUsbDriver(nullptr);
    installPlatform(&benchPlatform);
    outputFile = "/tmp/wegmate_bench_usb_" + std::to_string(getpid()) + ".mif";
    long packets = 0;
    for (auto _ : state) {
        errors = 0;
        const auto start = std::chrono::steady_clock::now();
        runCommand(DownloadTracks, kUsbPort, MapInfoMif, LineObjects);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        if (errors != 0 || pointTable.count != points) {
            state.SkipWithError(("download failed: " + lastBox).c_str());
            break;
        }
        // Session started, product data, array, records, header, points,
        // transfer complete.
        packets += 1 + 2 + 1 + 1 + points + 1;
    }
    state.counters["points"] = points;
    state.counters["packets_per_s"] = benchmark::Counter((double)packets, benchmark::Counter::kIsRate);
    installPlatform(nullptr);
    std::remove(outputFile.c_str());
    std::remove((outputFile.substr(0, outputFile.size() - 4) + ".mid").c_str());
}

}  // namespace

BENCHMARK(BM_LibusbTrackDownload)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("burst_per_packet")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
