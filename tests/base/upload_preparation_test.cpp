// Names and split of a waypoint upload in route mode, against the literal
// algorithms, record for record (the split against a reference written from
// its documented steps, not the function under test; the sort between them
// is the program's own, tested on its own).

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/settings.h"
#include "reference_algorithms.h"
#include "tests/support/scripted_platform.h"
#include "model/splitting.h"

namespace {

std::vector<PointRecord> randomTable(std::mt19937& random, int n) {
    const char* names[] = {"", "HAUS", "HAUS01", "KIRCHTURM", "AB", "KB0001", " X ", "HA0001"};
    const char* routes[] = {"", "WALK", "ACTIVE LOG", "R"};
    std::vector<PointRecord> table;
    for (int k = 0; k < n; ++k) {
        PointRecord r{};
        r.NumberOfRouteOrTrack = static_cast<int>(random() % 4);
        r.NumberOfPoint = static_cast<int>(random() % 12);
        copyName(r.NameOfPoint, names[random() % 8]);
        copyName(r.NameOfRouteOrTrack, routes[random() % 4]);
        r.NewSegment = static_cast<int>(random() % 2);
        r.Time = k;
        table.push_back(r);
    }
    return table;
}

void load(const std::vector<PointRecord>& table) {
    pointTable.reset();
    for (const PointRecord& r : table) pointTable.records[pointTable.count++] = r;
}

}  // namespace

TEST(UploadPreparationDifferential, RandomTables) {
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
        const int n = 1 + static_cast<int>(random() % 500);
        const std::vector<PointRecord> input = randomTable(random, n);
        settings = Settings{};
        settings.maxRoutePoints = 1 + static_cast<int>(random() % 40);

        std::vector<PointRecord> expected;
        int expectedResult;
        std::vector<std::string> expectedBoxes;
        bool expectedChanged;
        {
            ScriptedPlatform ui;
            ui.queueInitials("KB");
            NamingState naming;
            load(input);
            referenceMakePointNamesUnique(naming);
            sortPointTable();
            expectedResult = referenceSplit(settings.maxRoutePoints);
            expected.assign(pointTable.records, pointTable.records + pointTable.count);
            expectedBoxes = ui.boxTexts();
            if (expectedResult)
                expectedBoxes.push_back(
                    "Die Zahl von Punkten in Routen oder Track-Auf- \nzeichnungen hat den Maximalwert "
                    "überschritten! \n(Vergleiche 'Einstellungen') Daher wurden die \nbetreffenden Routen oder "
                    "Track-Aufzeichnungen \naufgeteilt und neu durchnummeriert. ");
            expectedChanged = naming.namesChanged;
            ui.answers_.clear();
        }
        ScriptedPlatform ui;
        ui.queueInitials("KB");
        NamingState naming;
        load(input);
        makePointNamesUnique(naming);
        sortPointTable();
        EXPECT_EQ(splitRoutesAndTracks(TransferKind::Waypoints, false), expectedResult);
        ASSERT_EQ(pointTable.count, static_cast<int>(expected.size()));
        for (int k = 0; k < pointTable.count; ++k) {
            ASSERT_EQ(std::memcmp(&pointTable.records[k], &expected[k], sizeof(PointRecord)), 0)
                << "round " << round << " place " << k;
        }
        EXPECT_EQ(ui.boxTexts(), expectedBoxes);
        EXPECT_EQ(naming.namesChanged, expectedChanged);
        ui.answers_.clear();
    }
}
