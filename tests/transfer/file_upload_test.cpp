// Uploads of files other programs wrote and of data a user really has,
// checked on what the receiver simulator got.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "commands/command.h"
#include "tests/support/scripted_platform.h"
#include "tests/transfer/sim_session.h"
#include "tests/transfer/transfer_helpers.h"
#include "model/point_table.h"

namespace {

std::vector<size_t> trackSizes(const SimUploadLog& log) {
    std::vector<size_t> sizes;
    for (const SimTrack& t : log.tracks) sizes.push_back(t.points.size());
    return sizes;
}

const char kGpx[] =
    "<?xml version=\"1.0\"?>\n"
    "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    "<wpt lat=\"50.1\" lon=\"7.1\"><name>Kirche</name></wpt>\n"
    "<wpt lat=\"50.2\" lon=\"7.2\"><name>Brunnen</name></wpt>\n"
    "<trk><name>Morgen</name>\n"
    "<trkseg><trkpt lat=\"50.0\" lon=\"7.0\"/><trkpt lat=\"50.01\" lon=\"7.01\"/><trkpt lat=\"50.02\" lon=\"7.02\"/>"
    "</trkseg>\n"
    "<trkseg><trkpt lat=\"50.1\" lon=\"7.1\"/><trkpt lat=\"50.11\" lon=\"7.11\"/></trkseg></trk>\n"
    "<trk><name>Abend</name><trkseg>"
    "<trkpt lat=\"51.0\" lon=\"8.0\"/><trkpt lat=\"51.01\" lon=\"8.01\"/><trkpt lat=\"51.02\" lon=\"8.02\"/>"
    "<trkpt lat=\"51.03\" lon=\"8.03\"/><trkpt lat=\"51.04\" lon=\"8.04\"/><trkpt lat=\"51.05\" lon=\"8.05\"/>"
    "</trkseg></trk>\n"
    "</gpx>\n";

TEST(FileUpload, Ogr2ogrMifOfGpxTracksAndWaypointsUploadsEveryPoint) {
    if (!toolInstalled("ogr2ogr")) GTEST_SKIP() << "ogr2ogr not installed";
    const std::string gpx = tempFile("tour.gpx");
    writeFile(gpx, kGpx);
    const std::string tracks = tempFile("tracks.mif"), waypoints = tempFile("waypoints.mif");
    for (const auto& [mif, layer] : {std::pair{tracks, "tracks"}, std::pair{waypoints, "waypoints"}}) {
        const std::string command =
            "ogr2ogr -f 'MapInfo File' -dsco FORMAT=MIF '" + mif + "' '" + gpx + "' " + layer + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    SimSession target("etrex", SimLink::Usb);  // D301 track points keep their segment mark
    target.sim->usbInterruptOnly = true;
    target.start();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(tracks);
        ui.queueYesNo(true);  // separate track logs
        runCommand(UploadTracks, target.port, MapInfoMif, LineObjects);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Übertragung erfolgreich beendet (0011 Punkte)."});
    }
    SimUploadLog log = target.sim->uploadLog();
    ASSERT_EQ(trackSizes(log), (std::vector<size_t>{5, 6}));
    EXPECT_EQ(log.tracks[0].name, "MORGEN");
    EXPECT_EQ(log.tracks[1].name, "ABEND");
    EXPECT_TRUE(log.tracks[0].points[3].newSegment);  // the second section
    EXPECT_NEAR(log.tracks[0].points[4].lat, 50.11, 1e-6);
    EXPECT_NEAR(log.tracks[1].points[5].lon, 8.05, 1e-6);
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(waypoints);
        ui.queueYesNo(false);  // no routes
        runCommand(UploadWaypoints, target.port, MapInfoMif, PointObjects);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Übertragung erfolgreich beendet (0002 Punkte)."});
    }
    target.stop();
    log = target.sim->uploadLog();
    ASSERT_EQ(log.waypoints.size(), 2u);
    EXPECT_EQ(log.waypoints[0].name, "KIRCHE");
    EXPECT_NEAR(log.waypoints[1].lat, 50.2, 1e-6);
}

// A MIF of point objects with the given "Point" coordinates and names.
std::string pointMif(const std::string& name, const std::vector<std::pair<std::string, std::string>>& points,
                     bool coordSys = true) {
    std::string mif = std::string("Version 300\nDelimiter \",\"\n") +
                      (coordSys ? "CoordSys Earth Projection 1, 104\n" : "") +
                      "Columns 1\n  NameOfPoint Char(50)\nData\n\n";
    std::string mid;
    for (const auto& [position, pointName] : points) {
        mif += "Point " + position + "\n";
        mid += "\"" + pointName + "\"\n";
    }
    const std::string path = tempFile(name);
    writeFile(path, mif);
    writeFile(path.substr(0, path.size() - 1) + "d", mid);
    return path;
}

