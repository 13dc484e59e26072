// Downloads from the simulator: the single-track choice on USB (TRACKSELDLG)
// and on serial, and the end-of-transfer checks with a receiver that stops
// early or announces wrong counts.

#include <gtest/gtest.h>

#include <algorithm>

#include "commands/command.h"
#include "link/device_info.h"
#include "link/usb.h"
#include "transfers/download.h"
#include "tests/support/scripted_platform.h"
#include "tests/transfer/sim_session.h"
#include "tests/transfer/transfer_helpers.h"
#include "model/point_table.h"

namespace {

const char* const kPrematureEnd = "Übertragungsfehler. \nDer Datentransfer wurde vorzeitig beendet. ";
const char* const kUsbTrackQuestion =
    "Nur eine einzelne (noch auszuwählende) \nTrack-Aufzeichnung abrufen?\n"
    "(Das Erzeugen der Track-Auswahlliste kann \nu.U. bis zu einigen Minuten benötigen!)";

int commandsSent(const Simulator& sim) {
    const std::vector<uint8_t> ids = sim.hostPacketIds();
    return (int)std::count(ids.begin(), ids.end(), (uint8_t)10);
}

TEST(SimDownloadUsb, TrackListOffersTheNamesAndTheChosenTrackIsFetched) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Usb);
    session.sim->generate(0, 0, 0, 3, 40);
    session.sim->tracks[1].name = "MITTAG \xE4";  // Windows-1252 a-umlaut
    session.start();
    const std::string file = tempFile("one.mif");
    ui.queueSaveFile(file);
    ui.queueYesNo(true);
    ui.queueTrackSelect(true, 1);

    runCommand(DownloadTracks, kUsbPort, MapInfoMif, PointObjects);

    const auto questions = ui.eventsOf(ScriptedEvent::YesNo);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0]->title, "Wegmate  --  Track-Aufz.-Auswahl");
    EXPECT_EQ(questions[0]->text, kUsbTrackQuestion);
    const auto dialogs = ui.eventsOf(ScriptedEvent::TrackSelectDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->title, " Wegmate -- Auswahl Track-Aufzeichnung");
    EXPECT_EQ(dialogs[0]->text, "Wählen Sie die zu übertrag. Track-Aufzeichnung:");
    EXPECT_EQ(dialogs[0]->items, (std::vector<std::string>{"TRACK01", "MITTAG ä", "TRACK03"}));
    const auto cursor = ui.eventsOf(ScriptedEvent::WaitCursor);
    ASSERT_EQ(cursor.size(), 2u);
    EXPECT_EQ(cursor[0]->number, 1);
    EXPECT_EQ(cursor[1]->number, 0);
    // The log is read twice: once for the list, once for the chosen track.
    EXPECT_EQ(commandsSent(*session.sim), 2);

    ASSERT_EQ(pointTable.count, 40);
    for (int i = 0; i < 40; i++) {
        EXPECT_EQ(pointTable.records[i].NumberOfRouteOrTrack, 2);
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, i + 1);
    }
    EXPECT_STREQ(pointTable.records[0].NameOfRouteOrTrack, "MITTAG \xE4");
    EXPECT_EQ(ui.statusTexts()[ui.statusTexts().size() - 2],
              "  Status:   00040 (00120) von  00120  Track-Punkten empfangen.");
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00040 Punkte)."}));
    EXPECT_TRUE(fileExists(file));
}

// What the receiver still has on the bulk pipe after the transfer's end is
// read away, so the next command starts on an empty pipe.
TEST(SimDownloadUsb, BulkPipeIsEmptyAfterTheDownload) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Usb);
    session.sim->generate(3, 0, 0, 0, 0);
    session.start();
    ASSERT_EQ(openUsbDevice(), 1);
    ASSERT_EQ(queryDeviceInfo(usbLink(), 0), 1);
    ui.queueSaveFile(tempFile("drain.mif"));
    ui.queueYesNo(false);
    downloadFromDevice(usbLink(), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00003 Punkte)."}));
    EXPECT_FALSE(usbBulkPending);
    closeLink();
}

TEST(SimDownloadUsb, CancelledTrackListEndsWithoutFile) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Usb);
    session.sim->generate(0, 0, 0, 2, 5);
    session.start();
    const std::string file = tempFile("none.mif");
    ui.queueSaveFile(file);
    ui.queueYesNo(true);
    ui.queueTrackSelect(false);
    runCommand(DownloadTracks, kUsbPort, MapInfoMif, PointObjects);
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(commandsSent(*session.sim), 1);
    EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
}

TEST(SimDownloadUsb, TrackListShowsTheFirst300) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Usb);
    session.sim->generate(0, 0, 0, 302, 1);
    session.sim->usbInterruptOnly = true;  // no 10 ms pause before each bulk read
    session.start();
    ui.queueSaveFile(tempFile("many.mif"));
    ui.queueYesNo(true);
    ui.queueTrackSelect(true, 299);
    ui.recordAllStatus = false;
    runCommand(DownloadTracks, kUsbPort, MapInfoMif, PointObjects);
    ASSERT_EQ(ui.eventsOf(ScriptedEvent::TrackSelectDialog).size(), 1u);
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::TrackSelectDialog)[0]->items.size(), 300u);
    ASSERT_EQ(pointTable.count, 1);
    EXPECT_EQ(pointTable.records[0].NumberOfRouteOrTrack, 300);
}

