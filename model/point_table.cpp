// The point table, position test, line counting and the ordering of uploads.

#include "model/point_table.h"

#include <cstring>
#include <algorithm>
#include <utility>

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

// sortPointTable gives exactly the order of the exchange sort
//
//   for i: for j > i: if key[j] < key[i] swap(record[i], record[j])
//
// in O(n log n + n^1.5) instead of O(n^2). Records of different keys come out
// ascending; what needs care is the order inside each group of equal keys.
//
// Round i of the exchange sort moves the records along the chain of strict
// running minima from place i: each chain member takes the place of the next
// one and the last (the minimum) lands on place i, which is final from then
// on. Seen only through the records with keys <= v, this is the same chain
// rule, so the order of the records with key v depends only on the records
// with keys <= v. Write those as v-records and markers s (smaller keys):
// while markers remain, a marker in front is finalised and dropped, and a
// v-record in front moves to the place of the first marker. For the pattern
// s^a0 R1 s^a1 R2 ... Rk s^ak (Ri: runs of v-records in table order) the
// final order of the group is: Q = R1; for each i = 1..k rotate Q left by
// a_i mod |Q| and append R(i+1); after the last run rotate by a_k. The a_i
// (markers between neighbouring v-records) come from a Fenwick tree over the
// places, filled in ascending key order.

namespace {

inline bool keyLess(const PointRecord& a, const PointRecord& b) {
    if (a.NumberOfRouteOrTrack != b.NumberOfRouteOrTrack) return a.NumberOfRouteOrTrack < b.NumberOfRouteOrTrack;
    return a.NumberOfPoint < b.NumberOfPoint;
}

inline bool keyEqual(const PointRecord& a, const PointRecord& b) {
    return a.NumberOfRouteOrTrack == b.NumberOfRouteOrTrack && a.NumberOfPoint == b.NumberOfPoint;
}

int sortOrder[kMaxPoints];    // places in ascending (key, place) order
int resultOrder[kMaxPoints];  // resultOrder[k]: original place of the record that ends at k
int fenwick[kMaxPoints + 1];  // counts of smaller-key records by place
int ring[kMaxPoints];         // the group order Q as a ring buffer
bool moved[kMaxPoints];

void fenwickAdd(int place, int n) {
    for (int k = place + 1; k <= n; k += k & -k) ++fenwick[k];
}

// Number of inserted records at places 0..place-1.
int fenwickBefore(int place) {
    int sum = 0;
    for (int k = place; k > 0; k -= k & -k) sum += fenwick[k];
    return sum;
}

struct Ring {
    int head = 0;
    int size = 0;
    void push(int value) {
        ring[(head + size) % kMaxPoints] = value;
        ++size;
    }
    void rotateLeft(long long by) {
        if (size < 2) return;
        int r = static_cast<int>(by % size);
        if (r == 0) return;
        if (r <= size - r) {
            for (int t = 0; t < r; ++t) {
                ring[(head + size) % kMaxPoints] = ring[head];
                head = (head + 1) % kMaxPoints;
            }
        } else {
            for (int t = 0; t < size - r; ++t) {
                head = (head + kMaxPoints - 1) % kMaxPoints;
                ring[head] = ring[(head + size) % kMaxPoints];
            }
        }
    }
    int at(int k) const { return ring[(head + k) % kMaxPoints]; }
};

}  // namespace

void sortPointTable() {
    PointRecord* rec = pointTable.records;
    const int n = pointTable.count;
    if (n < 2) return;
    for (int k = 0; k < n; ++k) sortOrder[k] = k;
    std::sort(sortOrder, sortOrder + n, [rec](int a, int b) {
        if (keyLess(rec[a], rec[b])) return true;
        if (keyLess(rec[b], rec[a])) return false;
        return a < b;
    });
    std::fill(fenwick, fenwick + n + 1, 0);

    int inserted = 0;  // records of smaller keys in the tree
    int out = 0;
    for (int start = 0; start < n;) {
        int end = start + 1;
        while (end < n && keyEqual(rec[sortOrder[end]], rec[sortOrder[start]])) ++end;
        Ring q;
        q.push(sortOrder[start]);
        int before = fenwickBefore(sortOrder[start]);
        for (int k = start + 1; k < end; ++k) {
            const int place = sortOrder[k];
            const int upTo = fenwickBefore(place);
            q.rotateLeft(upTo - before);
            q.push(place);
            before = upTo;
        }
        q.rotateLeft(inserted - before);
        for (int k = 0; k < q.size; ++k) resultOrder[out++] = q.at(k);
        for (int k = start; k < end; ++k) fenwickAdd(sortOrder[k], n);
        inserted += end - start;
        start = end;
    }

    // Apply the permutation in place, one cycle at a time.
    std::fill(moved, moved + n, false);
    for (int k = 0; k < n; ++k) {
        if (moved[k] || resultOrder[k] == k) {
            moved[k] = true;
            continue;
        }
        PointRecord held = rec[k];
        int to = k;
        for (;;) {
            moved[to] = true;
            const int from = resultOrder[to];
            if (from == k) {
                rec[to] = held;
                break;
            }
            rec[to] = rec[from];
            to = from;
        }
    }
}
