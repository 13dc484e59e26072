// Fuzzing what a drive tells about itself: the input is its
// Garmin/GarminDevice.xml and, read a second time, a mount table. Every
// location the XML names must stay inside the drive.

#include <climits>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "link/drive.h"

namespace {

// A resolved path, "" for none, names the root or something below it.
bool inside(const std::string& path, const std::string& root) {
    if (path.empty()) return true;
    char real[PATH_MAX], realRoot[PATH_MAX];
    if (!realpath(path.c_str(), real) || !realpath(root.c_str(), realRoot)) return true;  // gone: nothing to reach
    const std::string p = real, r = realRoot;
    return p == r || p.compare(0, r.size() + 1, r + "/") == 0;
}

}  // namespace

int fuzzDeviceXml(const uint8_t* data, size_t size) {
    const std::string root = fuzzScratchDirectory() + "/drive";
    mkdir(root.c_str(), 0700);
    mkdir((root + "/Garmin").c_str(), 0700);
    mkdir((root + "/Garmin/GPX").c_str(), 0700);
    const std::string xml = writeFuzzFile("drive/Garmin/GarminDevice.xml", data, size);
    FUZZ_CHECK(!xml.empty());

    DriveDevice device;
    const std::string message = readGarminDevice(root, device);
    if (message.empty()) {
        for (const std::string& location : driveOutputLocations(device))
            FUZZ_CHECK(inside(resolveDrivePath(root, location), root));
        FUZZ_CHECK(inside(resolveDrivePath(root, driveInputLocation(device)), root));
        (void)driveDescriptionText(device);
        (void)drivePortLabel(device);
    }

    for (const MountEntry& entry : readMountTable(xml)) FUZZ_CHECK(!entry.mountPoint.empty() || entry.type.empty());
    return 0;
}