// On USB the upload sends every packet once and reads no reply.
TEST(SimUploadUsb, RecordsPacketOnceAndNoAcknowledgements) {
    ScriptedPlatform ui;
    pointTable.reset();
    for (int i = 0; i < 3; i++) {
        PointRecord r = makePoint({.number = i + 1,
                                   .name = i == 0   ? "EINS"
                                           : i == 1 ? "ZWEI"
                                                    : "DREI",
                                   .lat = 50 + i * 0.1,
                                   .lon = 8.0});
        r.NewSegment = i == 0;
        pointTable.records[pointTable.count++] = r;
    }
    const std::string file = writeTableAsMif("usbup.mif", PointObjects);
    SimSession session("etrex", SimLink::Usb);
    session.start();
    ui.queueOpenFile(file);
    ui.queueYesNo(false);
    runCommand(UploadWaypoints, kUsbPort, MapInfoMif, LineObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0003 Punkte)."}));
    std::vector<uint8_t> ids = session.sim->hostPacketIds();
    ids.erase(std::remove(ids.begin(), ids.end(), (uint8_t)254), ids.end());
    EXPECT_EQ(ids, (std::vector<uint8_t>{27, 35, 35, 35, 12}));
    // No handshake pauses on USB: the file choice's 500 ms, the query's 1000 ms.
    std::vector<int> pauses;
    for (const ScriptedEvent* e : ui.eventsOf(ScriptedEvent::Pause)) pauses.push_back(e->number);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 50), 0);
    const SimUploadLog log = session.sim->uploadLog();
    ASSERT_EQ(log.waypoints.size(), 3u);
    EXPECT_EQ(log.waypoints[1].name, "ZWEI");
}

class SimDownload : public ::testing::TestWithParam<SimLink> {};

TEST_P(SimDownload, SerialOrUsbSingleTrackFetchesOnlyThatTrack) {
    ScriptedPlatform ui;
    // Serial: a receiver with a protocol array; one without costs a 3 s wait.
    SimSession session(GetParam() == SimLink::Serial ? "etrex" : "gps76", GetParam());
    session.sim->generate(0, 0, 0, 3, 10);
    session.start();
    ui.queueSaveFile(tempFile("single.ovl"));
    ui.queueYesNo(true);
    if (GetParam() == SimLink::Serial) {
        ui.queueYesNo(false);
        ui.queueYesNo(false);
        ui.queueYesNo(true);
    } else {
        ui.queueTrackSelect(true, 2);
    }
    runCommand(DownloadTracks, session.port, OvlBinary, LineObjects);
    ASSERT_EQ(pointTable.count, 10);
    EXPECT_EQ(pointTable.records[0].NumberOfRouteOrTrack, 3);
    EXPECT_STREQ(pointTable.records[9].NameOfRouteOrTrack, "TRACK03");
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00010 Punkte)."}));
}

TEST_P(SimDownload, EarlyEndAndWrongCountsLeaveTheOldFile) {
    for (int variant = 0; variant < 3; variant++) {
        ScriptedPlatform ui;
        SimSession session("etrex", GetParam());
        session.sim->generate(0, 2, 4, 0, 0);
        if (variant == 0) session.sim->faults.endAfterRecords = 3;
        if (variant == 1) session.sim->faults.recordsCountDelta = 1;
        if (variant == 2) session.sim->faults.recordsCountDelta = -1;
        session.start();
        const std::string file = tempFile("old.mif");
        writeFile(file, "alte Daten");
        ui.queueSaveFile(file);
        ui.queueYesNo(true);
        runCommand(DownloadWaypoints, session.port, MapInfoMif, LineObjects);
        EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kPrematureEnd})) << "variant " << variant;
        EXPECT_EQ(readFile(file), "alte Daten");
    }
}

TEST_P(SimDownload, RoutesOfEveryProfileAreNumberedWithinTheirRoutes) {
    for (const std::string& profile : simProfileNames()) {
        // The receivers without a protocol array cost a 3 s wait on serial;
        // the round trips cover them there.
        if (GetParam() == SimLink::Serial && !findSimProfile(profile)->sendsArray) continue;
        ScriptedPlatform ui;
        SimSession session(profile, GetParam());
        session.sim->generate(0, 2, 3, 0, 0);
        session.sim->routes[0].number = 3;
        session.sim->routes[1].number = 5;
        session.start();
        ui.queueSaveFile(tempFile("routes.mif"));
        ui.queueYesNo(true);
        runCommand(DownloadWaypoints, session.port, MapInfoMif, LineObjects);
        ASSERT_EQ(pointTable.count, 6) << profile;
        for (int i = 0; i < 6; i++) {
            EXPECT_EQ(pointTable.records[i].NumberOfPoint, i % 3 + 1) << profile;
            EXPECT_EQ(pointTable.records[i].NewSegment, i % 3 == 0 ? 1 : 0) << profile;
        }
        EXPECT_NE(pointTable.records[0].NumberOfRouteOrTrack, pointTable.records[3].NumberOfRouteOrTrack);
        EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00006 Punkte)."}))
            << profile;
    }
}

INSTANTIATE_TEST_SUITE_P(Links, SimDownload, ::testing::Values(SimLink::Usb, SimLink::Serial),
                         [](const ::testing::TestParamInfo<SimLink>& info) {
                             return std::string(linkName(info.param));
                         });

}  // namespace
