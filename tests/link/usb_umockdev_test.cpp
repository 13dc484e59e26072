// The USB link on libusb's real Linux backend: the receiver is emulated at
// the kernel's usbdevfs interface under umockdev (the program runs inside
// umockdev-wrapper), with the garmin_gps driver bound when the host starts.
// Every case runs a whole command and checks the boxes shown and the file
// written or not written; the positions and names in the file are compared
// with the data the simulated receiver holds.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <unistd.h>

#include "commands/command.h"
#include "link/protocol_set.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "sim/usbdevfs_receiver.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"
#include "model/point_table.h"

namespace {

using Texts = std::vector<std::string>;

const char* const kReadError = "Fehler bei Lesen vom USB-Anschluss.";
const char* const kInitError = "Fehler beim Initialisieren der USB-Verbindung.";
const char* const kConnectError = "Fehler beim Aufbau der Verbindung zum GPS-Gerät.";
const char* const kNoAnswer = "GPS-Gerät antwortet nicht.";

struct Position {
    double lon, lat;
};

// The "Point lon lat" lines of a MIF file.
std::vector<Position> mifPoints(const std::string& path) {
    std::vector<Position> out;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        Position p;
        if (std::sscanf(line.c_str(), "Point %lf %lf", &p.lon, &p.lat) == 2) out.push_back(p);
    }
    return out;
}

// The receiver with its data; skips the test where umockdev cannot run.
struct Receiver {
    explicit Receiver(const SimProfile& profile) : sim(profile) {}
    Simulator sim;
    std::unique_ptr<UsbdevfsReceiver> usb;
    bool plugIn() {
        usb = std::make_unique<UsbdevfsReceiver>(sim);
        installUsbDriver(nullptr);  // libusb
        return usb->ok();
    }
};

#define PLUG_IN(receiver) \
    do { \
        if (!UsbdevfsReceiver::available()) \
            GTEST_SKIP() << "umockdev cannot run here: the test needs umockdev-wrapper"; \
        ASSERT_TRUE((receiver).plugIn()) << (receiver).usb->error(); \
    } while (0)

// Downloads all waypoints into a MIF file of points; returns its path.
std::string downloadWaypoints(ScriptedPlatform& ui, const std::string& name) {
    const std::string file = tempFile(name);
    ui.queueSaveFile(file);
    ui.queueYesNo(false);  // all waypoints, not only those of routes
    runCommand(DownloadWaypoints, kUsbPort, MapInfoMif, PointObjects);
    return file;
}

void expectWaypointsWritten(const Simulator& sim, const std::string& file) {
    ASSERT_TRUE(fileExists(file));
    std::vector<Position> points = mifPoints(file);
    ASSERT_EQ(points.size(), sim.waypoints.size());
    for (size_t i = 0; i < points.size(); i++) {
        EXPECT_NEAR(points[i].lat, sim.waypoints[i].lat, 1e-6) << i;
        EXPECT_NEAR(points[i].lon, sim.waypoints[i].lon, 1e-6) << i;
    }
    const std::string mid = readFile(file.substr(0, file.size() - 4) + ".mid");
    for (const SimWaypoint& w : sim.waypoints) EXPECT_NE(mid.find(w.name), std::string::npos) << w.name;
}

std::string successBox(size_t points) {
    char text[64];
    std::snprintf(text, sizeof text, "Übertragung erfolgreich beendet (%05d Punkte).", (int)points);
    return text;
}

enum class Wire { InterruptOnly, BurstPerAnswer, BurstPerPacket };

class UsbWire : public ::testing::TestWithParam<Wire> {};

