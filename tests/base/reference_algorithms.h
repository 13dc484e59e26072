#pragma once
// Plain, literal versions of the upload preparation steps, as the reference
// for the fast implementations.

#include <cstdio>
#include <cstring>
#include <utility>

#include "formats/helpers.h"
#include "transfer/names.h"
#include "transfer/point_table.h"

inline bool referenceKeyLess(const PointRecord& a, const PointRecord& b) {
    if (a.NumberOfRouteOrTrack != b.NumberOfRouteOrTrack)
        return a.NumberOfRouteOrTrack < b.NumberOfRouteOrTrack;
    return a.NumberOfPoint < b.NumberOfPoint;
}

// The exchange sort as the upload has always done it.
inline void referenceSort(PointRecord* rec, int n) {
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (referenceKeyLess(rec[j], rec[i])) std::swap(rec[i], rec[j]);
}

// The naming step word by word, with the quadratic duplicate test.
inline void referenceMakePointNamesUnique() {
    for (int i = 0; i < pointTable.count; ++i) {
        char* name = pointTable.records[i].NameOfPoint;
        trimLine(name);
        if (name[0] == '\0') {
            if (!nameInitialsAsked) {
                askNameInitials();
                nameInitialsAsked = true;
            }
            copyName(pointTable.records[i].NameOfPoint, makeAutomaticPointName(autoNameCounter).c_str());
            ++autoNameCounter;
        }
        const int length = static_cast<int>(strlen(name));
        for (int q = 1; q <= 99 && isDuplicatePointName(i); ++q) {
            namesChanged = true;
            if (length > 4) snprintf(name + 4, 3, "%02d", q);
            else snprintf(name + length, 3, "%02d", q);
        }
        if (isDuplicatePointName(i)) {
            for (int q = 1; q <= 9999 && isDuplicatePointName(i); ++q) {
                if (length > 2) snprintf(name + 2, 5, "%04d", q);
                else snprintf(name + length, 5, "%04d", q);
            }
        }
    }
}
