// The MTP link (libmtp on libusb's real Linux backend) against the
// simulated unit under umockdev: finding GarminDevice.xml on the storages,
// reading and storing files through the file seam, and the faults of real
// units. What the link stores is checked on the unit's directories.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "link/mtp.h"
#include "sim/usbdevfs_mtp.h"
#include "tests/support/test_support.h"

namespace {

struct Unit {
    TempDir internal{"mtp-int"};
    TempDir card{"mtp-sd"};
    MtpUnitConfig config;
    std::unique_ptr<UsbdevfsMtpUnit> usb;
    std::string gpx;
    Unit() {
        for (int i = 0; i < 1500; i++) gpx.push_back((char)('a' + i % 26));
        config.storages.push_back({internal.path, "Internal Storage", false});
    }
    void folder(const std::string& path) { mkdir(path.c_str(), 0755); }
    bool plugIn() {
        usb = std::make_unique<UsbdevfsMtpUnit>(config);
        return usb->ok();
    }
    int operations(uint16_t code) const {
        int n = 0;
        for (uint16_t c : usb->operations()) n += c == code;
        return n;
    }
};

#define PLUG_IN(unit) \
    do { \
        if (!UsbdevfsMtpUnit::available()) GTEST_SKIP() << "umockdev cannot run here: the test needs umockdev-wrapper"; \
        ASSERT_TRUE((unit).plugIn()) << (unit).usb->error(); \
    } while (0)

// A GPSMAP 66 (found by probing) with the tree on its internal storage in
// upper case and a second one on its SD card: both found, files read and
// stored through the seam without regard to case, nothing replaced.
TEST(MtpLink, TwoStoragesReadAndStore) {
    Unit u;
    u.config.productId = 0x4b4a;
    u.config.objectPropList = false;
    u.config.storages.push_back({u.card.path, "SD Card", true});
    u.folder(u.internal.file("GARMIN"));
    u.folder(u.internal.file("GARMIN/GPX"));
    writeFile(u.internal.file("GARMIN/GarminDevice.xml"), "<Device/>");
    writeFile(u.internal.file("GARMIN/GPX/Current.gpx"), u.gpx);
    u.folder(u.card.file("Garmin"));
    writeFile(u.card.file("Garmin/garmindevice.xml"), "<Device/>");
    PLUG_IN(u);

    std::string error;
    MtpDevice* d = openMtpDevice("", error);
    ASSERT_NE(d, nullptr) << error;
    EXPECT_EQ(mtpSerialNumber(d), u.config.serial);
    std::vector<MtpGarminRoot> roots = mtpGarminRoots(d, error);
    ASSERT_EQ(roots.size(), 2u) << error;
    EXPECT_EQ(roots[0].xmlPath, "GARMIN/GarminDevice.xml");
    EXPECT_EQ(roots[1].storageName, "SD Card");
    EXPECT_EQ(roots[1].xmlPath, "Garmin/garmindevice.xml");

    DeviceFiles& f = roots[0].files;
    std::vector<DeviceFileEntry> entries;
    ASSERT_EQ(f.list(f.handle, "garmin/gpx", entries, error), 1) << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Current.gpx");
    EXPECT_EQ(entries[0].size, 1500u);
    std::string bytes;
    ASSERT_EQ(f.read(f.handle, "Garmin/GPX/current.GPX", bytes, error), 1) << error;
    EXPECT_EQ(bytes, u.gpx);

    ASSERT_EQ(f.store(f.handle, "Garmin/GPX", "Wegmate_1.gpx", u.gpx + "!", error), 1) << error;
    EXPECT_EQ(readFile(u.internal.file("GARMIN/GPX/Wegmate_1.gpx")), u.gpx + "!");
    // A taken name is refused; the file there stays as it was.
    EXPECT_EQ(f.store(f.handle, "Garmin/GPX", "CURRENT.gpx", "x", error), 0);
    EXPECT_TRUE(contains(error, "schon")) << error;
    EXPECT_EQ(readFile(u.internal.file("GARMIN/GPX/Current.gpx")), u.gpx);
    EXPECT_EQ(f.store(f.handle, "Garmin/NewFiles", "a.gpx", "x", error), 0);
    EXPECT_EQ(error, "Der Ordner Garmin/NewFiles fehlt auf dem GPS-Gerät (MTP).");
    closeMtpDevice(d);
    EXPECT_FALSE(u.usb->claimed());
}

// A fenix (listed by libmtp) keeps the tree below Primary/; a storage with
// many other folders is not walked: only the folders on the way are listed.
TEST(MtpLink, FenixPrimaryLevelWithoutWalkingTheTree) {
    Unit u;
    u.folder(u.internal.file("Music"));
    for (int i = 0; i < 30; i++) u.folder(u.internal.file("Music/" + std::to_string(i)));
    u.folder(u.internal.file("Primary"));
    u.folder(u.internal.file("Primary/GARMIN"));
    u.folder(u.internal.file("Primary/GARMIN/Activity"));
    writeFile(u.internal.file("Primary/GARMIN/GarminDevice.xml"), "<Device/>");
    PLUG_IN(u);
    std::string error;
    MtpDevice* d = openMtpDevice("", error);
    ASSERT_NE(d, nullptr) << error;
    std::vector<MtpGarminRoot> roots = mtpGarminRoots(d, error);
    ASSERT_EQ(roots.size(), 1u) << error;
    EXPECT_EQ(roots[0].folder, "Primary");
    EXPECT_EQ(roots[0].xmlPath, "GARMIN/GarminDevice.xml");
    std::string bytes;
    EXPECT_EQ(roots[0].files.read(roots[0].files.handle, roots[0].xmlPath, bytes, error), 1) << error;
    EXPECT_EQ(bytes, "<Device/>");
    // The root, Music, Primary and Primary/GARMIN.
    EXPECT_LE(u.operations(0x1007), 4);
    closeMtpDevice(d);
}

// A unit that answers busy at first is opened at the next try; one that
// another program holds gets the message that says what to do.
TEST(MtpLink, BusyAndHeldElsewhere) {
    {
        Unit u;
        u.config.busyOpens = 2;
        u.folder(u.internal.file("Garmin"));
        writeFile(u.internal.file("Garmin/GarminDevice.xml"), "<Device/>");
        PLUG_IN(u);
        std::string error;
        MtpDevice* d = openMtpDevice("", error);
        ASSERT_NE(d, nullptr) << error;
        EXPECT_EQ(mtpGarminRoots(d, error).size(), 1u);
        closeMtpDevice(d);
    }
    {
        Unit u;
        u.config.claimedElsewhere = true;
        PLUG_IN(u);
        std::string error;
        EXPECT_EQ(openMtpDevice("", error), nullptr);
        EXPECT_TRUE(contains(error, "von einem anderen Programm benutzt (z. B. dem Dateimanager über GVfs oder KDE)"))
            << error;
    }
}

// A full store and a unit pulled out: each an error, never a success; the
// partial object a failed copy leaves is removed, and only that one.
TEST(MtpLink, FullStoreAndPulledOut) {
    for (auto full : {MtpUnitConfig::StoreFull::AtInfo, MtpUnitConfig::StoreFull::AtData}) {
        Unit u;
        u.config.storeFull = full;
        u.folder(u.internal.file("Garmin"));
        u.folder(u.internal.file("Garmin/GPX"));
        writeFile(u.internal.file("Garmin/GarminDevice.xml"), "<Device/>");
        writeFile(u.internal.file("Garmin/GPX/Current.gpx"), u.gpx);
        PLUG_IN(u);
        std::string error;
        MtpDevice* d = openMtpDevice("", error);
        ASSERT_NE(d, nullptr) << error;
        std::vector<MtpGarminRoot> roots = mtpGarminRoots(d, error);
        ASSERT_EQ(roots.size(), 1u) << error;
        DeviceFiles& f = roots[0].files;
        EXPECT_EQ(f.store(f.handle, "Garmin/GPX", "new.gpx", u.gpx, error), 0);
        EXPECT_TRUE(contains(error, "Der Speicher des GPS-Geräts (MTP) ist voll.")) << error;
        EXPECT_EQ(contains(error, "unvollständige Datei Garmin/GPX/new.gpx wurde vom GPS-Gerät gelöscht"),
                  full == MtpUnitConfig::StoreFull::AtData)
            << error;
        EXPECT_EQ(u.internal.listing(), "Garmin ");
        EXPECT_EQ(dirListing(u.internal.file("Garmin/GPX")), "Current.gpx ");
        closeMtpDevice(d);
    }
    for (bool reading : {true, false}) {
        Unit u;
        u.config.unplugAfterTransfers = 1;  // the XML, then the next copy
        u.folder(u.internal.file("Garmin"));
        u.folder(u.internal.file("Garmin/GPX"));
        writeFile(u.internal.file("Garmin/GarminDevice.xml"), "<Device/>");
        writeFile(u.internal.file("Garmin/GPX/Current.gpx"), u.gpx);
        PLUG_IN(u);
        std::string error, bytes;
        MtpDevice* d = openMtpDevice("", error);
        ASSERT_NE(d, nullptr) << error;
        std::vector<MtpGarminRoot> roots = mtpGarminRoots(d, error);
        ASSERT_EQ(roots.size(), 1u) << error;
        DeviceFiles& f = roots[0].files;
        ASSERT_EQ(f.read(f.handle, roots[0].xmlPath, bytes, error), 1) << error;
        if (reading) {
            EXPECT_EQ(f.read(f.handle, "Garmin/GPX/Current.gpx", bytes, error), 0);
            EXPECT_TRUE(bytes.empty());
            EXPECT_TRUE(contains(error, "Fehler beim Lesen der Datei Garmin/GPX/Current.gpx")) << error;
        } else {
            EXPECT_EQ(f.store(f.handle, "Garmin/GPX", "new.gpx", u.gpx, error), 0);
            EXPECT_TRUE(contains(error, "Fehler beim Schreiben der Datei Garmin/GPX/new.gpx")) << error;
            EXPECT_TRUE(contains(error, "unvollständige Datei")) << error;
        }
        EXPECT_TRUE(u.usb->gone());
        closeMtpDevice(d);
    }
}

}  // namespace