TEST(FileUpload, PositionsOutsideTheGlobeAreLeftOutAndAFileWithoutAnyIsRefused) {
    const std::string mixed =
        pointMif("mixed.mif",
                 {{"7 95", "NORD"}, {"200 50", "OST"}, {"nan nan", "NAN"}, {"-180 -90", "ECKE"}, {"7.5 50.5", "HAUS"}});
    // Gauss-Krueger coordinates in a file without CoordSys line.
    const std::string projected =
        pointMif("projected.mif", {{"3500000 5500000", "GK1"}, {"3501000 5501000", "GK2"}}, false);

    SimSession target("d110", SimLink::Usb);
    target.sim->usbInterruptOnly = true;
    target.start();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(mixed);
        ui.queueYesNo(false);
        runCommand(UploadWaypoints, target.port, MapInfoMif, PointObjects);
        EXPECT_EQ(ui.boxTexts(),
                  (std::vector<std::string>{"3 der eingelesenen Punkte ohne gültige \nPositionsdaten (Breite -90 "
                                            "bis 90 Grad, \nLänge -180 bis 180 Grad) werden ausgelassen.",
                                            "Übertragung erfolgreich beendet (0002 Punkte)."}));
    }
    SimUploadLog log = target.sim->uploadLog();
    ASSERT_EQ(log.waypoints.size(), 2u);
    EXPECT_EQ(log.waypoints[0].name, "ECKE");
    EXPECT_NEAR(log.waypoints[0].lat, -90.0, 1e-6);
    EXPECT_NEAR(log.waypoints[0].lon, -180.0, 1e-6);
    EXPECT_EQ(log.waypoints[1].name, "HAUS");
    const size_t packetsBefore = log.packets.size();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(projected);
        runCommand(UploadWaypoints, target.port, MapInfoMif, PointObjects);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Keiner der eingelesenen Punkte hat gültige \n"
                                                          "Positionsdaten (Breite -90 bis 90 Grad, \n"
                                                          "Länge -180 bis 180 Grad)."});
        EXPECT_FALSE(ui.answersLeft());
    }
    target.stop();
    log = target.sim->uploadLog();
    EXPECT_EQ(log.packets.size(), packetsBefore);
    EXPECT_EQ(log.transfers, 1);
}

TEST(FileUpload, NamesAreMadeUniqueAsTheReceiverKeepsThem) {
    const std::string file =
        pointMif("names.mif", {{"7 50", "KIRCHTURM"}, {"7.1 50.1", "KIRCHTURM1"}, {"7.2 50.2", "KIRCHTURM2"}});
    SimSession target("d100", SimLink::Usb);
    target.sim->usbInterruptOnly = true;
    target.start();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(file);
        ui.queueYesNo(false);
        runCommand(UploadWaypoints, target.port, MapInfoMif, PointObjects);
        EXPECT_EQ(ui.boxTexts(),
                  (std::vector<std::string>{
                      "Übertragung erfolgreich beendet (0003 Punkte).",
                      "Wegpunktnamen geändert wegen mehrfachem Vorkommen gleicher Bezeichnungen in Input-Datei."}));
    }
    target.stop();
    // The identifiers as they went over the link: D103's fixed six bytes.
    std::vector<std::string> sent;
    for (const SimPacket& packet : target.sim->uploadLog().packets)
        if (packet.id == 35 && packet.data.size() >= 6) sent.emplace_back(packet.data.begin(), packet.data.begin() + 6);
    EXPECT_EQ(sent, (std::vector<std::string>{"KIRCHT", "KIRC01", "KIRC02"}));
}

// Names as a GPX file from a newer unit has them: the receiver of the
// binary protocol gets them spelled in its character set, unique as it keeps
// them (six characters in D102), and the symbols by Garmin's numbers.
TEST(FileUpload, NamesAreSpelledForTheReceiverAndSymbolsGoByNumber) {
    const std::string file = tempFile("unit.gpx");
    writeFile(file,
              "<gpx version=\"1.1\" creator=\"unit\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"48.1\" lon=\"11.5\"><name>M\xC3\xBCnchner Haus</name><sym>Summit</sym></wpt>\n"
              "<wpt lat=\"48.2\" lon=\"11.6\"><name>M\xC3\xBCller 1</name><sym>flag, blue</sym></wpt>\n"
              "<wpt lat=\"48.3\" lon=\"11.7\"><name>MUELLER 2</name><sym>Restaurant</sym></wpt>\n"
              "<wpt lat=\"48.4\" lon=\"11.8\"><name>Oc\xC3\xA9" "an/mer</name><sym>Mein Symbol</sym></wpt>\n"
              "</gpx>\n");
    SimSession target("d102", SimLink::Usb);
    target.sim->usbInterruptOnly = true;
    target.start();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(file);
        ui.queueYesNo(false);
        runCommand(UploadWaypoints, target.port, Gpx, PointObjects);
        EXPECT_EQ(ui.boxTexts(),
                  (std::vector<std::string>{
                      "1 Punkt hat einen unbekannten Symbolnamen und erhält das Standardsymbol.",
                      "Übertragung erfolgreich beendet (0004 Punkte).",
                      "3 Namen oder Kommentare für das GPS-Gerät umgeschrieben (Umlaute und Akzente ausgeschrieben, "
                      "andere Zeichen ersetzt).",
                      "Wegpunktnamen geändert wegen mehrfachem Vorkommen gleicher Bezeichnungen in Input-Datei."}));
    }
    target.stop();
    std::vector<std::string> sent;
    std::vector<int> symbols;
    for (const SimPacket& packet : target.sim->uploadLog().packets)
        if (packet.id == 35 && packet.data.size() >= 64) {
            sent.emplace_back(packet.data.begin(), packet.data.begin() + 6);
            symbols.push_back(packet.data[62] | packet.data[63] << 8);
        }
    EXPECT_EQ(sent, (std::vector<std::string>{"MUENCH", "MUELLE", "MUEL01", "OCEAN-"}));
    EXPECT_EQ(symbols, (std::vector<int>{8246, 8284, 11, 178}));
}

}  // namespace
