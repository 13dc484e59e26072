// Receivers that appear as a drive: the device trees of tests/drive/trees
// (an eTrex 30 with InputToUnit Garmin/GPX and OutputFromUnit
// Garmin/GPX/Current, an older unit with InputOutput and no path, an SD card
// with a copy of the XML in other letter case, a Forerunner 920XT that knows
// only FIT, a fenix 3 with its GPX inbox), found through a mount table,
// downloaded and uploaded through the command driver and wegmate-cli, the
// uploads read back by gpsbabel and ogrinfo.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "commands/command.h"
#include "link/drive.h"
#include "model/point_table.h"
#include "platform/atomic_file.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kTrees = WEGMATE_SOURCE_DIR "/tests/drive/trees";

// A fresh copy of a tree below a directory of this test, whose name holds a
// blank (the mount table writes it as \040).
std::string copyTree(const std::string& tree, const std::string& as) {
    static const TempDir copies("drive");  // goes when the tests end
    const fs::path target = fs::path(copies.path) / as;
    fs::remove_all(target);
    fs::create_directories(target.parent_path());
    fs::copy(kTrees + "/" + tree, target, fs::copy_options::recursive);
    return target.string();
}

std::string escapeMount(const std::string& path) {
    std::string out;
    for (char c : path) out += c == ' ' ? std::string("\\040") : std::string(1, c);
    return out;
}

// Every entry below dir but those of the drive at skip, with what it holds:
// a file's bytes, a link's target.
std::map<std::string, std::string> entriesOutside(const std::string& dir, const std::string& skip) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().string();
        if (path == skip) it.disable_recursion_pending();
        if (path == skip) continue;
        const fs::file_status status = it->symlink_status();
        entries[path] = fs::is_symlink(status)        ? "-> " + fs::read_symlink(it->path()).string()
                        : fs::is_regular_file(status) ? readFile(path)
                                                      : "";
    }
    return entries;
}

std::vector<std::string> newUploads(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("Wegmate_", 0) == 0) files.push_back(entry.path().string());
    return files;
}

}  // namespace

TEST(DriveXml, FactsOfTheThreeTrees) {
    DriveDevice etrex;
    ASSERT_EQ(readGarminDevice(kTrees + "/etrex30", etrex), "");
    EXPECT_EQ(etrex.description, "eTrex 30");
    EXPECT_EQ(etrex.partNumber, "006-B1087-00");
    EXPECT_EQ(etrex.softwareVersion, "480");
    EXPECT_EQ(etrex.id, "3864721035");
    ASSERT_EQ(etrex.dataTypes.size(), 3u);
    EXPECT_EQ(etrex.dataTypes[1].name, "GPSData");
    EXPECT_EQ(etrex.dataTypes[1].path, "Garmin/GPX/Current");
    EXPECT_EQ(etrex.dataTypes[1].baseName, "Current");
    EXPECT_EQ(etrex.dataTypes[1].fileExtension, "GPX");
    EXPECT_EQ(etrex.dataTypes[1].direction, DriveDirection::OutputFromUnit);
    EXPECT_EQ(etrex.dataTypes[2].name, "FitnessHistory");
    EXPECT_EQ(driveInputLocation(etrex), "Garmin/GPX");
    const std::string text = driveDescriptionText(etrex);
    EXPECT_TRUE(contains(text, "Modell: eTrex 30\r\n")) << text;
    EXPECT_TRUE(contains(text, "GPSData  InputToUnit  Garmin/GPX  .GPX\r\n")) << text;

    // InputOutput without a path: the unit's GPX folder both ways.
    DriveDevice older;
    ASSERT_EQ(readGarminDevice(kTrees + "/older", older), "");
    EXPECT_EQ(older.description, "Colorado 300");
    EXPECT_EQ(older.dataTypes.at(0).direction, DriveDirection::InputOutput);
    EXPECT_EQ(driveInputLocation(older), "Garmin/GPX");

    // GARMIN/garmindevice.xml on a vfat SD card.
    DriveDevice card;
    ASSERT_EQ(readGarminDevice(kTrees + "/sdcard", card), "");
    EXPECT_EQ(card.description, "eTrex 30");
    EXPECT_EQ(drivePortLabel(card), "Garmin-Laufwerk (eTrex 30)");
}