namespace {

// wegmate-cli info --port mtp[:SERIAL]: the XML's facts, or the message for
// a serial number no unit has and for a unit another program holds.
TEST(MtpPort, CliInfo) {
    Unit u;
    u.folder(u.internal.file("Garmin"));
    writeFile(u.internal.file("Garmin/GarminDevice.xml"),
              "<?xml version=\"1.0\"?>\n<Device xmlns=\"http://www.garmin.com/xmlschemas/GarminDevice/v2\">"
              "<Model><PartNumber>006-B3338-00</PartNumber><SoftwareVersion>870</SoftwareVersion>"
              "<Description>GPSMAP 66sr</Description></Model><Id>3396000001</Id></Device>\n");
    PLUG_IN(u);
    ShellRun r = runCli("info --port mtp");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // libmtp's report of what it found stays off the program's output.
    EXPECT_EQ(r.out.find("Device 0"), std::string::npos) << r.out;
    EXPECT_TRUE(contains(r.out, "Garmin-Gerät (MTP): GPSMAP 66sr (Seriennummer 0000003996), Internal Storage\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "Teilenummer: 006-B3338-00\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Geräte-Id: 3396000001\n")) << r.out;
    EXPECT_EQ(runCli("info --port mtp:" + u.config.serial).status, 0);
    r = runCli("info --port mtp:1234");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Kein Garmin-Gerät mit MTP-Anschluss und der Seriennummer 1234 gefunden.")) << r.err;
}


// The tree of an eTrex 30 on the unit: the track download over MTP gives
// what the same tree gives as a drive (both read by gpsbabel), a broken
// file of the unit named and left out; each upload
// is a new file in the input folder, nothing replaced.
TEST(MtpPort, DownloadAndUploadThroughTheSeam) {
    namespace fs = std::filesystem;
    Unit u;
    const std::string tree = WEGMATE_SOURCE_DIR "/tests/drive/trees/etrex30";
    fs::copy(tree, u.internal.path, fs::copy_options::recursive);
    writeFile(u.internal.file("Garmin/GPX/Current/broken.gpx"), "<gpx");
    PLUG_IN(u);
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    const TempDir out("mtp-out");
    const std::string options = " --format gpx --objects lines -o '" + out.path;
    ShellRun down = runCli("download tracks --port mtp" + options + "/mtp.gpx'", Stderr::IntoOut);
    EXPECT_EQ(down.status, 2) << down.out;
    EXPECT_TRUE(contains(down.out, "Eine Datei des GPS-Geräts (MTP) ist fehlerhaft und wird ausgelassen:\n"
                                   "Garmin/GPX/Current/broken.gpx: "))
        << down.out;
    ShellRun drive = runCli("download tracks --port 'drive:" + tree + "'" + options + "/drive.gpx'", Stderr::IntoOut);
    ASSERT_EQ(drive.status, 0) << drive.out;
    const std::string babel = "gpsbabel -t -i gpx -f '" + out.path + "/";
    ShellRun fromMtp = runShell(babel + "mtp.gpx' -o unicsv -F -");
    ShellRun fromDrive = runShell(babel + "drive.gpx' -o unicsv -F -");
    EXPECT_GT(fromDrive.out.size(), 200u) << fromDrive.out;
    EXPECT_EQ(fromMtp.out, fromDrive.out);

    const std::string gpxFolder = u.internal.file("Garmin/GPX");
    const std::string before = readFile(gpxFolder + "/Waypoints_01-NOV-26.gpx");
    // The names of the next seconds are taken: the uploads go to "_2", "_3".
    std::vector<std::string> taken;
    for (std::time_t t = std::time(nullptr), end = t + 20; t < end; t++) {
        struct tm local;
        localtime_r(&t, &local);
        char name[64];
        std::strftime(name, sizeof name, "/Wegmate_%Y%m%d_%H%M%S.gpx", &local);
        writeFile(gpxFolder + name, name);
        taken.push_back(gpxFolder + name);
    }
    std::vector<std::string> names;
    for (int round = 0; round < 2; round++) {
        ShellRun up = runCli("upload tracks --port mtp --format gpx '" + tree + "/Garmin/GPX/Current/Current.gpx'",
                             Stderr::IntoOut);
        EXPECT_EQ(up.status, 0) << up.out;
        EXPECT_TRUE(contains(up.out, "Datei: Garmin/GPX/Wegmate_")) << up.out;
    }
    for (const auto& entry : fs::directory_iterator(gpxFolder))
        if (entry.path().filename().string().rfind("Wegmate_", 0) == 0 &&
            std::find(taken.begin(), taken.end(), entry.path().string()) == taken.end())
            names.push_back(entry.path().string());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[0], names[1]);
    for (const std::string& name : names) {
        ShellRun read = runShell("gpsbabel -t -i gpx -f '" + name + "' -o unicsv -F - | wc -l");
        EXPECT_EQ(read.out, runShell("gpsbabel -t -i gpx -f '" + tree + "/Garmin/GPX/Current/Current.gpx' -o unicsv "
                                     "-F - | wc -l")
                                .out);
    }
    EXPECT_EQ(readFile(gpxFolder + "/Waypoints_01-NOV-26.gpx"), before);
    for (const std::string& name : taken) EXPECT_EQ(readFile(name), name.substr(gpxFolder.size())) << name;
}

}  // namespace
