#pragma once
// Plain, literal versions of the upload preparation steps, as the reference
// for the fast implementations.

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "model/helpers.h"
#include "model/names.h"
#include "model/point_table.h"

inline bool referenceKeyLess(const PointRecord& a, const PointRecord& b) {
    if (a.NumberOfRouteOrTrack != b.NumberOfRouteOrTrack) return a.NumberOfRouteOrTrack < b.NumberOfRouteOrTrack;
    return a.NumberOfPoint < b.NumberOfPoint;
}

// The quadratic exchange sort, the benchmark's comparison for the sort.
inline void referenceSort(PointRecord* rec, int n) {
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (referenceKeyLess(rec[j], rec[i])) std::swap(rec[i], rec[j]);
}

// The naming step word by word, with the quadratic duplicate test.
inline void referenceMakePointNamesUnique(NamingState& naming) {
    for (int i = 0; i < pointTable.count; ++i) {
        char* name = pointTable.records[i].NameOfPoint;
        trimLine(name);
        if (name[0] == '\0') {
            if (!naming.initialsAsked) {
                askNameInitials(naming);
                naming.initialsAsked = true;
            }
            copyName(pointTable.records[i].NameOfPoint, makeAutomaticPointName(naming, naming.autoNameCounter).c_str());
            ++naming.autoNameCounter;
        }
        const int length = static_cast<int>(strlen(name));
        for (int q = 1; q <= 99 && isDuplicatePointName(i); ++q) {
            naming.namesChanged = true;
            if (length > 4)
                snprintf(name + 4, 3, "%02d", q);
            else
                snprintf(name + length, 3, "%02d", q);
        }
        if (isDuplicatePointName(i)) {
            for (int q = 1; q <= 9999 && isDuplicatePointName(i); ++q) {
                if (length > 2)
                    snprintf(name + 2, 5, "%04d", q);
                else
                    snprintf(name + length, 5, "%04d", q);
            }
        }
    }
}

// The group rule: a new route or track where the number changes, or where
// a name is given and differs.
inline bool referenceStartsGroup(const PointRecord& r, int number, const std::string& name) {
    return r.NumberOfRouteOrTrack != number || (r.NameOfRouteOrTrack[0] && name != r.NameOfRouteOrTrack);
}

// The split of over-long routes or tracks step by step as documented: 1
// when a group had more than limit points (the table is then split,
// renumbered and the parts named), 0 with the table untouched.
inline int referenceSplit(int limit) {
    PointRecord* t = pointTable.records;
    const int n = pointTable.count;
    if (n == 0) return 0;
    {
        int number = t[0].NumberOfRouteOrTrack;
        std::string name = t[0].NameOfRouteOrTrack;
        int count = 0;
        bool over = false;
        for (int i = 0; i < n && !over; ++i) {
            if (referenceStartsGroup(t[i], number, name)) {
                number = t[i].NumberOfRouteOrTrack;
                name = t[i].NameOfRouteOrTrack;
                count = 0;
            }
            over = ++count > limit;
        }
        if (!over) return 0;
    }
    int number = t[0].NumberOfRouteOrTrack;
    std::string name = t[0].NameOfRouteOrTrack;
    std::string output = name;
    int group = 1, part = 1, count = 0;
    for (int i = 0; i < n; ++i) {
        if (referenceStartsGroup(t[i], number, name)) {
            number = t[i].NumberOfRouteOrTrack;
            name = t[i].NameOfRouteOrTrack;
            output = name;
            ++group;
            part = 1;
            count = 1;
        } else {
            ++count;
        }
        if (count > limit) {
            if (output == "ACTIVE LOG") output = "ACTLG";
            if (!output.empty()) {
                const std::string suffix = std::string("_") + (char)('A' + part);
                if (part == 1 && output.size() <= 48)
                    output += suffix;
                else if (output.size() >= 2)
                    output.replace(output.size() - 2, 2, suffix);
            }
            ++group;
            count = 1;
            t[i].NewSegment = 1;
            ++part;
        }
        t[i].NumberOfRouteOrTrack = group;
        t[i].NumberOfPoint = count;
        copyName(t[i].NameOfRouteOrTrack, output.c_str());
    }
    return 1;
}
