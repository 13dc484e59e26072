// The point table, position test, line counting and the ordering of uploads.

#include "model/point_table.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

PointTable pointTable;

void PointTable::reset() {
    count = 0;
    fieldsLeftEmpty = 0;
}

bool isValidPosition(const PointRecord& record) {
    // Written so that NaN fails every comparison and so the test; an
    // infinity lies outside the ranges.
    return record.Latitude >= -90.0 && record.Latitude <= 90.0 && record.Longitude >= -180.0 &&
           record.Longitude <= 180.0;
}

int dropRecords(int first, bool (*drop)(const PointRecord&)) {
    int kept = first;
    bool segmentStart = false;
    for (int i = first; i < pointTable.count; i++) {
        const PointRecord& record = pointTable.records[i];
        if (drop(record)) {
            if (record.NewSegment) segmentStart = true;
            continue;
        }
        if (kept != i) pointTable.records[kept] = record;
        if (segmentStart) pointTable.records[kept].NewSegment = 1;
        segmentStart = false;
        kept++;
    }
    const int dropped = pointTable.count - kept;
    pointTable.count = kept;
    return dropped;
}

int dropInvalidPositions(int first) {
    return dropRecords(first, [](const PointRecord& record) { return !isValidPosition(record); });
}

int dropWaypoints() {
    const int dropped =
        dropRecords(0, [](const PointRecord& r) { return r.NumberOfRouteOrTrack == 0 && r.NumberOfPoint == 0; });
    if (pointTable.count > 0) pointTable.records[0].NewSegment = 1;
    return dropped;
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

// sortPointTable orders by (NumberOfRouteOrTrack, NumberOfPoint) and keeps
// the objects of the file apart. The readers put the records of one object
// one after another; a run of records begins at a segment start or where
// the group rule (number, or a non-empty name that differs) starts a new
// group. A run joins the runs before it with the same number unless one of
// them holds one of its point numbers already: then it belongs to a later
// copy of that number, and so do the further segments of its object. The
// sort key is (number, copy, point number), stable, so that equal keys keep
// their order and two tracks numbered alike are not interleaved point by
// point. A copy that the group rule would join to the one before it (its
// name empty or the same) then takes the next number above all others.

namespace {

int sortOrder[kMaxPoints];    // places in sorted order
int copyOf[kMaxPoints];       // copy of each record's number, by place
bool moved[kMaxPoints];

uint64_t pointKey(int32_t number, int32_t point) { return ((uint64_t)(uint32_t)number << 32) | (uint32_t)point; }

bool newGroup(const PointRecord& r, int32_t groupNumber, const char* groupName) {
    return r.NumberOfRouteOrTrack != groupNumber || (r.NameOfRouteOrTrack[0] != '\0' && std::strcmp(r.NameOfRouteOrTrack, groupName) != 0);
}

void assignCopies(const PointRecord* rec, int n) {
    // One above the highest copy that holds each (number, point).
    std::unordered_map<uint64_t, int> nextCopy;
    nextCopy.reserve((size_t)n);
    int32_t groupNumber = 0;
    const char* groupName = "";
    for (int start = 0; start < n;) {
        const bool sameGroup = start > 0 && !newGroup(rec[start], groupNumber, groupName);
        if (!sameGroup) {
            groupNumber = rec[start].NumberOfRouteOrTrack;
            groupName = rec[start].NameOfRouteOrTrack;
        }
        int end = start + 1;
        while (end < n && !rec[end].NewSegment && !newGroup(rec[end], groupNumber, groupName)) ++end;
        // A further segment of the same object, numbered on from the one
        // before, stays in its copy or a later one.
        int copy = sameGroup && rec[start].NumberOfPoint > rec[start - 1].NumberOfPoint ? copyOf[start - 1] : 0;
        for (int i = start; i < end; ++i) {
            auto found = nextCopy.find(pointKey(rec[i].NumberOfRouteOrTrack, rec[i].NumberOfPoint));
            if (found != nextCopy.end() && found->second > copy) copy = found->second;
        }
        for (int i = start; i < end; ++i) {
            copyOf[i] = copy;
            nextCopy[pointKey(rec[i].NumberOfRouteOrTrack, rec[i].NumberOfPoint)] = copy + 1;
        }
        start = end;
    }
}

}  // namespace

void sortPointTable() {
    PointRecord* rec = pointTable.records;
    const int n = pointTable.count;
    if (n < 2) return;
    assignCopies(rec, n);
    for (int k = 0; k < n; ++k) sortOrder[k] = k;
    std::stable_sort(sortOrder, sortOrder + n, [rec](int a, int b) {
        if (rec[a].NumberOfRouteOrTrack != rec[b].NumberOfRouteOrTrack)
            return rec[a].NumberOfRouteOrTrack < rec[b].NumberOfRouteOrTrack;
        if (copyOf[a] != copyOf[b]) return copyOf[a] < copyOf[b];
        return rec[a].NumberOfPoint < rec[b].NumberOfPoint;
    });

    // Copies that the group rule would join get numbers of their own.
    int32_t highest = rec[0].NumberOfRouteOrTrack;
    for (int k = 1; k < n; ++k) highest = std::max(highest, rec[k].NumberOfRouteOrTrack);
    std::vector<int32_t> number(n);
    for (int k = 0; k < n; ++k) number[k] = rec[sortOrder[k]].NumberOfRouteOrTrack;
    int32_t groupNumber = 0;
    const char* groupName = "";
    for (int k = 0; k < n; ++k) {
        const PointRecord& r = rec[sortOrder[k]];
        bool starts = k == 0 || number[k] != groupNumber ||
                      (r.NameOfRouteOrTrack[0] != '\0' && std::strcmp(r.NameOfRouteOrTrack, groupName) != 0);
        const bool otherCopy = k > 0 && r.NumberOfRouteOrTrack == rec[sortOrder[k - 1]].NumberOfRouteOrTrack &&
                               copyOf[sortOrder[k]] != copyOf[sortOrder[k - 1]];
        if (otherCopy && !starts && highest < INT32_MAX) {
            ++highest;
            const int copy = copyOf[sortOrder[k]];
            for (int m = k; m < n && rec[sortOrder[m]].NumberOfRouteOrTrack == r.NumberOfRouteOrTrack &&
                            copyOf[sortOrder[m]] == copy;
                 ++m)
                number[m] = highest;
            starts = true;
        }
        if (starts) {
            groupNumber = number[k];
            groupName = r.NameOfRouteOrTrack;
        }
    }

    // Apply the order in place, one cycle at a time.
    std::fill(moved, moved + n, false);
    for (int k = 0; k < n; ++k) {
        if (moved[k]) continue;
        PointRecord held = rec[k];
        int to = k;
        for (;;) {
            moved[to] = true;
            const int from = sortOrder[to];
            if (from == k) {
                rec[to] = held;
                break;
            }
            rec[to] = rec[from];
            to = from;
        }
    }
    for (int k = 0; k < n; ++k) rec[k].NumberOfRouteOrTrack = number[k];
}
