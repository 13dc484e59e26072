#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "model/point_table.h"
#include "tests/support/test_support.h"

TEST(PointTable, ValidPositionBounds) {
    EXPECT_TRUE(isValidPosition(makePoint({.lat = 90.0})));
    EXPECT_TRUE(isValidPosition(makePoint({.lat = -90.0})));
    EXPECT_TRUE(isValidPosition(makePoint({.lon = 180.0})));
    EXPECT_TRUE(isValidPosition(makePoint({.lon = -180.0})));
    EXPECT_FALSE(isValidPosition(makePoint({.lat = 90.0001})));
    EXPECT_FALSE(isValidPosition(makePoint({.lat = -90.0001})));
    EXPECT_FALSE(isValidPosition(makePoint({.lon = 180.0001})));
    EXPECT_FALSE(isValidPosition(makePoint({.lon = -180.0001})));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(isValidPosition(makePoint({.lat = nan})));
    EXPECT_FALSE(isValidPosition(makePoint({.lon = nan})));
    EXPECT_FALSE(isValidPosition(makePoint({.lon = std::numeric_limits<double>::infinity()})));
}

TEST(PointTable, NoAltitudeHasItsBitPattern) {
    uint32_t bits;
    std::memcpy(&bits, &kNoAltitude, sizeof bits);
    EXPECT_EQ(bits, 0x69045951u);
}

TEST(PointTable, CountLinePointsSinglePointLine) {
    pointTable.reset();
    pointTable.records[pointTable.count++] = makePoint({.lat = 50.0, .lon = 8.0, .newSegment = 1});
    LinePointResult lines = countLinePoints(LineObjects);
    EXPECT_EQ(lines.valid, 1);
    EXPECT_TRUE(lines.shortLine);
    EXPECT_EQ(pointTable.records[0].LinePointCount, 1);
    lines = countLinePoints(PointObjects);
    EXPECT_EQ(lines.valid, 1);
    EXPECT_FALSE(lines.shortLine);
}

TEST(PointTable, CountLinePointsSkipsInvalidRecordsAndTheirSegmentMarks) {
    pointTable.reset();
    pointTable.records[pointTable.count++] = makePoint({.lat = 50.0, .lon = 8.0, .newSegment = 1});
    pointTable.records[pointTable.count++] = makePoint({.lat = 50.1, .lon = 8.1});
    pointTable.records[pointTable.count++] =
        makePoint({.lat = 95.0, .lon = 8.2, .newSegment = 1, .linePointCount = -7});
    pointTable.records[pointTable.count++] = makePoint({.lat = 50.3, .lon = 8.3});
    LinePointResult lines = countLinePoints(LineObjects);
    EXPECT_EQ(lines.valid, 3);
    EXPECT_FALSE(lines.shortLine);
    EXPECT_EQ(pointTable.records[0].LinePointCount, 3);
    EXPECT_EQ(pointTable.records[1].LinePointCount, 2);
    EXPECT_EQ(pointTable.records[2].LinePointCount, -7);  // untouched
    EXPECT_EQ(pointTable.records[3].LinePointCount, 1);
}

TEST(PointTable, CountLinePointsSeveralLines) {
    pointTable.reset();
    const int marks[] = {1, 0, 0, 1, 1, 0};
    for (int m : marks) pointTable.records[pointTable.count++] = makePoint({.lat = 1.0, .lon = 2.0, .newSegment = m});
    LinePointResult lines = countLinePoints(LineObjects);
    EXPECT_EQ(lines.valid, 6);
    EXPECT_TRUE(lines.shortLine);  // the line of record 3 has one point
    const int expected[] = {3, 2, 1, 1, 2, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pointTable.records[i].LinePointCount, expected[i]) << i;
    pointTable.reset();
    EXPECT_EQ(pointTable.count, 0);
    lines = countLinePoints(LineObjects);
    EXPECT_EQ(lines.valid, 0);
    EXPECT_FALSE(lines.shortLine);
}

TEST(PointTable, CopyNameCutsAtFiftyCharacters) {
    char field[kNameSize];
    std::memset(field, 'x', sizeof field);
    copyName(field, "HAUS");
    EXPECT_STREQ(field, "HAUS");
    const std::string longName(70, 'N');
    copyName(field, longName.c_str());
    EXPECT_EQ(std::string(field), std::string(50, 'N'));
    copyName(field, nullptr);
    EXPECT_STREQ(field, "");
    copyName(field, "ABCDEF");
    copyName(field, field + 2);  // overlapping source
    EXPECT_STREQ(field, "CDEF");
}

TEST(PointTable, SortOrdersByRouteThenPointNumber) {
    pointTable.reset();
    const int keys[][2] = {{2, 1}, {1, 3}, {-1, 5}, {1, 1}, {2, -4}, {0, 0}};
    for (auto& k : keys) {
        PointRecord r = makePoint({});
        r.NumberOfRouteOrTrack = k[0];
        r.NumberOfPoint = k[1];
        pointTable.records[pointTable.count++] = r;
    }
    sortPointTable();
    const int expected[][2] = {{-1, 5}, {0, 0}, {1, 1}, {1, 3}, {2, -4}, {2, 1}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pointTable.records[i].NumberOfRouteOrTrack, expected[i][0]) << i;
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, expected[i][1]) << i;
    }
}

