// A full table of points that the program wrote reads back in every file
// type and object kind; one more object after a full table is refused
// without a write beyond the table.

#include "format_test_util.h"
#include "formats/gpx.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "tests/support/scripted_platform.h"

namespace {

class FullTableTest : public FormatTest {
  protected:
    ScriptedPlatform ui;
};

TEST_F(FullTableTest, WrittenFilesOfAFullTableReadBack) {
    for (FileKind fileKind : {MapInfoMif, OvlAscii, OvlBinary})
        for (int objectKind : {PointObjects, LineObjects}) {
            SCOPED_TRACE("file kind " + std::to_string(static_cast<int>(fileKind)) + ", object kind " +
                         std::to_string(objectKind));
            pointTable.reset();
            for (int i = 0; i < kMaxPoints; i++)
                pointTable.records[pointTable.count++] =
                    makePoint({.lat = 50.0, .lon = 7.0 + i * 1e-5, .newSegment = i % 1000 == 0});
            countLinePoints(objectKind);
            const std::string name = dir.file(fileKind == MapInfoMif ? "full.mif" : "full.ovl");
            int written = 0, read = 0;
            bool numbers = false, names = false;
            int separate = 0, kindFound = 0;
            ui.clearEvents();
            switch (fileKind) {
            case MapInfoMif:
                written = writeMifFile(name.c_str(), objectKind);
                read = readMifFile(name.c_str(), TransferKind::Tracks, numbers, names);
                break;
            case OvlAscii:
                written = writeOvlAsciiFile(name.c_str(), objectKind);
                read = readOvlAsciiFile(name.c_str(), TransferKind::Tracks, separate, false);
                break;
            default:
                written = writeOvlBinaryFile(name.c_str(), objectKind);
                read = readOvlBinaryFile(name.c_str(), TransferKind::Tracks, kindFound, numbers, names);
            }
            ASSERT_EQ(written, 1);
            EXPECT_EQ(read, 1);
            EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{});
            EXPECT_EQ(pointTable.count, kMaxPoints);
            EXPECT_DOUBLE_EQ(pointTable.records[kMaxPoints - 1].Longitude, 7.0 + (kMaxPoints - 1) * 1e-5);
        }
}

const char kMsgCapacity[] = "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.";

TEST_F(FullTableTest, MifObjectAfterAFullTable) {
    std::string mifText =
        "Version 300\nDelimiter \",\"\nCoordSys Earth Projection 1, 104\nColumns 1\n  Name Char(10)\nData\n";
    std::string midText;
    for (int i = 0; i < kMaxPoints; i++) {
        mifText += "Point 1 2\n";
        midText += "\"\"\n";
    }
    const std::string mif = dir.file("full.mif");
    bool numbers = false, names = false;
    const struct {
        const char* object;
        int result;
    } cases[] = {{"Pline 0\n", 1},
                 {"Pline 1\n3 4\n", 0},
                 {"Line 3 4 5 6\n", 0},
                 {"Pline Multiple 2\n  0\n  1\n3 4\n", 0},
                 {"Point 3 4\n", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.object);
        writeFile(mif, mifText + c.object);
        writeFile(dir.file("full.mid"), midText + "\"x\"\n");
        ui.clearEvents();
        EXPECT_EQ(readMifFile(mif.c_str(), TransferKind::Tracks, numbers, names), c.result);
        EXPECT_EQ(pointTable.count, kMaxPoints);
        EXPECT_EQ(ui.boxTexts(), c.result ? std::vector<std::string>{} : std::vector<std::string>{kMsgCapacity});
    }
}

TEST_F(FullTableTest, GpxObjectAfterAFullTable) {
    std::string points, waypoints;
    for (int i = 0; i < kMaxPoints; i++) {
        points += "<trkpt lat=\"1\" lon=\"2\"/>";
        waypoints += "<wpt lat=\"1\" lon=\"2\"/>";
    }
    const std::string full = "<gpx><trk><trkseg>" + points + "</trkseg>";
    const std::string gpx = dir.file("full.gpx");
    bool numbers = false, names = false;
    const struct {
        std::string text;
        int transferKind;
        int result;
    } cases[] = {
        {full + "<trkseg/></trk><trk><trkseg/></trk></gpx>", 6, 1},
        {full + "<trkseg><trkpt lat=\"3\" lon=\"4\"/></trkseg></trk></gpx>", 6, 0},
        {full + "</trk><trk><trkseg><trkpt lat=\"3\" lon=\"4\"><name>x</name></trkpt></trkseg></trk></gpx>", 6, 0},
        // Waypoints are taken for a waypoint upload, the track is not.
        {"<gpx>" + waypoints + "<trk><trkseg><trkpt lat=\"3\" lon=\"4\"/></trkseg></trk><rte/></gpx>", 7, 1},
        {"<gpx>" + waypoints + "<rte><rtept lat=\"3\" lon=\"4\"/></rte></gpx>", 7, 0},
        {"<gpx>" + waypoints + "<wpt lat=\"3\" lon=\"4\"><name>x</name></wpt></gpx>", 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(c.text.size() - 90));
        writeFile(gpx, c.text);
        ui.clearEvents();
        EXPECT_EQ(readGpxFile(gpx.c_str(), TransferKind(c.transferKind), numbers, names), c.result);
        EXPECT_EQ(pointTable.count, kMaxPoints);
        // The track left out of a waypoint upload is counted.
        std::vector<std::string> boxes{kMsgCapacity};
        if (c.result) boxes.clear();
        if (c.result && c.transferKind == 7)
            boxes = {"1 Punkt aus Tracks der GPX-Datei wird ausgelassen \n(gelesen werden hier nur Wegpunkte und Routen)."};
        EXPECT_EQ(ui.boxTexts(), boxes);
    }
    // Appending to a full table, as the drive download does.
    writeFile(gpx, "<gpx><wpt lat=\"3\" lon=\"4\"/></gpx>");
    ui.clearEvents();
    EXPECT_EQ(appendGpxObjects(gpx.c_str(), true, false, false, "voll"), 0);
    EXPECT_EQ(pointTable.count, kMaxPoints);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"voll"});
}

}  // namespace