// Watches that take and give only FIT files, and a fenix 3 that takes GPX
// through its inbox only.
TEST(DriveXml, WhatWatchesAndTheFenixTakeAndGive) {
    DriveDevice watch;
    ASSERT_EQ(readGarminDevice(kTrees + "/forerunner920xt", watch), "");
    const std::string text = driveDescriptionText(watch);
    EXPECT_TRUE(contains(text, "Software-Version: 2.70\r\n")) << text;
    EXPECT_TRUE(contains(text, "Nimmt an: FIT (keine GPX-Dateien)\r\nGibt aus: FIT (keine GPX-Dateien)\r\n")) << text;
    EXPECT_TRUE(contains(text, "  ConnectIQ  InputToUnit  GARMIN/APPS  .PRG\r\n")) << text;
    const std::string activity = "  FIT_TYPE_4  OutputFromUnit  GARMIN/ACTIVITY  .FIT\r\n";
    EXPECT_TRUE(contains(text, activity)) << text;
    EXPECT_EQ(text.find(activity), text.rfind(activity)) << text;

    DriveDevice fenix;
    ASSERT_EQ(readGarminDevice(kTrees + "/fenix3", fenix), "");
    EXPECT_TRUE(contains(driveDescriptionText(fenix), "Nimmt an: GPX, FIT\r\nGibt aus: FIT (keine GPX-Dateien)\r\n"))
        << driveDescriptionText(fenix);
}

TEST(DriveXml, MissingMalformedAndEntitiesGiveGermanMessages) {
    const std::string root = copyTree("older", "bad xml");
    DriveDevice device;
    const std::string xml = root + "/Garmin/GarminDevice.xml";
    writeFile(xml,
              "<Device xmlns=\"http://www.garmin.com/xmlschemas/GarminDevice/v2\"><Model>\n<Description>x</Model>");
    EXPECT_EQ(readGarminDevice(root, device), "GarminDevice.xml fehlerhaft: kein wohlgeformtes XML (Zeile 2).");
    writeFile(xml, "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaa\">]><Device>&a;</Device>");
    EXPECT_EQ(readGarminDevice(root, device), "GarminDevice.xml enthält Entity-Deklarationen und wird nicht gelesen.");
    writeFile(xml, "<gpx/>");
    EXPECT_EQ(readGarminDevice(root, device), "GarminDevice.xml ist keine gültige Gerätebeschreibung.");
    writeFile(xml, "<Device xmlns=\"http://www.garmin.com/xmlschemas/GarminDevice/v2\"/>" + std::string(1 << 20, ' '));
    EXPECT_EQ(readGarminDevice(root, device), "GarminDevice.xml ist größer als 1 MB und wird nicht gelesen.");
    fs::remove(xml);
    EXPECT_EQ(readGarminDevice(root, device),
              "Keine Gerätebeschreibung (Garmin/GarminDevice.xml) auf dem Laufwerk gefunden.");
}

TEST(DriveMounts, FoundThroughTheMountTableWithEscapesAndReadOnly) {
    const std::string etrex = copyTree("etrex30", "mnt/ETREX 30");
    const std::string card = copyTree("sdcard", "mnt/sd card");
    const std::string network = copyTree("etrex30", "mnt/net");  // never looked into
    const std::string table = fs::path(etrex).parent_path().string() + "/mounts";
    writeFile(table,
              "proc /proc proc rw,nosuid 0 0\n"
              "/dev/sdb1 " +
                  escapeMount(etrex) +
                  " vfat rw,nosuid,nodev,uid=1000 0 0\n"
                  "/dev/sdc1 " +
                  escapeMount(card) +
                  " vfat ro,nosuid,nodev 0 0\n"
                  "tmpfs /tmp tmpfs rw 0 0\n"
                  "server:/x " +
                  escapeMount(network) + " nfs4 rw 0 0\n");
    setMountTablePath(table);
    const std::vector<DriveDevice> drives = findGarminDrives();
    setMountTablePath("");
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].mountPoint, etrex);
    EXPECT_FALSE(drives[0].readOnly);
    EXPECT_EQ(drives[1].mountPoint, card);
    EXPECT_TRUE(drives[1].readOnly);

    // Two receivers: --port drive names them and does nothing.
    ShellRun several = runShell("WEGMATE_MOUNT_TABLE=" + table + " " WEGMATE_CLI_PATH " info --port drive");
    EXPECT_EQ(several.status, 1);
    EXPECT_TRUE(contains(several.out, "Mehrere Garmin-Laufwerke gefunden:")) << several.out;
    EXPECT_TRUE(contains(several.out, etrex + " (eTrex 30)")) << several.out;

    // The read-only one refuses an upload and keeps its files as they are.
    writeFile(table, "/dev/sdc1 " + escapeMount(card) + " vfat ro,nosuid,nodev 0 0\n");
    const std::string input = copyTree("etrex30", "input") + "/Garmin/GPX/Waypoints_01-NOV-26.gpx";
    ShellRun refused =
        runShell("WEGMATE_MOUNT_TABLE=" + table + " " WEGMATE_CLI_PATH " upload waypoints --port drive --format gpx " +
                 "'" + input + "'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.out, "Das Garmin-Laufwerk ist nur lesbar eingehängt.")) << refused.out;
    EXPECT_TRUE(newUploads(card + "/GARMIN/GPX").empty());

    writeFile(table, "proc /proc proc rw 0 0\n");
    ShellRun none = runShell("WEGMATE_MOUNT_TABLE=" + table + " " WEGMATE_CLI_PATH " info --port drive");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.out, "Kein Garmin-Laufwerk gefunden.")) << none.out;
}

