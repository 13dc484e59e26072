// The fast sortPointTable against the literal exchange sort.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "reference_algorithms.h"
#include "model/point_table.h"

namespace {

PointRecord keyed(int route, int point, int tag) {
    PointRecord r{};
    r.NumberOfRouteOrTrack = route;
    r.NumberOfPoint = point;
    r.Time = tag;  // identifies the record
    snprintf(r.NameOfPoint, sizeof r.NameOfPoint, "P%d", tag);
    return r;
}

// Loads the table, sorts it both ways and compares the record order.
::testing::AssertionResult sortsLikeReference(const std::vector<PointRecord>& input) {
    static std::vector<PointRecord> expected;
    expected = input;
    referenceSort(expected.data(), static_cast<int>(expected.size()));
    pointTable.reset();
    for (const PointRecord& r : input) pointTable.records[pointTable.count++] = r;
    sortPointTable();
    if (pointTable.count != static_cast<int>(input.size())) return ::testing::AssertionFailure() << "count changed";
    for (size_t k = 0; k < input.size(); ++k) {
        if (pointTable.records[k].Time != expected[k].Time) {
            auto failure = ::testing::AssertionFailure() << "place " << k << " differs; input keys:";
            for (size_t m = 0; m < input.size() && m < 40; ++m)
                failure << " " << input[m].NumberOfRouteOrTrack << "/" << input[m].NumberOfPoint;
            return failure;
        }
        if (std::memcmp(&pointTable.records[k], &expected[k], sizeof(PointRecord)) != 0)
            return ::testing::AssertionFailure() << "record at place " << k << " not copied whole";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(SortDifferential, AllSmallArraysWithFewKeys) {
    // Every array of length up to 10 over 3 keys, up to 8 over 4 and up to 6 over 6.
    struct Range {
        int maxLength;
        int keys;
    };
    for (Range range : {Range{10, 3}, Range{8, 4}, Range{6, 6}}) {
        for (int length = 0; length <= range.maxLength; ++length) {
            std::vector<int> digits(length, 0);
            for (;;) {
                std::vector<PointRecord> input;
                for (int k = 0; k < length; ++k) input.push_back(keyed(digits[k] / 2, digits[k] % 2, k));
                ASSERT_TRUE(sortsLikeReference(input));
                int k = 0;
                while (k < length && ++digits[k] == range.keys) digits[k++] = 0;
                if (k == length) break;
            }
        }
    }
}

TEST(SortDifferential, RandomTablesWithManyEqualKeys) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(random() % 400);
        const int routes = 1 + static_cast<int>(random() % 6);
        const int points = 1 + static_cast<int>(random() % 8);
        std::vector<PointRecord> input;
        for (int k = 0; k < n; ++k) {
            input.push_back(keyed(static_cast<int>(random() % routes) - 1, static_cast<int>(random() % points) - 2, k));
        }
        ASSERT_TRUE(sortsLikeReference(input)) << "round " << round;
    }
}

TEST(SortDifferential, StructuredTables) {
    std::vector<PointRecord> input;
    // Reverse order with repeated keys.
    for (int k = 0; k < 600; ++k) input.push_back(keyed(0, (600 - k) / 3, k));
    EXPECT_TRUE(sortsLikeReference(input));
    // All keys equal: the order stays.
    input.clear();
    for (int k = 0; k < 300; ++k) input.push_back(keyed(5, 5, k));
    EXPECT_TRUE(sortsLikeReference(input));
    // Already sorted, with duplicates.
    input.clear();
    for (int k = 0; k < 300; ++k) input.push_back(keyed(k / 50, k / 7, k));
    EXPECT_TRUE(sortsLikeReference(input));
    // Alternating big and small keys, interleaved runs.
    input.clear();
    for (int k = 0; k < 500; ++k) input.push_back(keyed(0, (k % 3 == 0) ? 9 : (k % 7), k));
    EXPECT_TRUE(sortsLikeReference(input));
    // Extreme key values (signed comparison).
    input.clear();
    const int extremes[] = {INT32_MAX, INT32_MIN, 0, -1, 1, INT32_MAX, INT32_MIN};
    int tag = 0;
    for (int a : extremes)
        for (int b : extremes) input.push_back(keyed(a, b, tag++));
    EXPECT_TRUE(sortsLikeReference(input));
}

TEST(SortDifferential, LargeRandomTable) {
    std::mt19937 random(77);
    std::vector<PointRecord> input;
    for (int k = 0; k < 3000; ++k)
        input.push_back(keyed(static_cast<int>(random() % 4), static_cast<int>(random() % 30), k));
    EXPECT_TRUE(sortsLikeReference(input));
}
