// The point table, position test, line counting and the ordering of uploads.

#include "transfer/point_table.h"

#include <cstring>
#include <utility>

PointTable pointTable;

void PointTable::reset() { count = 0; }

bool isValidPosition(const PointRecord& record) {
    // Written so that NaN fails every comparison and so the test.
    return record.Latitude >= -90.0 && record.Latitude <= 90.0 &&
           record.Longitude > -200.0 && record.Longitude < 200.0;
}

LinePointResult countLinePoints(int objectKind) {
    LinePointResult result{0, false};
    int run = 0;
    for (int i = pointTable.count - 1; i >= 0; --i) {
        PointRecord& record = pointTable.records[i];
        if (!isValidPosition(record)) continue;
        ++result.valid;
        record.LinePointCount = run + 1;
        if (record.NewSegment) {
            if (objectKind == LineObjects && record.LinePointCount < 2) result.shortLine = true;
            run = 0;
        } else {
            ++run;
        }
    }
    return result;
}

void copyName(char (&field)[kNameSize], const char* src) {
    if (!src) {
        field[0] = '\0';
        return;
    }
    size_t n = strnlen(src, kNameSize - 1);
    // The source may overlap the field (a name cut in place).
    memmove(field, src, n);
    field[n] = '\0';
}

namespace {

inline bool keyLess(const PointRecord& a, const PointRecord& b) {
    if (a.NumberOfRouteOrTrack != b.NumberOfRouteOrTrack)
        return a.NumberOfRouteOrTrack < b.NumberOfRouteOrTrack;
    return a.NumberOfPoint < b.NumberOfPoint;
}

}  // namespace

void sortPointTable() {
    PointRecord* rec = pointTable.records;
    const int n = pointTable.count;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (keyLess(rec[j], rec[i])) std::swap(rec[i], rec[j]);
        }
    }
}
