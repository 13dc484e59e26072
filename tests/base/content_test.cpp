// The items of a point table, as the content list shows them, and the
// choice of some of them.

#include <gtest/gtest.h>

#include <cmath>

#include "model/content.h"
#include "tests/support/test_support.h"

namespace {

// Two waypoints, then route 1 "HEIM" of three points, then route 2 "RUNDE"
// of two, the second starting without a segment flag: the group rule alone
// must end route 1.
void setWaypointsAndRoutes() {
    setTable({makePoint({.name = "HAUS", .lat = 50, .lon = 7, .time = 1000}),
              makePoint({.name = "KIRCHE", .lat = 51, .lon = 7}),
              makePoint({.route = 1, .routeName = "HEIM", .number = 1, .lat = 50, .lon = 7, .newSegment = 1}),
              makePoint({.route = 1, .routeName = "HEIM", .number = 2, .lat = 50.1, .lon = 7, .time = 77}),
              makePoint({.route = 1, .routeName = "HEIM", .number = 3, .lat = 999, .lon = 7}),
              makePoint({.route = 2, .routeName = "RUNDE", .number = 1, .lat = 48, .lon = 11}),
              makePoint({.route = 2, .routeName = "RUNDE", .number = 2, .lat = 48, .lon = 11.1})});
}

TEST(Content, ItemsFollowTheGroupRuleAndCountValidPointsAndLength) {
    setWaypointsAndRoutes();
    const std::vector<ContentItem> items = listContent(pointTable, TransferKind::Waypoints);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].kind, ItemKind::Waypoint);
    EXPECT_EQ(items[0].name, "HAUS");
    EXPECT_EQ(items[0].startTime, 1000);
    EXPECT_EQ(items[1].number, 2);
    EXPECT_EQ(items[2].kind, ItemKind::Route);
    EXPECT_EQ(items[2].name, "HEIM");
    EXPECT_EQ(items[2].recordCount, 3);
    EXPECT_EQ(items[2].pointCount, 2);  // the third has no valid position
    EXPECT_EQ(items[2].startTime, 77);
    EXPECT_NEAR(items[2].lengthKm, 11.12, 0.01);  // 0.1 degree of latitude
    EXPECT_EQ(items[3].firstRecord, 5);
    EXPECT_NEAR(items[3].lengthKm, 0.1 * 111.19 * std::cos(48 * M_PI / 180), 0.01);

    // Read as track logs, the same records without a route number form one
    // track instead of waypoints.
    EXPECT_EQ(listContent(pointTable, TransferKind::Tracks)[0].kind, ItemKind::Track);
}

TEST(Content, ASegmentGapIsNoDistance) {
    setTable({makePoint({.route = 1, .lat = 50, .lon = 7, .newSegment = 1}),
              makePoint({.route = 1, .lat = 50.1, .lon = 7}),
              makePoint({.route = 1, .lat = 60, .lon = 7, .newSegment = 1}),
              makePoint({.route = 1, .lat = 60.1, .lon = 7})});
    const std::vector<ContentItem> items = listContent(pointTable, TransferKind::Tracks);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_NEAR(items[0].lengthKm, 2 * 11.12, 0.02);
}

TEST(Content, ChosenItemsStayInOrderAndAnUnknownEntryIsNamed) {
    setWaypointsAndRoutes();
    const std::vector<ContentItem> items = listContent(pointTable, TransferKind::Waypoints);
    std::vector<bool> chosen;
    std::string error;
    ASSERT_TRUE(resolveSelection(items, "RUNDE, 1", chosen, error));
    EXPECT_EQ(keepChosenItems(pointTable, items, chosen), 3);
    EXPECT_STREQ(pointTable.records[0].NameOfPoint, "HAUS");
    EXPECT_STREQ(pointTable.records[1].NameOfRouteOrTrack, "RUNDE");
    EXPECT_EQ(pointTable.records[1].NewSegment, 1);
    EXPECT_EQ(pointTable.records[2].NumberOfPoint, 2);

    EXPECT_FALSE(resolveSelection(items, "2,9", chosen, error));
    EXPECT_EQ(error, "9");
    EXPECT_FALSE(resolveSelection(items, "0", chosen, error));
}

}  // namespace
