// Fuzzing the file writers with receiver data, and the readers with what
// the writers made of it: the path of a download followed by an upload.
// The input is a sequence of records, each one selector byte, one length
// byte and that many bytes of a waypoint packet:
//   selector bits 0..3  waypoint format (modulo 9)
//   selector bit 4      the record starts a new line, and carries its
//                       point name as route name
//   selector bits 5..7  route number
// The table is written as MIF/MID, OVL ASCII and OVL binary, as points and
// as lines, and every file is read back.

#include <cstring>
#include <string>

#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "model/point_table.h"
#include "records/record_formats.h"

namespace {

constexpr int kMaxRecords = 64;
PointRecord saved[kMaxRecords];
int savedCount = 0;

void restoreTable() {
    std::memcpy(pointTable.records, saved, sizeof(PointRecord) * (size_t)savedCount);
    pointTable.count = savedCount;
}

int validRecords() {
    int valid = 0;
    for (int i = 0; i < pointTable.count; i++)
        if (isValidPosition(pointTable.records[i])) valid++;
    return valid;
}

}  // namespace

int fuzzFileWriters(const uint8_t* data, size_t size) {
    pointTable.reset();
    size_t pos = 0;
    while (pos + 2 <= size && pointTable.count < kMaxRecords) {
        uint8_t selector = data[pos];
        size_t length = data[pos + 1];
        pos += 2;
        if (length > size - pos) length = size - pos;
        PointRecord& r = pointTable.records[pointTable.count];
        std::memset(&r, 0, sizeof r);
        decodeWaypoint(data + pos, (int)length, (WaypointFormat)((selector & 15) % 9), r);
        pos += length;
        r.NumberOfRouteOrTrack = selector >> 5;
        r.NumberOfPoint = pointTable.count + 1;
        r.NewSegment = (selector & 16) || pointTable.count == 0 ? 1 : 0;
        if (selector & 16) std::memcpy(r.NameOfRouteOrTrack, r.NameOfPoint, kNameSize);
        pointTable.count++;
    }
    savedCount = pointTable.count;
    std::memcpy(saved, pointTable.records, sizeof(PointRecord) * (size_t)savedCount);

    const std::string mif = fuzzScratchDirectory() + "/written.mif";
    const std::string ovl = fuzzScratchDirectory() + "/written.ovl";
    for (int objectKind : {PointObjects, LineObjects}) {
        for (TransferKind transferKind : {TransferKind::Waypoints, TransferKind::Tracks}) {
            bool numbers = false, names = false;

            restoreTable();
            countLinePoints(objectKind);
            int valid = validRecords();
            FUZZ_CHECK(writeMifFile(mif.c_str(), objectKind) == 1);
            if (readMifFile(mif.c_str(), transferKind, numbers, names) == 1 && objectKind == PointObjects)
                FUZZ_CHECK(pointTable.count == valid);
            checkPointTable();

            restoreTable();
            countLinePoints(objectKind);
            FUZZ_CHECK(writeOvlAsciiFile(ovl.c_str(), objectKind) == 1);
            int separateTracks = 0;
            readOvlAsciiFile(ovl.c_str(), transferKind, separateTracks, false);
            checkPointTable();

            restoreTable();
            countLinePoints(objectKind);
            FUZZ_CHECK(writeOvlBinaryFile(ovl.c_str(), objectKind) == 1);
            int objectKindFound = 0;
            if (readOvlBinaryFile(ovl.c_str(), transferKind, objectKindFound, numbers, names) == 1 &&
                objectKind == PointObjects)
                FUZZ_CHECK(pointTable.count == valid);
            checkPointTable();
        }
    }
    return 0;
}
