// wegmate-sim-mtp: a Garmin MTP unit for libmtp's tools and for trying the
// program, plugged in for the length of one command.
//
//   umockdev-wrapper wegmate-sim-mtp [options] DIR [DIR2] -- COMMAND [ARGS...]
//
// DIR holds the internal storage's files, DIR2 (optional) those of an SD
// card. Options: --product 0xPID, --no-proplist, --busy N, --claimed,
// --store-full info|data, --unplug-after N (see sim/mtp_responder.h).
// The exit status is the command's.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>

#include "sim/usbdevfs_mtp.h"

int main(int argc, char** argv) {
    MtpUnitConfig unit;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--product") {
            unit.productId = (uint16_t)std::strtoul(next, nullptr, 0);
            i++;
        } else if (a == "--no-proplist") {
            unit.objectPropList = false;
        } else if (a == "--busy") {
            unit.busyOpens = std::atoi(next);
            i++;
        } else if (a == "--claimed") {
            unit.claimedElsewhere = true;
        } else if (a == "--store-full") {
            unit.storeFull = std::strcmp(next, "info") == 0 ? MtpUnitConfig::StoreFull::AtInfo
                                                             : MtpUnitConfig::StoreFull::AtData;
            i++;
        } else if (a == "--unplug-after") {
            unit.unplugAfterTransfers = std::atoi(next);
            i++;
        } else if (a[0] != '-') {
            const bool first = unit.storages.empty();
            unit.storages.push_back({a, first ? "Internal Storage" : "SD Card", !first});
        } else {
            std::fprintf(stderr, "wegmate-sim-mtp: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    if (unit.storages.empty() || i + 1 >= argc) {
        std::fprintf(stderr, "usage: wegmate-sim-mtp [options] DIR [DIR2] -- COMMAND [ARGS...]\n");
        return 2;
    }
    UsbdevfsMtpUnit device(unit);
    if (!device.ok()) {
        std::fprintf(stderr, "wegmate-sim-mtp: %s\n", device.error().c_str());
        return 1;
    }
    std::string command;
    for (int k = i + 1; k < argc; k++) {
        command += "'";
        for (const char* c = argv[k]; *c; c++) command += *c == '\'' ? std::string("'\\''") : std::string(1, *c);
        command += "' ";
    }
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
