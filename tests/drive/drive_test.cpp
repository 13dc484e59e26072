// Receivers that appear as a drive: the device trees of tests/drive/trees
// (an eTrex 30 with InputToUnit Garmin/GPX and OutputFromUnit
// Garmin/GPX/Current, an older unit with InputOutput and no path, an SD card
// with a copy of the XML in other letter case), found through a mount table,
// downloaded and uploaded through the command driver and wegmate-cli, the
// uploads read back by gpsbabel and ogrinfo.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "commands/command.h"
#include "link/drive.h"
#include "model/point_table.h"
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
        ScriptedPlatform ui;
        ui.queueSaveFile(out);
        ui.queueYesNo(false);  // not a single track
        runCommand(DownloadTracks, kDrivePort, Gpx, LineObjects);
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
