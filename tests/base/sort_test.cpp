// The upload's order: ascending by route or track number and point number,
// equal keys in their order, and two objects of a file never merged.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "model/point_table.h"

namespace {

PointRecord keyed(int route, int point, int tag, bool start = false, const char* routeName = "") {
    PointRecord r{};
    r.NumberOfRouteOrTrack = route;
    r.NumberOfPoint = point;
    r.NewSegment = start ? 1 : 0;
    copyName(r.NameOfRouteOrTrack, routeName);
    r.Time = tag;  // identifies the record
    return r;
}

void load(const std::vector<PointRecord>& input) {
    pointTable.reset();
    for (const PointRecord& r : input) pointTable.records[pointTable.count++] = r;
}

// "tag:number" of every record in table order.
std::vector<std::string> order() {
    std::vector<std::string> result;
    for (int k = 0; k < pointTable.count; ++k)
        result.push_back(std::to_string(pointTable.records[k].Time) + ":" +
                         std::to_string(pointTable.records[k].NumberOfRouteOrTrack));
    return result;
}

using Order = std::vector<std::string>;

}  // namespace

// Where no key repeats, the result is the plain ordering by the key, every
// record copied whole, whatever the segment starts and names.
TEST(Sort, DistinctKeysComeOutAscendingAndWhole) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + static_cast<int>(random() % 600);
        std::vector<PointRecord> input;
        std::vector<std::pair<int, int>> keys;
        for (int route = -1; route < 5; ++route)
            for (int point = -2; point < 120; ++point) keys.push_back({route, point});
        std::shuffle(keys.begin(), keys.end(), random);
        const char* names[] = {"", "", "WEG", "ACTIVE LOG"};
        for (int k = 0; k < n; ++k)
            input.push_back(keyed(keys[k].first, keys[k].second, k, random() % 3 == 0, names[random() % 4]));
        std::vector<PointRecord> expected = input;
        std::stable_sort(expected.begin(), expected.end(), [](const PointRecord& a, const PointRecord& b) {
            if (a.NumberOfRouteOrTrack != b.NumberOfRouteOrTrack) return a.NumberOfRouteOrTrack < b.NumberOfRouteOrTrack;
            return a.NumberOfPoint < b.NumberOfPoint;
        });
        load(input);
        sortPointTable();
        ASSERT_EQ(pointTable.count, n);
        for (int k = 0; k < n; ++k)
            ASSERT_EQ(std::memcmp(&pointTable.records[k], &expected[k], sizeof(PointRecord)), 0)
                << "round " << round << " place " << k;
    }
}

TEST(Sort, ObjectsSharingANumberStayApart) {
    // Two unnamed tracks numbered 1 and a track 2: the second track 1 keeps
    // its points together after the first and takes the next free number.
    load({keyed(1, 1, 10, true), keyed(1, 2, 11), keyed(1, 3, 12), keyed(2, 1, 30, true), keyed(2, 2, 31),
          keyed(1, 1, 20, true), keyed(1, 2, 21)});
    sortPointTable();
    EXPECT_EQ(order(), (Order{"10:1", "11:1", "12:1", "20:3", "21:3", "30:2", "31:2"}));

    // Named apart they keep their number.
    load({keyed(1, 1, 10, true, "MORGEN"), keyed(1, 2, 11, false, "MORGEN"), keyed(1, 1, 20, true, "ABEND"),
          keyed(1, 2, 21, false, "ABEND")});
    sortPointTable();
    EXPECT_EQ(order(), (Order{"10:1", "11:1", "20:1", "21:1"}));

    // A further segment numbered on belongs to its track, and so does the
    // segment after it; the next track numbered alike does not.
    load({keyed(1, 1, 10, true), keyed(1, 2, 11), keyed(1, 3, 12, true), keyed(1, 1, 20, true), keyed(1, 2, 21),
          keyed(1, 3, 22, true), keyed(1, 4, 23)});
    sortPointTable();
    EXPECT_EQ(order(), (Order{"10:1", "11:1", "12:1", "20:2", "21:2", "22:2", "23:2"}));
}

// Points of a point-object file, a route's points spread over the file,
// come together in the order of their numbers; repeated keys of one run keep
// their order and stay repeated.
TEST(Sort, PointsOfARouteSpreadOverTheFileComeTogether) {
    load({keyed(1, 3, 10, true), keyed(1, 1, 11), keyed(2, 1, 20, true), keyed(1, 2, 12, true)});
    sortPointTable();
    EXPECT_EQ(order(), (Order{"11:1", "12:1", "10:1", "20:2"}));

    load({keyed(0, 1, 1, true), keyed(0, 0, 2), keyed(0, 1, 3), keyed(0, 0, 4)});
    sortPointTable();
    EXPECT_EQ(order(), (Order{"2:0", "4:0", "1:0", "3:0"}));
}
