// Fuzzing the GPX reader: byte 0 picks the transfer kind, the rest is the
// file.

#include <string>

#include "formats/gpx.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "model/point_table.h"

int fuzzGpxReader(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const TransferKind transferKind = (data[0] & 1) ? TransferKind::Tracks : TransferKind::Waypoints;
    std::string path = writeFuzzFile("input.gpx", data + 1, size - 1);
    FUZZ_CHECK(!path.empty());
    bool numbers = false, names = false;
    int result = readGpxFile(path.c_str(), transferKind, numbers, names);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(result == 0 || pointTable.count > 0);
    checkPointTable();
    return 0;
}