TEST(DriveDownload, MergesArchiveAndCurrentIntoNumberedTracks) {
    const std::string root = copyTree("etrex30", "download");
    const std::string out = root + "/../tracks.gpx";
    setDriveMountPoint(root);
    {
        // Into a MIF file, which is written from one table of every file.
        ScriptedPlatform ui;
        ui.queueSaveFile(root + "/../tracks.mif");
        ui.queueYesNo(false);  // not a single track
        runCommand(DownloadTracks, kDrivePort, MapInfoMif, LineObjects);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Übertragung erfolgreich beendet (00008 Punkte)."});
    }
    // The archive before the current log, each a track of its own, the two
    // segments of Current.gpx kept.
    ASSERT_EQ(pointTable.count, 8);
    EXPECT_EQ(pointTable.records[0].NumberOfRouteOrTrack, 1);
    EXPECT_STREQ(pointTable.records[0].NameOfRouteOrTrack, "01-NOV-26 Tegelberg");
    EXPECT_EQ(pointTable.records[3].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(pointTable.records[3].NumberOfPoint, 1);
    EXPECT_EQ(pointTable.records[3].NewSegment, 1);
    EXPECT_EQ(pointTable.records[5].NewSegment, 0);
    EXPECT_EQ(pointTable.records[6].NewSegment, 1);
    EXPECT_EQ(pointTable.records[6].NumberOfPoint, 4);
    EXPECT_EQ(pointTable.records[2].NewSegment, 0);

    // One track of the list with the names found.
    {
        ScriptedPlatform ui;
        ui.queueSaveFile(out);
        ui.queueYesNo(true);
        ui.queueTrackSelect(true, 1);
        runCommand(DownloadTracks, kDrivePort, Gpx, LineObjects);
        const auto dialogs = ui.eventsOf(ScriptedEvent::TrackSelectDialog);
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0]->items,
                  (std::vector<std::string>{"01-NOV-26 Tegelberg", "Aktueller Track: 28 NOV 2026 10:12"}));
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Übertragung erfolgreich beendet (00005 Punkte)."});
    }

    // Waypoints: every file's, route membership none.
    {
        ScriptedPlatform ui;
        ui.queueSaveFile(out);
        ui.queueYesNo(false);
        runCommand(DownloadWaypoints, kDrivePort, Gpx, PointObjects);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Übertragung erfolgreich beendet (00003 Punkte)."});
    }
    EXPECT_EQ(pointTable.records[2].NumberOfPoint, 3);

    // Routes of the older unit.
    const std::string older = copyTree("older", "older");
    setDriveMountPoint(older);
    {
        ScriptedPlatform ui;
        ui.queueSaveFile(out);
        ui.queueYesNo(true);
        runCommand(DownloadWaypoints, kDrivePort, Gpx, LineObjects);
        EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Übertragung erfolgreich beendet (00003 Punkte)."});
    }
    EXPECT_EQ(pointTable.records[2].NumberOfRouteOrTrack, 1);
    EXPECT_STREQ(pointTable.records[2].NameOfPoint, "Pindarplatz");
    setDriveMountPoint("");
}

namespace {
struct PullContext {
    std::string root;
    bool pulled = false;
};
void pullDrive(void* context) {
    PullContext& pull = *static_cast<PullContext*>(context);
    if (pull.pulled) return;
    pull.pulled = true;
    fs::rename(pull.root, pull.root + ".gone");
}
}  // namespace

TEST(DriveDownload, ADrivePulledWhileReadingWritesNothing) {
    PullContext pull;
    pull.root = copyTree("etrex30", "pulled");
    fs::remove_all(pull.root + ".gone");
    const std::string out = pull.root + "-out.mif";
    setDriveMountPoint(pull.root);
    ScriptedPlatform ui;
    ui.onPump = pullDrive;
    ui.onPumpContext = &pull;
    ui.queueSaveFile(out);
    ui.queueYesNo(false);
    runCommand(DownloadTracks, kDrivePort, MapInfoMif, LineObjects);
    setDriveMountPoint("");
    EXPECT_TRUE(pull.pulled);
    EXPECT_EQ(ui.boxTexts(),
              std::vector<std::string>{
                  "Das Garmin-Laufwerk ist nicht mehr erreichbar. \nDie Übertragung wurde abgebrochen."});
    EXPECT_FALSE(fs::exists(out));
}

