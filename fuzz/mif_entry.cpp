// Fuzzing the MIF/MID reader: byte 0 picks the transfer kind, the rest is
// the MIF text, kFuzzMidSeparator and the MID text (no separator: an empty
// MID file).

#include <cstring>
#include <string>

#include "formats/mif.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "model/point_table.h"

int fuzzMifReader(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const TransferKind transferKind = (data[0] & 1) ? TransferKind::Tracks : TransferKind::Waypoints;
    const uint8_t* text = data + 1;
    const size_t length = size - 1;
    const size_t separatorLength = sizeof kFuzzMidSeparator - 1;
    size_t mifLength = length, midStart = length;
    for (size_t i = 0; i + separatorLength <= length; i++) {
        if (std::memcmp(text + i, kFuzzMidSeparator, separatorLength) == 0) {
            mifLength = i;
            midStart = i + separatorLength;
            break;
        }
    }
    std::string mif = writeFuzzFile("input.mif", text, mifLength);
    std::string mid = writeFuzzFile("input.mid", text + midStart, length - midStart);
    FUZZ_CHECK(!mif.empty() && !mid.empty());
    FUZZ_CHECK(midFileName(mif) == mid);

    bool numbers = false, names = false;
    int result = readMifFile(mif.c_str(), transferKind, numbers, names);
    FUZZ_CHECK(result == 0 || result == 1);
    checkPointTable();
    return 0;
}
