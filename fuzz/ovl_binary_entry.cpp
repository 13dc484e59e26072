// Fuzzing the OVL binary reader: byte 0 picks the transfer kind (7, 6 or
// 157), the rest is the file.

#include <string>

#include "formats/ovl_binary.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "model/point_table.h"

int fuzzOvlBinaryReader(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const TransferKind kinds[] = {TransferKind::Waypoints, TransferKind::Tracks, TransferKind::OvlConversion};
    const TransferKind transferKind = kinds[data[0] % 3];
    std::string path = writeFuzzFile("input.ovl", data + 1, size - 1);
    FUZZ_CHECK(!path.empty());
    int objectKindFound = -1;
    bool numbers = false, names = false;
    int result = readOvlBinaryFile(path.c_str(), transferKind, objectKindFound, numbers, names);
    FUZZ_CHECK(result == 0 || result == 1);
    checkPointTable();
    return 0;
}