// Every file type out of the receiver and back into it, through the CLI;
// what goes in is a new GPX 1.1 file that gpsbabel and ogrinfo read.
TEST(DriveCli, DownloadAndUploadEveryFileType) {
    const std::string root = copyTree("etrex30", "cli");
    const std::string target = copyTree("etrex30", "cli-target");
    const std::string gpxDir = target + "/Garmin/GPX";
    const std::string current = readFile(gpxDir + "/Current/Current.gpx");
    const std::string waypoints = readFile(gpxDir + "/Waypoints_01-NOV-26.gpx");
    const struct {
        const char* format;
        const char* extension;
    } kinds[] = {{"mif", "mif"}, {"ovl-ascii", "ovl"}, {"ovl-binary", "ovl"}, {"gpx", "gpx"}};
    int uploads = 0;
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.format);
        const std::string file = root + "/../cli-tracks." + kind.extension;
        ShellRun down = runCli("download tracks --port 'drive:" + root + "' --format " + kind.format +
                                   " --objects lines -o '" + file + "'",
                               Stderr::IntoOut);
        ASSERT_EQ(down.status, 0) << down.out;
        EXPECT_TRUE(contains(down.out, "(00008 Punkte)")) << down.out;
        ShellRun up = runCli("upload tracks --port 'drive:" + target + "' --format " + kind.format + " '" + file + "'",
                             Stderr::IntoOut);
        ASSERT_EQ(up.status, 0) << up.out;
        EXPECT_TRUE(contains(up.out, "Datei: Garmin/GPX/Wegmate_")) << up.out;
        EXPECT_EQ((int)newUploads(gpxDir).size(), ++uploads);
    }
    // The receiver's own files stay as they were.
    EXPECT_EQ(readFile(gpxDir + "/Current/Current.gpx"), current);
    EXPECT_EQ(readFile(gpxDir + "/Waypoints_01-NOV-26.gpx"), waypoints);
    for (const std::string& upload : newUploads(gpxDir)) {
        SCOPED_TRACE(upload);
        EXPECT_TRUE(contains(readFile(upload), "<gpx version=\"1.1\""));
        if (toolInstalled("gpsbabel")) {
            ShellRun babel = runShell("gpsbabel -t -i gpx -f '" + upload + "' -o unicsv -F -");
            EXPECT_EQ(babel.status, 0) << babel.out;
            EXPECT_TRUE(contains(babel.out, "\n1,47.582310,10.738540")) << babel.out;
            EXPECT_TRUE(contains(babel.out, "\n8,47.565555,10.756666")) << babel.out;
        }
        if (toolInstalled("ogrinfo")) {
            ShellRun ogr = runShell("ogrinfo -ro -so -al '" + upload + "' track_points");
            EXPECT_EQ(ogr.status, 0) << ogr.out;
            EXPECT_TRUE(contains(ogr.out, "Feature Count: 8")) << ogr.out;
        }
    }
    // Waypoints from a waypoint file go in as waypoints under a name of their own.
    ShellRun up = runCli(
        "upload waypoints --port 'drive:" + target + "' --format gpx '" + root + "/Garmin/GPX/Waypoints_01-NOV-26.gpx'",
        Stderr::IntoOut);
    ASSERT_EQ(up.status, 0) << up.out;
    ASSERT_EQ((int)newUploads(gpxDir).size(), 5);
    if (toolInstalled("gpsbabel")) {
        for (const std::string& upload : newUploads(gpxDir)) {
            if (!contains(readFile(upload), "<wpt")) continue;
            ShellRun babel = runShell("gpsbabel -i gpx -f '" + upload + "' -o unicsv -F -");
            EXPECT_TRUE(contains(babel.out, "\"Parkplatz Schwangau\",808.0")) << babel.out;
        }
    }
}

