// The command driver against the simulator: link opening, busy flag,
// status line and dispatch of the five commands.

#include <gtest/gtest.h>

#include <algorithm>

#include "commands/command.h"
#include "link/protocol_set.h"
#include "tests/support/scripted_platform.h"
#include "tests/transfer/sim_session.h"
#include "tests/transfer/transfer_helpers.h"
#include "model/point_table.h"

namespace {

const char* const kPrematureEnd = "Übertragungsfehler. \nDer Datentransfer wurde vorzeitig beendet. ";

class CommandOnLink : public ::testing::TestWithParam<SimLink> {};

TEST(Command, UsbWithoutReceiverShowsOnlyTheInitialisationError) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Usb);
    session.sim->faults.usbAbsent = true;
    session.start();
    runCommand(DownloadWaypoints, kUsbPort, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Initialisieren der USB-Verbindung."}));
    EXPECT_TRUE(ui.statusTexts().empty());
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::SaveFile).empty());
    EXPECT_FALSE(transferBusy);
}

TEST(Command, UnknownPortOrCommandDoesNothing) {
    ScriptedPlatform ui;
    runCommand(DownloadWaypoints, portAtIndex(11), MapInfoMif, PointObjects);  // 9, 10: drive and MTP
    runCommand(static_cast<TransferCommand>(7), comPort(1), MapInfoMif, PointObjects);
    EXPECT_TRUE(ui.events().empty());
}

TEST_P(CommandOnLink, DownloadRunsBusyBetweenWaitAndReady) {
    ScriptedPlatform ui;
    SimSession session("etrex", GetParam());
    session.sim->generate(4, 0, 0, 0, 0);
    session.start();
    const std::string file = tempFile("cmd.mif");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    int busyPumps = 0;
    ui.onPump = [](void* context) {
        if (transferBusy) ++*static_cast<int*>(context);
    };
    ui.onPumpContext = &busyPumps;

    runCommand(DownloadWaypoints, session.port, MapInfoMif, PointObjects);

    const std::vector<std::string> status = ui.statusTexts();
    ASSERT_GE(status.size(), 2u);
    EXPECT_EQ(status.front(), "  Status:   Bitte warten.");
    EXPECT_EQ(status.back(), "  Status:   Bereit.");
    EXPECT_GT(busyPumps, 0);
    EXPECT_FALSE(transferBusy);
    // The device query's closing pause comes before the file dialog's.
    std::vector<int> pauses;
    for (const ScriptedEvent* e : ui.eventsOf(ScriptedEvent::Pause)) pauses.push_back(e->number);
    ASSERT_GE(pauses.size(), 2u);
    const size_t query = std::find(pauses.begin(), pauses.end(), 1000) - pauses.begin();
    const size_t settle = std::find(pauses.begin(), pauses.end(), 500) - pauses.begin();
    EXPECT_LT(query, settle);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00004 Punkte)."}));
    EXPECT_EQ(pointTable.count, 4);
}

TEST_P(CommandOnLink, TrackUploadWithAsciiOverlayOpensTheOverlayDialog) {
    ScriptedPlatform ui;
    SimSession session("etrex", GetParam());
    session.start();
    ui.queueCancelFile();
    runCommand(UploadTracks, session.port, OvlAscii, LineObjects);
    const auto opens = ui.eventsOf(ScriptedEvent::OpenFile);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0]->title, "Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät");
    EXPECT_EQ(opens[0]->text, "*.ovl");
    EXPECT_EQ(opens[0]->filter, FileFilter::Overlay);
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
}

TEST_P(CommandOnLink, DeviceInfoShowsTheReceiverWithoutFileDialog) {
    ScriptedPlatform ui;
    SimSession session("etrex", GetParam());
    session.start();
    runCommand(DeviceInfo, session.port, MapInfoMif, LineObjects);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::DeviceInfoDialog).size(), 1u);
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::SaveFile).empty());
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
}

// After a transfer that failed, the link is closed and can be opened again.
TEST_P(CommandOnLink, LinkIsClosedAfterAFailedTransfer) {
    ScriptedPlatform ui;
    SimSession session("etrex", GetParam());
    session.sim->generate(5, 0, 0, 0, 0);
    session.sim->faults.endAfterRecords = 2;
    session.start();
    const std::string file = tempFile("again.mif");
    for (int run = 0; run < 2; run++) {
        ui.queueSaveFile(file);
        ui.queueYesNo(false);
        runCommand(DownloadWaypoints, session.port, MapInfoMif, PointObjects);
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kPrematureEnd, kPrematureEnd}));
    EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
    EXPECT_FALSE(fileExists(file));
}

// A second command dispatched while one runs is refused with a beep.
TEST_P(CommandOnLink, SecondCommandWhileBusyIsRefused) {
    ScriptedPlatform ui;
    SimSession session("etrex", GetParam());
    session.sim->generate(2, 0, 0, 0, 0);
    session.start();
    ui.queueSaveFile(tempFile("busy.mif"));
    ui.queueYesNo(false);
    static Port port;
    port = session.port;
    ui.onPump = [](void*) {
        if (transferBusy) runCommand(DeviceInfo, port, MapInfoMif, LineObjects);
    };
    runCommand(DownloadWaypoints, session.port, MapInfoMif, PointObjects);
    EXPECT_FALSE(ui.eventsOf(ScriptedEvent::Beep).empty());
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::DeviceInfoDialog).empty());
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00002 Punkte)."}));
}

// A USB receiver that ignores the product request: nothing is sent to it,
// and what it would send is not written, since its formats are unknown.
TEST(Command, UsbReceiverThatNeverIdentifiedItselfIsNotServedBlind) {
    for (bool upload : {true, false}) {
        ScriptedPlatform ui;
        clearProtocolSet();
        SimSession session("etrex", SimLink::Usb);
        session.sim->generate(3, 0, 0, 0, 0);
        session.sim->usbInterruptOnly = true;
        session.sim->faults.silenceStage = SimStage::ProductRequest;
        session.sim->faults.silenceMs = -1;
        session.start();
        const std::string file = tempFile("blind.mif");
        if (!upload) {
            ui.queueSaveFile(file);
            ui.queueYesNo(false);
        }
        runCommand(upload ? UploadWaypoints : DownloadWaypoints, kUsbPort, MapInfoMif, PointObjects);
        const std::vector<std::string> boxes = ui.boxTexts();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.front(), "Fehler bei Lesen vom USB-Anschluss.");
        EXPECT_EQ(boxes.back(), "Fehler beim Aufbau der Verbindung zum GPS-Gerät.");
        EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
        EXPECT_FALSE(fileExists(file));
        if (upload) {
            EXPECT_TRUE(ui.eventsOf(ScriptedEvent::OpenFile).empty());
            EXPECT_EQ(session.sim->uploadLog().recordPackets, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Links, CommandOnLink, ::testing::Values(SimLink::Usb, SimLink::Serial),
                         [](const ::testing::TestParamInfo<SimLink>& info) {
                             return std::string(linkName(info.param));
                         });

}  // namespace
