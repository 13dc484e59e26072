// Fuzzing the FIT reader: byte 0 picks reading the file into an empty table
// or appending it to a table that holds one point already; the rest is the
// file.

#include <cstring>
#include <string>

#include "formats/fit.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "model/point_table.h"

int fuzzFitReader(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string path = writeFuzzFile("input.fit", data + 1, size - 1);
    FUZZ_CHECK(!path.empty());
    if (data[0] & 1) {
        pointTable.reset();
        PointRecord& held = pointTable.records[pointTable.count++];
        std::memset(&held, 0, sizeof held);
        held.Latitude = 50.0;
        held.NewSegment = 1;
        const int result = appendFitTracks(path.c_str(), nullptr);
        FUZZ_CHECK(result == 1 || (result == 0 && pointTable.count == 1));
        FUZZ_CHECK(pointTable.count >= 1 && pointTable.records[0].Latitude == 50.0);
        for (int i = 1; i < pointTable.count; i++) FUZZ_CHECK(pointTable.records[i].NumberOfPoint >= 1);
    } else {
        const int result = readFitFile(path.c_str());
        FUZZ_CHECK(result == 0 || result == 1);
        FUZZ_CHECK(result == 0 || pointTable.count > 0);
        for (int i = 0; result == 1 && i < pointTable.count; i++) {
            FUZZ_CHECK(isValidPosition(pointTable.records[i]));
            FUZZ_CHECK(pointTable.records[i].NumberOfRouteOrTrack >= 1);
        }
    }
    checkPointTable();
    return 0;
}