// A unit whose XML asks for new files in Garmin/NewFiles gets them there,
// the folder made when it is missing; its GPX folder stays untouched.
TEST(DriveCli, UploadGoesWhereTheXmlAsksForNewFiles) {
    const std::string root = copyTree("older", "newfiles");
    std::string xml = readFile(root + "/Garmin/GarminDevice.xml");
    const std::string from = "<TransferDirection>InputOutput</TransferDirection>";
    xml.replace(xml.find(from), from.size(),
                "<TransferDirection>OutputFromUnit</TransferDirection>\n      </File>\n      <File>\n"
                "        <Location><Path>Garmin/NewFiles</Path><FileExtension>GPX</FileExtension></Location>\n"
                "        <TransferDirection>InputToUnit</TransferDirection>");
    writeFile(root + "/Garmin/GarminDevice.xml", xml);
    ShellRun up = runCli("upload waypoints --port 'drive:" + root + "' --format gpx '" + kTrees +
                             "/sdcard/GARMIN/GPX/Waypoints_15-OCT-26.gpx'",
                         Stderr::IntoOut);
    ASSERT_EQ(up.status, 0) << up.out;
    EXPECT_TRUE(contains(up.out, "Datei: Garmin/NewFiles/Wegmate_")) << up.out;
    ASSERT_EQ(newUploads(root + "/Garmin/NewFiles").size(), 1u);
    EXPECT_TRUE(newUploads(root + "/Garmin/GPX").empty());
    EXPECT_TRUE(contains(readFile(newUploads(root + "/Garmin/NewFiles")[0]), "<name>Marienplatz</name>"));
}

// A watch refuses an upload and gets no folder; a fenix 3 takes the upload
// into its inbox, whose files a download never returns as recorded.
TEST(DriveCli, NoUploadWithoutGpxInputAndTheInboxIsNeverRead) {
    const std::string watch = copyTree("forerunner920xt", "watch");
    const std::string track = kTrees + "/etrex30/Garmin/GPX/Current/Current.gpx";
    ShellRun refused =
        runCli("upload tracks --port 'drive:" + watch + "' --format gpx '" + track + "'", Stderr::IntoOut);
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_TRUE(contains(refused.out, "FEHLER: Das GPS-Gerät (Forerunner 920XT) nimmt keine GPX-Dateien an."))
        << refused.out;
    EXPECT_EQ(fs::directory_iterator(watch + "/GARMIN")->path().filename(), "GarminDevice.xml");
    EXPECT_FALSE(fs::exists(watch + "/GARMIN/GPX"));

    const std::string fenix = copyTree("fenix3", "fenix");
    const std::string out = fenix + "/../fenix.gpx";
    const std::string download =
        "download tracks --port 'drive:" + fenix + "' --format gpx --objects lines -o '" + out + "'";
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        ShellRun down = runCli(download, Stderr::IntoOut);
        EXPECT_EQ(down.status, 1) << down.out;
        EXPECT_TRUE(contains(down.out, "Keine GPX-Dateien auf dem Garmin-Laufwerk gefunden.")) << down.out;
        EXPECT_FALSE(fs::exists(out));
        ShellRun up =
            runCli("upload tracks --port 'drive:" + fenix + "' --format gpx '" + track + "'", Stderr::IntoOut);
        EXPECT_EQ(up.status, 0) << up.out;
        EXPECT_TRUE(contains(up.out, "Datei: GARMIN/NEWFILES/Wegmate_")) << up.out;
    }
}

// A watch's FIT activities come with a track download, each FIT file a
// track; a cut FIT file and one that is no FIT file are named in the one
// warning and cost the others nothing; waypoints never come from FIT files.
TEST(DriveCli, TrackDownloadReadsTheFitActivities) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    const std::string watch = copyTree("forerunner920xt", "fit");
    const std::string activity = watch + "/GARMIN/ACTIVITY";
    fs::create_directories(activity);
    std::string gpx = "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>";
    for (int i = 0; i < 3; i++)
        gpx += "<trkpt lat=\"48." + std::to_string(i + 1) + "\" lon=\"11." + std::to_string(i + 5) +
               "\"><time>2026-11-01T10:0" + std::to_string(i) + ":00Z</time></trkpt>";
    writeFile(watch + "/../in.gpx", gpx + "</trkseg></trk></gpx>");
    for (const char* name : {"a.fit", "c.fit"})
        ASSERT_EQ(runShell("gpsbabel -t -i gpx -f '" + watch + "/../in.gpx' -o garmin_fit -F '" + activity + "/" +
                           name + "'")
                      .status,
                  0);
    const std::string cut = readFile(activity + "/c.fit");
    writeFile(activity + "/b.fit", cut.substr(0, cut.size() - 20));
    writeFile(activity + "/c.fit", "kein FIT");

    const std::string out = watch + "/../fit.gpx";
    ShellRun down = runCli("download tracks --port 'drive:" + watch + "' --format gpx --objects lines -o '" + out + "'",
                           Stderr::IntoOut);
    EXPECT_EQ(down.status, 2) << down.out;
    EXPECT_TRUE(contains(down.out, "2 Dateien des Garmin-Laufwerks sind fehlerhaft und werden ausgelassen:\n"
                                   "GARMIN/ACTIVITY/b.fit: FIT-Datei beschädigt oder unvollständig.\n"
                                   "GARMIN/ACTIVITY/c.fit: Keine gültige FIT-Datei!"))
        << down.out;
    ShellRun babel = runShell("gpsbabel -t -i gpx -f '" + out + "' -o unicsv -F - | tr -d '\\r'");
    EXPECT_EQ(babel.out,
              "No,Latitude,Longitude,Date,Time\n1,48.100000,11.500000,2026/11/01,10:00:00\n"
              "2,48.200000,11.600000,2026/11/01,10:01:00\n3,48.300000,11.700000,2026/11/01,10:02:00\n");

    ShellRun waypoints = runCli("download waypoints --port 'drive:" + watch + "' --format gpx -o '" + out + "'",
                                Stderr::IntoOut);
    EXPECT_EQ(waypoints.status, 1) << waypoints.out;
    EXPECT_TRUE(contains(waypoints.out, "Keine GPX-Dateien auf dem Garmin-Laufwerk gefunden.")) << waypoints.out;
}