// The three ways receivers use the pipes, with the kernel driver bound at
// the start: detached for the command and attached again at its end.
TEST_P(UsbWire, WaypointDownload) {
    ScriptedPlatform ui;
    Receiver r(*findSimProfile("etrex"));
    r.sim.generate(6, 0, 0, 0, 0);
    r.sim.usbInterruptOnly = GetParam() == Wire::InterruptOnly;
    r.sim.usbBurstPerPacket = GetParam() == Wire::BurstPerPacket;
    PLUG_IN(r);
    ASSERT_TRUE(r.usb->driverBound());

    const std::string file = downloadWaypoints(ui, "wire.mif");
    EXPECT_EQ(ui.boxTexts(), Texts{successBox(6)});
    expectWaypointsWritten(r.sim, file);
    EXPECT_EQ(r.usb->detaches(), 1);
    EXPECT_EQ(r.usb->attaches(), 1);
    EXPECT_TRUE(r.usb->driverBound());
    EXPECT_FALSE(r.usb->claimed());
}

INSTANTIATE_TEST_SUITE_P(Pipes, UsbWire,
                         ::testing::Values(Wire::InterruptOnly, Wire::BurstPerAnswer, Wire::BurstPerPacket),
                         [](const ::testing::TestParamInfo<Wire>& info) {
                             switch (info.param) {
                             case Wire::InterruptOnly: return std::string("InterruptOnly");
                             case Wire::BurstPerAnswer: return std::string("BurstPerAnswer");
                             default: return std::string("BurstPerPacket");
                             }
                         });

// A receiver that sends its records on the interrupt pipe: each packet
// (waypoint records are longer than one 64-byte USB packet) comes in one
// transfer, as libusb submits it.
TEST(UsbReceiver, OneInterruptTransferPerPacket) {
    ScriptedPlatform ui;
    Receiver r(*findSimProfile("etrex"));
    r.sim.generate(50, 0, 0, 0, 0);
    r.sim.usbInterruptOnly = true;
    PLUG_IN(r);
    const std::string file = downloadWaypoints(ui, "interrupt.mif");
    EXPECT_EQ(ui.boxTexts(), Texts{successBox(50)});
    expectWaypointsWritten(r.sim, file);
    // Session started, product data, array, records, 50 waypoints, transfer
    // complete, and the reads that find nothing more at the end.
    EXPECT_LE(r.usb->interruptTransfers(), 50 + 10);
}

// Product data of exactly 64 bytes (12 + 52) followed by the protocol array,
// on both pipes, with and without the zero-length packet after it: without
// it, the array runs into the same bulk read.
TEST(UsbReceiver, PacketOfExactly64Bytes) {
    for (int interruptOnly = 0; interruptOnly <= 1; interruptOnly++) {
        for (int zeroLength = 0; zeroLength <= 1; zeroLength++) {
            SCOPED_TRACE(std::string(interruptOnly ? "interrupt" : "bulk") + (zeroLength ? " with" : " without") +
                         " zero-length packet");
            ScriptedPlatform ui;
            SimProfile profile = *findSimProfile("etrex");
            // A name that picks no fitting list: without its array the
            // receiver's D108 records would be read as D103.
            profile.description = std::string("Legend Software Version 3.10 ").append(47 - 29, 'x');
            ASSERT_EQ(4 + profile.description.size() + 1, 52u);
            Receiver r(profile);
            r.sim.generate(3, 0, 0, 0, 0);
            r.sim.usbInterruptOnly = interruptOnly;
            PLUG_IN(r);
            r.usb->zeroLengthAfterFullPacket = zeroLength;
            const std::string file = downloadWaypoints(ui, "sixty-four.mif");
            EXPECT_EQ(ui.boxTexts(), Texts{successBox(3)});
            expectWaypointsWritten(r.sim, file);
            ASSERT_NE(protocolSet(), nullptr);
            EXPECT_EQ(std::string(protocolSet()).substr(0, 6), "\r\nP000");
        }
    }
}

