// The simulated MTP unit checked by an independent client: libmtp's own
// tools (mtp-detect, mtp-files, mtp-getfile, mtp-sendfile) run as child
// programs against the unit this test plugs in under umockdev.

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>

#include "sim/usbdevfs_mtp.h"
#include "tests/support/test_support.h"

namespace {

// A unit with the tree of a GPSMAP 66 on the internal storage and an SD
// card with a GPX folder of its own.
struct Unit {
    TempDir internal{"mtp-int"};
    TempDir card{"mtp-sd"};
    MtpUnitConfig config;
    std::unique_ptr<UsbdevfsMtpUnit> usb;
    std::string bigFile;  // 1500 bytes: three bulk packets
    Unit() {
        mkdir(internal.file("Garmin").c_str(), 0755);
        mkdir(internal.file("Garmin/GPX").c_str(), 0755);
        mkdir(card.file("Garmin").c_str(), 0755);
        writeFile(internal.file("Garmin/GarminDevice.xml"), "<Device/>\n");
        for (int i = 0; i < 1500; i++) bigFile.push_back((char)(i * 7 + i / 256));
        writeFile(internal.file("Garmin/GPX/Current.gpx"), bigFile);
        writeFile(card.file("Garmin/exact.gpx"), std::string(1012, 'x'));  // 1024 with the header
        config.storages.push_back({internal.path, "Internal Storage", false});
        config.storages.push_back({card.path, "SD Card", true});
    }
    bool plugIn() {
        usb = std::make_unique<UsbdevfsMtpUnit>(config);
        return usb->ok();
    }
};

#define PLUG_IN(unit) \
    do { \
        if (!UsbdevfsMtpUnit::available()) GTEST_SKIP() << "umockdev cannot run here: the test needs umockdev-wrapper"; \
        if (!toolInstalled("mtp-detect")) GTEST_SKIP() << "libmtp's tools (mtp-tools) are not installed"; \
        ASSERT_TRUE((unit).plugIn()) << (unit).usb->error(); \
    } while (0)

// File ID by name from mtp-files' listing (0 when not listed).
int fileId(const std::string& listing, const std::string& name) {
    std::smatch m;
    if (std::regex_search(listing, m, std::regex("File ID: (\\d+)\\n\\s+Filename: " + name + "\\n"))) return std::stoi(m[1]);
    return 0;
}

// A product id libmtp's device table lists (with its Garmin flags) and one
// it must find by probing the interface; with and without GetObjectPropList.
TEST(MtpTools, ListAndCopyBothWays) {
    for (uint16_t product : {0x4cda, 0x4b4a}) {
        SCOPED_TRACE(product);
        Unit u;
        u.config.productId = product;
        u.config.objectPropList = product == 0x4cda;
        PLUG_IN(u);
        ShellRun detect = runShell("mtp-detect");
        EXPECT_TRUE(contains(detect.out, product == 0x4cda ? "Garmin Fenix 6 Pro" : "091e:4b4a")) << detect.out;
        EXPECT_TRUE(contains(detect.out, "Model: GPSMAP 66sr")) << detect.out;
        EXPECT_TRUE(contains(detect.out, "StorageDescription: SD Card")) << detect.out;

        ShellRun files = runShell("mtp-files");
        const int big = fileId(files.out, "Current.gpx"), exact = fileId(files.out, "exact.gpx");
        ASSERT_NE(big, 0) << files.out;
        ASSERT_NE(exact, 0) << files.out;
        EXPECT_TRUE(contains(files.out, "File size 1500 ")) << files.out;
        EXPECT_TRUE(contains(files.out, "Storage ID: 0x00020001")) << files.out;

        const std::string got = tempFile("got.gpx");
        EXPECT_EQ(runShell("mtp-getfile " + std::to_string(big) + " " + got).status, 0);
        EXPECT_EQ(readFile(got), u.bigFile);
        const std::string got2 = tempFile("got2.gpx");
        EXPECT_EQ(runShell("mtp-getfile " + std::to_string(exact) + " " + got2).status, 0);
        EXPECT_EQ(readFile(got2), std::string(1012, 'x'));

        TempDir local("mtp-local");
        writeFile(local.file("new.gpx"), u.bigFile + "tail");
        ShellRun send = runShell("mtp-sendfile " + local.file("new.gpx") + " /Garmin/GPX");
        EXPECT_TRUE(contains(send.out, "New file ID")) << send.out;
        EXPECT_EQ(readFile(u.internal.file("Garmin/GPX/new.gpx")), u.bigFile + "tail");
    }
}

// The faults as libmtp sees them: busy at the session's opening, the
// interface held by another program, a full store that keeps the part it
// took, and a unit pulled out in the middle of a copy.
TEST(MtpTools, Faults) {
    {
        Unit u;
        u.config.busyOpens = 1;
        PLUG_IN(u);
        EXPECT_TRUE(contains(runShell("mtp-files").out, "Could not open session")) ;
        EXPECT_TRUE(contains(runShell("mtp-files").out, "Current.gpx"));  // the second time it answers
    }
    {
        Unit u;
        u.config.claimedElsewhere = true;
        PLUG_IN(u);
        ShellRun r = runShell("mtp-files");
        EXPECT_TRUE(contains(r.out, "device is busy")) << r.out;
    }
    {
        Unit u;
        u.config.storeFull = MtpUnitConfig::StoreFull::AtData;
        PLUG_IN(u);
        TempDir local("mtp-local");
        writeFile(local.file("new.gpx"), u.bigFile);
        ShellRun send = runShell("mtp-sendfile " + local.file("new.gpx") + " /Garmin/GPX");
        EXPECT_TRUE(contains(send.out, "Store Full")) << send.out;
        EXPECT_EQ(fileSize(u.internal.file("Garmin/GPX/new.gpx")), 750);
    }
    {
        Unit u;
        PLUG_IN(u);
        const int big = fileId(runShell("mtp-files").out, "Current.gpx");
        ASSERT_NE(big, 0);
        u.usb.reset();
        u.config.unplugAfterTransfers = 0;
        ASSERT_TRUE(u.plugIn());
        const std::string got = tempFile("pulled.gpx");
        ShellRun r = runShell("mtp-getfile " + std::to_string(big) + " " + got);
        EXPECT_TRUE(u.usb->gone());
        EXPECT_TRUE(contains(r.out, "Error getting file")) << r.out;
        EXPECT_NE(readFile(got), u.bigFile);
    }
}

}  // namespace