// Days of archive, more points than the table holds, one file among them
// malformed: every track to GPX in the order of the files, the faulty file
// named and left out; MIF refuses so many; one track loads alone.
TEST(DriveCli, ArchiveOfManyDaysWithAFaultyFile) {
    const std::string root = copyTree("etrex30", "archive");
    ASSERT_EQ(runShell(WEGMATE_SOURCE_DIR "/bench/report/drive_archive.sh '" + root + "' 5").status, 0);
    writeFile(root + "/Garmin/GPX/Archive/2026-09-03 12.00.00.gpx",
              "<?xml version=\"1.0\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>");
    const std::string warning =
        "Wegmate-WARNUNG: Eine Datei des Garmin-Laufwerks ist fehlerhaft und wird ausgelassen:\n"
        "Garmin/GPX/Archive/2026-09-03 12.00.00.gpx: GPX-Datei fehlerhaft: kein wohlgeformtes XML (Zeile 1).\n";
    const std::string port = " --port 'drive:" + root + "' --objects lines -o '" + root + "/../archive.";

    ShellRun all = runCli("download tracks --format gpx" + port + "gpx'", Stderr::IntoOut);
    EXPECT_EQ(all.status, 2) << all.out;
    EXPECT_TRUE(contains(all.out, warning)) << all.out;
    EXPECT_TRUE(contains(all.out, "(24933 Punkte)")) << all.out;
    const std::string gpx = readFile(root + "/../archive.gpx");
    size_t last = 0;
    for (const char* name : {"ARCHIV 2026-09-01", "ARCHIV 2026-09-02", "ARCHIV 2026-09-03", "ARCHIV 2026-09-04",
                             "ARCHIV 2026-09-05", "01-NOV-26 Tegelberg", "AKTUELLER TRACK 2026-09-06"}) {
        const size_t at = gpx.find(std::string("<name>") + name + "</name>");
        EXPECT_TRUE(at != std::string::npos && at > last) << name;
        last = at;
    }
    if (toolInstalled("gpsbabel")) {
        ShellRun babel = runShell("gpsbabel -t -i gpx -f '" + root + "/../archive.gpx' -o unicsv -F - | wc -l");
        EXPECT_EQ(babel.out, "24934\n");
    }

    ShellRun mif = runCli("download tracks --format mif" + port + "mif'", Stderr::IntoOut);
    EXPECT_EQ(mif.status, 1) << mif.out;
    EXPECT_TRUE(contains(mif.out, "mehr als 20000 Punkte; \nso viele fasst eine MIF-Datei nicht.")) << mif.out;
    EXPECT_FALSE(fs::exists(root + "/../archive.mif"));

    ShellRun one = runCli("download tracks --track 3 --format mif" + port + "mif'", Stderr::IntoOut);
    EXPECT_EQ(one.status, 2) << one.out;
    EXPECT_TRUE(contains(one.out, "    3  ARCHIV 2026-09-03\n")) << one.out;
    EXPECT_TRUE(contains(one.out, "(04191 Punkte)")) << one.out;
    EXPECT_TRUE(contains(readFile(root + "/../archive.mid"), "ARCHIV 2026-09-03")) << one.out;
}