// A receiver without a protocol array, and one that sends two extended
// product data packets before its array (D110 records: read in a guessed
// layout they would give empty names and points near 0/0).
TEST(UsbReceiver, NoArrayAndTwoExtendedProductPackets) {
    {
        ScriptedPlatform ui;
        Receiver r(*findSimProfile("gps76"));
        r.sim.generate(4, 0, 0, 0, 0);
        PLUG_IN(r);
        const std::string file = downloadWaypoints(ui, "no-array.mif");
        EXPECT_EQ(ui.boxTexts(), Texts{successBox(4)});
        expectWaypointsWritten(r.sim, file);
    }
    {
        ScriptedPlatform ui;
        SimProfile profile = *findSimProfile("d110");
        profile.extProductPackets = 2;
        Receiver r(profile);
        r.sim.generate(4, 0, 0, 0, 0);
        PLUG_IN(r);
        const std::string file = downloadWaypoints(ui, "two-248.mif");
        EXPECT_EQ(ui.boxTexts(), Texts{successBox(4)});
        expectWaypointsWritten(r.sim, file);
        ASSERT_NE(protocolSet(), nullptr);
        EXPECT_NE(std::string(protocolSet()).find("D110"), std::string::npos);
    }
}

// A receiver that misses the first start-session packet gets a second one;
// stale bulk data waiting at the opening is dropped before the query.
TEST(UsbReceiver, LostStartSessionAndStaleBulkData) {
    ScriptedPlatform ui;
    Receiver r(*findSimProfile("etrex"));
    r.sim.generate(3, 0, 0, 0, 0);
    r.sim.faults.usbLostStartSessions = 1;
    r.sim.faults.usbPendingAtOpen = 3;
    PLUG_IN(r);
    const std::string file = downloadWaypoints(ui, "session.mif");
    EXPECT_EQ(ui.boxTexts(), Texts{successBox(3)});
    expectWaypointsWritten(r.sim, file);
    int startSessions = 0;
    for (const std::vector<uint8_t>& w : r.sim.usbWrites())
        if (w.size() == 12 && w[0] == 0 && w[4] == 5) startSessions++;
    EXPECT_EQ(startSessions, 2);
}

// Silence: no answer to any start-session packet; then a receiver that
// starts the session but never answers the product request. Neither gets
// as far as the file dialog.
TEST(UsbReceiver, Silence) {
    {
        ScriptedPlatform ui;
        Receiver r(*findSimProfile("etrex"));
        r.sim.faults.usbLostStartSessions = 1000;
        PLUG_IN(r);
        runCommand(DownloadWaypoints, kUsbPort, MapInfoMif, PointObjects);
        EXPECT_EQ(ui.boxTexts(), (Texts{kReadError, kInitError}));
        EXPECT_TRUE(ui.eventsOf(ScriptedEvent::SaveFile).empty());
        int startSessions = 0;
        for (const std::vector<uint8_t>& w : r.sim.usbWrites())
            if (w.size() == 12 && w[0] == 0 && w[4] == 5) startSessions++;
        EXPECT_EQ(startSessions, 3);
        EXPECT_TRUE(r.usb->driverBound());
    }
    {
        ScriptedPlatform ui;
        Receiver r(*findSimProfile("etrex"));
        r.sim.faults.silenceStage = SimStage::ProductRequest;
        r.sim.faults.silenceMs = 600000;
        PLUG_IN(r);
        runCommand(DownloadTracks, kUsbPort, MapInfoMif, PointObjects);
        EXPECT_EQ(ui.boxTexts(), (Texts{kReadError, kConnectError}));
        EXPECT_TRUE(ui.eventsOf(ScriptedEvent::SaveFile).empty());
        EXPECT_TRUE(r.usb->driverBound());
    }
}

// Pulled out in the middle of a track log: the transfer ends with the read
// error, no file is written, and the host lets go of the device.
TEST(UsbReceiver, PulledOutMidTransfer) {
    ScriptedPlatform ui;
    Receiver r(*findSimProfile("etrex"));
    r.sim.generate(0, 0, 0, 1, 200);
    PLUG_IN(r);
    r.sim.faults.usbUnplugAfterReads = 120;
    const std::string file = tempFile("pulled.mif");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);  // not a single track
    runCommand(DownloadTracks, kUsbPort, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (Texts{kReadError}));
    EXPECT_FALSE(fileExists(file));
    EXPECT_FALSE(r.usb->claimed());
}

}  // namespace
