#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "tests/support/scripted_platform.h"
#include "model/point_table.h"
#include "model/splitting.h"

namespace {

const char kLimitText[] =
    "Die Zahl von Punkten in Routen oder Track-Auf- \nzeichnungen hat den Maximalwert überschritten! \n"
    "(Vergleiche 'Einstellungen') Daher wurden die \nbetreffenden Routen oder Track-Aufzeichnungen \n"
    "aufgeteilt und neu durchnummeriert. ";

void appendGroup(int number, const std::string& name, int points) {
    for (int k = 1; k <= points; ++k) {
        PointRecord& r = pointTable.records[pointTable.count++];
        r = PointRecord{};
        r.NumberOfRouteOrTrack = number;
        r.NumberOfPoint = k;
        copyName(r.NameOfRouteOrTrack, name.c_str());
        r.NewSegment = k == 1 ? 1 : 0;
    }
}

struct Group {
    int number;
    std::string name;
    int points;
    int firstNewSegment;
};

// The groups of the table by the group rule, and a check of the point numbers.
std::vector<Group> groups() {
    std::vector<Group> result;
    for (int i = 0; i < pointTable.count; ++i) {
        const PointRecord& r = pointTable.records[i];
        if (result.empty() || startsNewGroup(r.NumberOfRouteOrTrack, r.NameOfRouteOrTrack, result.back().number,
                                             result.back().name.c_str())) {
            result.push_back({r.NumberOfRouteOrTrack, r.NameOfRouteOrTrack, 0, r.NewSegment});
        }
        ++result.back().points;
        EXPECT_EQ(r.NumberOfPoint, result.back().points) << "record " << i;
    }
    return result;
}

class Splitting : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        pointTable.reset();
    }
    ScriptedPlatform ui;
};

}  // namespace

TEST(GroupRule, NumberAndNonEmptyNameDecide) {
    EXPECT_FALSE(startsNewGroup(1, "", 1, "WALK"));
    EXPECT_FALSE(startsNewGroup(1, "WALK", 1, "WALK"));
    EXPECT_TRUE(startsNewGroup(1, "walk", 1, "WALK"));
    EXPECT_TRUE(startsNewGroup(2, "", 1, ""));
    EXPECT_TRUE(startsNewGroup(2, "WALK", 1, "WALK"));
    EXPECT_TRUE(startsNewGroup(1, "A", 1, ""));
}

TEST_F(Splitting, CountsGroups) {
    EXPECT_EQ(countRouteOrTrackGroups(), 0);
    appendGroup(1, "A", 3);
    EXPECT_EQ(countRouteOrTrackGroups(), 1);
    appendGroup(1, "", 2);  // same number, no name: same group
    EXPECT_EQ(countRouteOrTrackGroups(), 1);
    appendGroup(1, "B", 2);
    appendGroup(2, "", 1);
    appendGroup(2, "C", 1);
    EXPECT_EQ(countRouteOrTrackGroups(), 4);
}

TEST_F(Splitting, WalkOf600PointsBecomesThreeRoutes) {
    appendGroup(1, "WALK", 600);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), 1);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].number, 1);
    EXPECT_EQ(g[0].name, "WALK");
    EXPECT_EQ(g[0].points, 250);
    EXPECT_EQ(g[1].number, 2);
    EXPECT_EQ(g[1].name, "WALK_B");
    EXPECT_EQ(g[1].points, 250);
    EXPECT_EQ(g[1].firstNewSegment, 1);
    EXPECT_EQ(g[2].number, 3);
    EXPECT_EQ(g[2].name, "WALK_C");
    EXPECT_EQ(g[2].points, 100);
    EXPECT_EQ(g[2].firstNewSegment, 1);
    EXPECT_EQ(pointTable.records[251].NewSegment, 0);
    EXPECT_EQ(countRouteOrTrackGroups(), 3);
    auto boxes = ui.eventsOf(ScriptedEvent::Box);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->title, "Wegmate -- Grenzwertüberschreitung");
    EXPECT_EQ(boxes[0]->text, kLimitText);
    EXPECT_EQ(boxes[0]->icon, BoxIcon::Information);
}

TEST_F(Splitting, ActiveLogPartsAreNamedActlg) {
    settings.maxTrackPoints = 100;
    appendGroup(1, "ACTIVE LOG", 250);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Tracks, false), 1);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].name, "ACTIVE LOG");
    EXPECT_EQ(g[1].name, "ACTLG_B");
    EXPECT_EQ(g[2].name, "ACTLG_C");
    EXPECT_EQ(g[2].points, 50);
}

TEST_F(Splitting, TrackLimitAppliesOnlyToTracks) {
    settings.maxRoutePoints = 10;
    settings.maxTrackPoints = 1000;
    appendGroup(1, "T", 500);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Tracks, false), 0);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, true), 1);
    EXPECT_EQ(pointTable.records[499].NumberOfPoint, 500);  // untouched by the check
    EXPECT_TRUE(ui.events().empty());
}

TEST_F(Splitting, NameOf49CharactersGetsItsLastTwoReplaced) {
    const std::string name(49, 'N');
    appendGroup(1, name, 251 + 250);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), 1);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].name, name);
    EXPECT_EQ(g[1].name, std::string(47, 'N') + "_B");
    EXPECT_EQ(g[2].name, std::string(47, 'N') + "_C");
    EXPECT_EQ(g[2].points, 1);
}

TEST_F(Splitting, NameOf48CharactersGetsTheSuffixAppended) {
    const std::string name(48, 'M');
    appendGroup(1, name, 300);
    splitRoutesAndTracks(TransferKind::Waypoints, false);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[1].name, name + "_B");
}