// A drive upload leaves the file's values that no field holds out of the
// new file, says how many in one line and ends with exit status 2.
TEST(DriveCli, ValuesWithoutRoomAreLeftOutOfTheUploadAndCounted) {
    const std::string root = copyTree("older", "values");
    const std::string gpx = root + "/../values.gpx";
    writeFile(gpx,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"x\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"47.5\" lon=\"10.7\"><ele>25000</ele><time>2026-02-30T10:00:00Z</time>"
              "<name>Hoch</name></wpt>\n"
              "<wpt lat=\"47.6\" lon=\"10.8\"><ele>808</ele><time>2026-02-28T10:00:00Z</time>"
              "<name>Tal</name></wpt>\n</gpx>\n");
    ShellRun up = runCli("upload waypoints --port 'drive:" + root + "' --format gpx '" + gpx + "'", Stderr::IntoOut);
    EXPECT_EQ(up.status, 2) << up.out;
    EXPECT_TRUE(contains(up.out,
                         "Wegmate-WARNUNG: 2 Angaben der eingelesenen Punkte (Höhe, Zeit, Symbol \noder Anzeige) "
                         "sind ungültig und bleiben leer.\n"))
        << up.out;
    const std::vector<std::string> uploads = newUploads(root + "/Garmin/GPX");
    ASSERT_EQ(uploads.size(), 1u);
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    ShellRun babel = runShell("gpsbabel -i gpx -f '" + uploads[0] + "' -o unicsv -F -");
    EXPECT_TRUE(contains(babel.out, "\"Hoch\",,,\r\n")) << babel.out;
    EXPECT_TRUE(contains(babel.out, "\"Tal\",808.0,2026/02/28,10:00:00\r\n")) << babel.out;
}

// A vfat image as a receiver's: where the machine allows a loop mount, it is
// found through the system's mount table.
TEST(DriveVfat, LoopMountedImageIsFound) {
    if (!toolInstalled("mkfs.vfat") || !toolInstalled("mcopy")) GTEST_SKIP() << "mtools or dosfstools missing";
    const std::string base = fs::path(copyTree("etrex30", "vfat/tree")).parent_path().string();
    const std::string image = base + "/etrex.img";
    const std::string mountPoint = base + "/mnt";
    fs::create_directories(mountPoint);
    ASSERT_EQ(runShell("mkfs.vfat -n ETREX30 -C '" + image + "' 4096").status, 0);
    ASSERT_EQ(runShell("mcopy -s -i '" + image + "' '" + base + "/tree/Garmin' ::/").status, 0);
    ShellRun listing = runShell("mdir -i '" + image + "' ::/Garmin");
    EXPECT_TRUE(contains(listing.out, "GarminDevice")) << listing.out;
    if (runShell("mount -o loop '" + image + "' '" + mountPoint + "'").status != 0)
        GTEST_SKIP() << "this machine refuses a loop mount; the mount table is tested with a file of its own";
    const std::vector<DriveDevice> drives = findGarminDrives();
    runShell("umount '" + mountPoint + "'");
    bool found = false;
    for (const DriveDevice& drive : drives) found = found || drive.mountPoint == mountPoint;
    EXPECT_TRUE(found);
}

