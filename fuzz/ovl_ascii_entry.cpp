// Fuzzing the OVL ASCII reader: byte 0 picks the transfer kind (bit 0) and
// whether the separate-tracks question may be asked (bit 1); the rest is
// the file.

#include <string>

#include "formats/ovl_ascii.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "model/point_table.h"

int fuzzOvlAsciiReader(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const TransferKind transferKind = (data[0] & 1) ? TransferKind::Tracks : TransferKind::Waypoints;
    const bool ask = (data[0] & 2) != 0;
    std::string path = writeFuzzFile("input.ovl", data + 1, size - 1);
    FUZZ_CHECK(!path.empty());
    int separateTracks = 7;
    int result = readOvlAsciiFile(path.c_str(), transferKind, separateTracks, ask);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(separateTracks == 0 || separateTracks == 1);
    checkPointTable();
    return 0;
}