TEST_F(Splitting, PartsAfterZKeepDistinctNamesOfCapitals) {
    settings.maxRoutePoints = 1;
    appendGroup(1, "W", 800);
    appendGroup(2, std::string(50, 'L'), 800);
    splitRoutesAndTracks(TransferKind::Waypoints, false);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 1600u);
    EXPECT_EQ(g[25].name, "W_Z");
    EXPECT_EQ(g[26].name, "W_AA");
    EXPECT_EQ(g[27].name, "W_AB");
    EXPECT_EQ(g[701].name, "W_ZZ");
    EXPECT_EQ(g[702].name, "W_AAA");
    EXPECT_EQ(g[800 + 702].name, std::string(46, 'L') + "_AAA");
    std::set<std::string> names;
    for (const Group& group : g) {
        names.insert(group.name);
        EXPECT_LE(group.name.size(), 50u);
        for (char c : group.name) EXPECT_TRUE((c >= 'A' && c <= 'Z') || c == '_') << group.name;
    }
    EXPECT_EQ(names.size(), g.size());
}

TEST_F(Splitting, AllGroupsAreRenumbered) {
    appendGroup(4, "", 100);
    appendGroup(9, "", 300);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), 1);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].number, 1);
    EXPECT_EQ(g[0].points, 100);
    EXPECT_EQ(g[1].number, 2);
    EXPECT_EQ(g[1].points, 250);
    EXPECT_EQ(g[2].number, 3);
    EXPECT_EQ(g[2].points, 50);
    // Unnamed parts stay unnamed and differ only by number.
    EXPECT_EQ(g[1].name, "");
    EXPECT_EQ(g[2].name, "");
    EXPECT_EQ(g[2].firstNewSegment, 1);
}

TEST_F(Splitting, NoGroupAboveTheLimitLeavesTheTable) {
    appendGroup(4, "A", 250);
    appendGroup(9, "B", 10);
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), 0);
    EXPECT_EQ(pointTable.records[0].NumberOfRouteOrTrack, 4);
    EXPECT_EQ(pointTable.records[250].NumberOfRouteOrTrack, 9);
    EXPECT_TRUE(ui.events().empty());
    pointTable.reset();
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), 0);
}

TEST_F(Splitting, RecordsWithoutNameJoinTheirGroupsName) {
    settings.maxRoutePoints = 2;
    appendGroup(1, "R", 1);
    appendGroup(1, "", 2);  // same number, empty name
    EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), 1);
    const std::vector<Group> g = groups();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].name, "R");
    EXPECT_EQ(g[0].points, 2);
    EXPECT_EQ(g[1].name, "R_B");
    EXPECT_EQ(g[1].points, 1);
}

TEST_F(Splitting, RouteTrackIdDialogNumberMode) {
    char buffer[64] = "01";
    ui.queueRouteTrackId(true, "-5");  // refused: the dialog stays open
    ui.queueRouteTrackId(true, "7");
    EXPECT_EQ(runRouteTrackNameDialog(buffer), 1);
    EXPECT_STREQ(buffer, "7");
    EXPECT_EQ(ui.boxTexts(),
              std::vector<std::string>{"Als Eingabe wird hier eine Nummer \naus dem Bereich 0 - 999 \nerwartet!"});
    auto dialogs = ui.eventsOf(ScriptedEvent::RouteTrackIdDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->title, " Wegmate -- Routen-/Track-ID");
    EXPECT_EQ(dialogs[0]->text,
              "Sofern Ihr GPS-Gerät mehrere Routen/Tracks speichern kann, können Sie hier eine Nummer eingeben, "
              "unter der eine einzelne Route bzw. ein einzelner Track mit allen Daten der Eingabedatei im Gerät "
              "gespeichert werden soll. So kann gegebenenfalls das Überschreiben vorhandener Routen- oder "
              "Track-Daten vermieden werden.");
    EXPECT_EQ(dialogs[0]->number, 3);
    EXPECT_EQ(dialogs[0]->items, (std::vector<std::string>{"01", "narrow"}));
}

TEST_F(Splitting, RouteTrackIdDialogNameModeAndCancel) {
    char buffer[64] = "ROUTE";
    ui.queueRouteTrackId(true, std::string(60, 'R'));
    EXPECT_EQ(runRouteTrackNameDialog(buffer), 1);
    EXPECT_EQ(std::string(buffer), std::string(50, 'R'));
    auto dialogs = ui.eventsOf(ScriptedEvent::RouteTrackIdDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->text,
              "Sofern Ihr GPS-Gerät mehrere Routen/Tracks speichern kann, können Sie hier einen Namen eingeben, "
              "unter der eine einzelne Route bzw. ein einzelner Track mit allen Daten der Eingabedatei im Gerät "
              "gespeichert werden soll. So kann gegebenenfalls das Überschreiben vorhandener Routen- oder "
              "Track-Daten vermieden werden.");
    EXPECT_EQ(dialogs[0]->number, 50);
    EXPECT_EQ(dialogs[0]->items, (std::vector<std::string>{"ROUTE", "wide"}));

    char other[64] = "ACTIVE LOG";
    ui.queueRouteTrackId(false);
    EXPECT_EQ(runRouteTrackNameDialog(other), 0);
    EXPECT_STREQ(other, "");

    char empty[64] = "ROUTE";
    ui.queueRouteTrackId(true, "");
    EXPECT_EQ(runRouteTrackNameDialog(empty), 1);
    EXPECT_STREQ(empty, "");
}