// Whatever the drive names or holds, nothing outside it is written or read:
// locations with "..", linked folders and files, a temporary file that is a
// link, FIFOs in place of the XML or a GPX file (never waited on).
TEST(DriveSafety, NothingOutsideTheDriveIsWrittenOrRead) {
    const std::string root = copyTree("etrex30", "safe/drive");
    const std::string parent = fs::path(root).parent_path().string();
    const std::string outside = parent + "/outside";
    fs::create_directories(outside);
    writeFile(outside + "/victim.gpx", readFile(kTrees + "/sdcard/GARMIN/GPX/Waypoints_15-OCT-26.gpx"));
    const std::string xmlPath = root + "/Garmin/GarminDevice.xml";
    const std::string xml = readFile(xmlPath);
    const auto before = entriesOutside(parent, root);
    auto withPath = [&](const std::string& from, const std::string& to) {
        std::string changed = xml;
        changed.replace(changed.find("<Path>" + from + "</Path>"), from.size() + 13, "<Path>" + to + "</Path>");
        writeFile(xmlPath, changed);
    };
    auto cli = [&](const std::string& arguments, const std::string& expected, int status,
                   const std::string& environment = "") {
        ShellRun run = runShell(environment + " timeout 20 " WEGMATE_CLI_PATH " " + arguments + " 2>&1");
        EXPECT_EQ(run.status, status) << run.out;
        EXPECT_TRUE(contains(run.out, expected)) << run.out;
        EXPECT_EQ(entriesOutside(parent, root), before);
    };
    const std::string upload =
        "upload waypoints --port 'drive:" + root + "' --format gpx '" + kTrees + "/older/Garmin/GPX/Route_Alpsee.gpx'";
    for (const char* path : {"../outside", "Garmin/../../x", "Garmin\\..\\..\\x"}) {
        SCOPED_TRACE(path);
        withPath("Garmin/GPX", path);
        cli(upload, "führt aus dem Garmin-Laufwerk hinaus", 1);
    }
    writeFile(xmlPath, xml);
    const std::string gpx = root + "/Garmin/GPX";
    fs::create_symlink(outside + "/victim.gpx", gpx + "/.wegmate-upload.tmp");
    cli(upload, "liegt schon Garmin/GPX/.wegmate-upload.tmp", 1);
    fs::remove(gpx + "/.wegmate-upload.tmp");
    fs::rename(gpx, gpx + ".real");
    fs::create_symlink(outside, gpx);
    cli(upload, "führt aus dem Garmin-Laufwerk hinaus", 1);
    fs::remove(gpx);
    fs::rename(gpx + ".real", gpx);

    // The download reads the unit's three waypoints, not those behind links.
    fs::create_symlink(outside + "/victim.gpx", gpx + "/Linked.gpx");
    fs::create_symlink(outside, root + "/Garmin/Linked");
    ASSERT_EQ(mkfifo((gpx + "/Fifo.gpx").c_str(), 0600), 0);
    withPath("Garmin/GPX/Current", "Garmin/Linked");
    const std::string out = parent + "/../safe-waypoints.gpx";
    cli("download waypoints --port 'drive:" + root + "' --format gpx --objects points -o '" + out + "'",
        "(00003 Punkte)", 0);
    EXPECT_FALSE(contains(readFile(out), "Marienplatz"));

    fs::remove(xmlPath);
    ASSERT_EQ(mkfifo(xmlPath.c_str(), 0600), 0);
    cli("info --port 'drive:" + root + "'", "Fehler beim Lesen der Gerätebeschreibung GarminDevice.xml.", 1);
    const std::string table = parent + "/../safe-mounts";
    writeFile(table, "/dev/sdb1 " + escapeMount(root) + " vfat rw 0 0\n");
    cli("info --port drive", "Kein Garmin-Laufwerk gefunden.", 1, "WEGMATE_MOUNT_TABLE='" + table + "'");
}

namespace {

std::vector<std::string> fileCalls;

int recordSync(int fd) {
    struct stat st;
    fileCalls.push_back(fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? "fsync folder" : "fsync file");
    return fsync(fd);
}

// The first rename finds its name taken meanwhile, by a file of that name.
int renameAfterAnotherWriter(int oldDir, const char* oldName, int newDir, const char* newName, unsigned flags) {
    fileCalls.push_back(std::string("rename ") + oldName + (flags & RENAME_NOREPLACE ? " noreplace" : ""));
    if (fileCalls.size() == 2) {
        const int fd = openat(newDir, newName, O_WRONLY | O_CREAT | O_EXCL, 0644);
        EXPECT_EQ(write(fd, "theirs", 6), 6);
        close(fd);
    }
    return renameat2(oldDir, oldName, newDir, newName, flags);
}

}  // namespace

// The upload is synced before it takes its name, takes it without replacing
// a file that appeared meanwhile (the next name instead), and its folder is
// synced after.
TEST(DriveUpload, SyncedAndPutInPlaceWithoutReplacing) {
    const std::string root = copyTree("older", "sync");
    setDriveMountPoint(root);
    const FileSystemCalls saved = fileSystemCalls();
    fileSystemCalls() = {recordSync, renameAfterAnotherWriter};
    std::vector<std::string> boxes;
    {
        ScriptedPlatform ui;
        ui.queueOpenFile(kTrees + "/sdcard/GARMIN/GPX/Waypoints_15-OCT-26.gpx");
        ui.queueYesNo(false);
        runCommand(UploadWaypoints, kDrivePort, Gpx, PointObjects);
        boxes = ui.boxTexts();
    }
    fileSystemCalls() = saved;
    setDriveMountPoint("");
    EXPECT_EQ(fileCalls, (std::vector<std::string>{"fsync file", "rename .wegmate-upload.tmp noreplace",
                                                   "rename .wegmate-upload.tmp noreplace", "fsync folder"}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(contains(boxes[0], "_2.gpx")) << boxes[0];
    std::vector<std::string> uploads = newUploads(root + "/Garmin/GPX");
    std::sort(uploads.begin(), uploads.end());
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(readFile(uploads[0]), "theirs");
    EXPECT_TRUE(contains(readFile(uploads[1]), "<name>Marienplatz</name>"));
}
