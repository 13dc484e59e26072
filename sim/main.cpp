// wegmate-sim: a Garmin receiver on a pseudo terminal.
//
//   wegmate-sim --profile etrex [--data FILE | --generate W,R,RP,T,TP]
//               [--link PATH] [--pace] [--raw] [--save FILE] [--no-array]
//               [--nak-burst N@K] [--drop-byte I] [--corrupt-byte I]
//               [--end-after N] [--count-delta D]
//
// Prints the pty slave path and serves it until SIGINT or SIGTERM; --save
// writes the data (uploads included) in the simulator's text format at exit.
// --pace runs both directions at 9600 baud 8N1 (960 bytes/s each way).
// --raw keeps uploaded records as the bytes the host sent and serves them
// back unchanged on downloads of the same kind (--save then holds only the
// data the simulator started with).

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "sim/simulator.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

void usage() {
    std::fprintf(stderr,
                 "usage: wegmate-sim --profile NAME [--data FILE | --generate W,R,RP,T,TP]\n"
                 "                   [--link PATH] [--pace] [--raw] [--save FILE] [--no-array]\n"
                 "                   [--nak-burst N@K] [--drop-byte I] [--corrupt-byte I]\n"
                 "                   [--end-after N] [--count-delta D]\n"
                 "profiles:");
    for (const std::string& n : simProfileNames()) std::fprintf(stderr, " %s", n.c_str());
    std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string profileName = "etrex";
    std::string dataFile;
    std::string generateSpec = "10,2,5,2,100";
    std::string linkPath;
    std::string saveFile;
    bool pace = false;
    bool raw = false;
    bool noArray = false;
    SimFaults faults;
    auto number = [&](const std::string& text, long& out) {
        char* end = nullptr;
        out = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end) {
            usage();
            std::exit(2);
        }
    };
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            out = argv[++i];
        };
        if (a == "--profile")
            value(profileName);
        else if (a == "--data")
            value(dataFile);
        else if (a == "--generate")
            value(generateSpec);
        else if (a == "--link")
            value(linkPath);
        else if (a == "--save")
            value(saveFile);
        else if (a == "--pace")
            pace = true;
        else if (a == "--raw")
            raw = true;
        else if (a == "--no-array")
            noArray = true;
        else if (a == "--nak-burst") {
            std::string v;
            value(v);
            size_t at = v.find('@');
            long n = 0, k = 1;
            number(v.substr(0, at), n);
            if (at != std::string::npos) number(v.substr(at + 1), k);
            faults.nakBurst = (int)n;
            faults.nakFrom = (int)k;
        } else if (a == "--drop-byte" || a == "--corrupt-byte" || a == "--end-after" || a == "--count-delta") {
            std::string v;
            value(v);
            long n = 0;
            number(v, n);
            if (a == "--drop-byte") faults.dropByteAt = n;
            if (a == "--corrupt-byte") faults.corruptByteAt = n;
            if (a == "--end-after") faults.endAfterRecords = (int)n;
            if (a == "--count-delta") faults.recordsCountDelta = (int)n;
        } else {
            usage();
            return 2;
        }
    }
    const SimProfile* profile = findSimProfile(profileName);
    if (!profile) {
        std::fprintf(stderr, "wegmate-sim: unknown profile '%s'\n", profileName.c_str());
        usage();
        return 2;
    }
    Simulator sim(*profile);
    sim.pacing = pace;
    sim.rawRecords = raw;
    sim.faults = faults;
    if (noArray) sim.profile.sendsArray = false;
    if (!dataFile.empty()) {
        if (!sim.load(dataFile)) {
            std::fprintf(stderr, "wegmate-sim: cannot read '%s'\n", dataFile.c_str());
            return 1;
        }
    } else {
        int n[5] = {0, 0, 0, 0, 0};
        if (std::sscanf(generateSpec.c_str(), "%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4]) != 5) {
            usage();
            return 2;
        }
        sim.generate(n[0], n[1], n[2], n[3], n[4]);
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::string path = sim.startPty(linkPath);
    if (path.empty()) {
        std::fprintf(stderr, "wegmate-sim: cannot open a pseudo terminal\n");
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    while (!stopRequested) pause();
    sim.stop();
    if (!saveFile.empty() && !sim.save(saveFile)) {
        std::fprintf(stderr, "wegmate-sim: cannot write '%s'\n", saveFile.c_str());
        return 1;
    }
    return 0;
}
