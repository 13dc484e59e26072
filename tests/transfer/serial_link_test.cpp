// The serial link against the simulator over a pseudo terminal, where the
// line is shared or slow: a second program is refused the port, a packet
// that the receiver sends again because its ACK came late is counted once;
// and the link trace that wegmate-cli writes with --trace.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "commands/command.h"
#include "link/link.h"
#include "link/transport.h"
#include "tests/support/scripted_platform.h"
#include "tests/transfer/sim_session.h"
#include "tests/transfer/transfer_helpers.h"
#include "model/point_table.h"

#ifdef WEGMATE_CLI_PATH

namespace {

using Texts = std::vector<std::string>;

TEST(SerialLink, SecondProgramIsRefusedThePort) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Serial);
    session.start();
    const std::string tty = session.sim->ptyPath();
    ASSERT_EQ(openSerialPort(1), 1);
    ShellRun second = runCli("info --port " + tty);
    EXPECT_TRUE(contains(second.err, "Fehler beim Initialisieren der seriellen Schnittstelle.\n" + tty +
                                         " wird von einem anderen Programm benutzt."))
        << second.err;
    EXPECT_EQ(session.sim->productRequests(), 0);
    closeLink();
    // Once the port is free again the other program gets it.
    ShellRun later = runCli("info --port " + tty);
    EXPECT_FALSE(contains(later.err, "Fehler beim Initialisieren")) << later.err;
    EXPECT_EQ(session.sim->productRequests(), 1);
    EXPECT_TRUE(ui.boxTexts().empty());
}

// The front end holds the pump for longer than the receiver waits for an
// ACK: the receiver sends the next packet again, and both copies are in the
// line when the download reads on.
TEST(SerialLink, PacketRepeatedAfterLateAckIsCountedOnce) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Serial);
    session.sim->generate(0, 0, 0, 1, 30);
    session.start();
    const std::string file = tempFile("late-ack.mif");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);  // all track logs
    struct Hold {
        int pumps = 0;
    } hold;
    ui.onPump = [](void* context) {
        auto* h = static_cast<Hold*>(context);
        if (transferBusy && ++h->pumps == 12) std::this_thread::sleep_for(std::chrono::milliseconds(4600));
    };
    ui.onPumpContext = &hold;

    runCommand(DownloadTracks, comPort(1), MapInfoMif, PointObjects);

    ui.onPump = nullptr;
    EXPECT_GE(hold.pumps, 12);
    EXPECT_EQ(ui.questionTexts().size(), 1u);
    EXPECT_EQ(ui.boxTexts(), Texts{"Übertragung erfolgreich beendet (00030 Punkte)."});
    EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
    ASSERT_EQ(pointTable.count, 30);
    for (int i = 0; i < 30; i++) {
        EXPECT_NEAR(pointTable.records[i].Latitude, session.sim->tracks[0].points[i].lat, 1e-6) << i;
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, i + 1) << i;
    }
    EXPECT_TRUE(fileExists(file));
}

// The single-track question comes before the ACK of the first track header
// and stays open longer than the receiver waits: the header comes again.
TEST(SerialLink, HeaderRepeatedWhileTheQuestionWasOpenIsCountedOnce) {
    ScriptedPlatform ui;
    SimSession session("etrex", SimLink::Serial);
    session.sim->generate(0, 0, 0, 2, 10);
    session.start();
    const std::string file = tempFile("late-question.mif");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);  // all track logs
    ui.questionHoldMs = 4600;

    runCommand(DownloadTracks, comPort(1), MapInfoMif, PointObjects);

    EXPECT_EQ(ui.questionTexts().size(), 1u);
    EXPECT_EQ(ui.boxTexts(), Texts{"Übertragung erfolgreich beendet (00020 Punkte)."});
    ASSERT_EQ(pointTable.count, 20);
    EXPECT_EQ(pointTable.records[19].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(pointTable.records[19].NumberOfPoint, 10);
    EXPECT_TRUE(fileExists(file));
}

// --trace FILE: the opening and closing of the link and every packet in
// both directions, with time stamp, link, id, size and the bytes.
TEST(LinkTrace, EveryPacketOfACommandOnBothLinks) {
    for (const char* port : {"sim", "sim-usb"}) {
        SCOPED_TRACE(port);
        const std::string trace = tempFile("link.trace");
        runCli(std::string("info --port ") + port + " --trace " + trace);
        ASSERT_TRUE(fileExists(trace));
        const bool usb = std::string(port) == "sim-usb";
        const std::string link = usb ? "USB" : "COM1";
        const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\S+) (.*)$)");
        const std::regex packet(usb ? R"(^([<>]) type (\d+) id (\d+) size (\d+)(?: \([^)]*\))? \|((?: [0-9a-f]{2})*)$)"
                                    : R"(^([<>]) id (\d+) size (\d+)(?: \([^)]*\))? \|((?: [0-9a-f]{2})*)$)");
        std::istringstream lines(readFile(trace));
        std::string line;
        std::vector<std::string> events;
        std::vector<std::string> sent, received;
        while (std::getline(lines, line)) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, stamp)) << line;
            if (m[1] != link) continue;
            const std::string rest = m[2];
            std::smatch p;
            if (std::regex_match(rest, p, packet)) {
                const size_t idGroup = usb ? 3 : 2;
                const size_t sizeGroup = idGroup + 1;
                const std::string bytes = p[sizeGroup + 1];
                // USB: the 12 header bytes and the data; serial: the data.
                const size_t count = std::stoul(p[sizeGroup]) + (usb ? 12 : 0);
                EXPECT_EQ(bytes.size(), 3 * count) << line;
                (p[1] == ">" ? sent : received).push_back(p[idGroup]);
            } else {
                events.push_back(rest.substr(0, 5));
            }
        }
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front(), "open ");
        EXPECT_EQ(events.back(), "close");
        if (usb) {
            ASSERT_GE(sent.size(), 2u);
            EXPECT_EQ(sent[0], "5");  // start session
            EXPECT_EQ(sent[1], "254");
            EXPECT_NE(std::find(received.begin(), received.end(), "6"), received.end());
        } else {
            EXPECT_EQ(sent, (Texts{"254", "6", "6"}));  // the request and two ACKs
        }
        EXPECT_NE(std::find(received.begin(), received.end(), "255"), received.end());
        EXPECT_NE(std::find(received.begin(), received.end(), "253"), received.end());
    }
}

}  // namespace

#endif
