// The receiver simulator through the program's own packet link over a pty:
// download sequences per profile, uploads, its data file, faults and pacing;
// and the wegmate-sim program.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/device_info.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"
#include "records/record_formats.h"

extern char** environ;

namespace {

using Texts = std::vector<std::string>;

struct Received {
    std::vector<SimPacket> packets;
    bool complete = false;
};

// The host side of a download as the transfers run it: command with the
// opening exchange, then every packet acknowledged until 12.
Received download(int command) {
    Received r;
    uint8_t data[255] = {};
    data[0] = (uint8_t)command;
    Packet p;
    p.build(10, 2, data);
    if (!openingExchange(serialLink(1), p, 5, 100)) return r;
    for (int guard = 0; guard < 100000; guard++) {
        if (!p.receive(serialLink(1), 1, 5.0)) return r;
        r.packets.push_back(SimPacket{p.id, std::vector<uint8_t>(p.data, p.data + p.size)});
        if (p.id != 6 && p.id != 21 && !sendAck(serialLink(1), p.id)) return r;
        if (p.id == 12) {
            r.complete = true;
            return r;
        }
    }
    return r;
}

// Sends one packet and reads the receiver's answer id (0 = none).
int sendAndAnswer(uint8_t id, const uint8_t* data, int size) {
    uint8_t buffer[255] = {};
    if (size > 0) memcpy(buffer, data, (size_t)size);
    Packet p;
    p.build(id, (uint8_t)size, buffer);
    if (!p.send(serialLink(1), 1)) return 0;
    if (!p.receive(serialLink(1), 1, 5.0)) return 0;
    return p.id;
}

struct SimLink {
    explicit SimLink(Simulator& s) : sim(s) {
        setSerialDeviceOverride(1, sim.startPty());
        EXPECT_EQ(openSerialPort(1), 1);
    }
    ~SimLink() {
        closeLink();
        sim.stop();
        setSerialDeviceOverride(1, "");
    }
    Simulator& sim;
};

int countId(const Received& r, uint8_t id) {
    int n = 0;
    for (const SimPacket& p : r.packets) n += p.id == id;
    return n;
}

int recordsCount(const Received& r) {
    return r.packets.empty() || r.packets[0].id != 27 ? -1 : r.packets[0].data[0] | (r.packets[0].data[1] << 8);
}

TEST(SimulatorDownload, WaypointsInTheProfileFormat) {
    for (const std::string& name : simProfileNames()) {
        SCOPED_TRACE(name);
        ScriptedPlatform ui;
        Simulator sim(*findSimProfile(name));
        sim.generate(7, 0, 0, 0, 0);
        SimLink link(sim);
        Received r = download(7);
        ASSERT_TRUE(r.complete);
        EXPECT_EQ(recordsCount(r), 7);
        ASSERT_EQ(countId(r, 35), 7);
        EXPECT_EQ(r.packets.back().data, (std::vector<uint8_t>{7, 0}));
        // Decoded in the format the profile names, the data come back exactly.
        SimWaypointFormat f = sim.profile.waypointFormat;
        const std::pair<SimWaypointFormat, WaypointFormat> formats[] = {
            {SimWaypointFormat::D100, WaypointFormat::D100}, {SimWaypointFormat::D101, WaypointFormat::D101},
            {SimWaypointFormat::D102, WaypointFormat::D102}, {SimWaypointFormat::D103, WaypointFormat::D103},
            {SimWaypointFormat::D104, WaypointFormat::D104}, {SimWaypointFormat::D107, WaypointFormat::D107},
            {SimWaypointFormat::D108, WaypointFormat::D108}, {SimWaypointFormat::D109, WaypointFormat::D109},
            {SimWaypointFormat::D110, WaypointFormat::D110}, {SimWaypointFormat::D105, WaypointFormat::D105},
            {SimWaypointFormat::D106, WaypointFormat::D106}};
        WaypointFormat format = WaypointFormat::D100;
        for (const auto& [simFormat, recordFormat] : formats)
            if (simFormat == f) format = recordFormat;
        for (int i = 0; i < 7; i++) {
            PointRecord rec;
            memset(&rec, 0, sizeof rec);
            const SimPacket& p = r.packets[1 + i];
            decodeWaypoint(p.data.data(), (int)p.data.size(), format, rec);
            EXPECT_EQ(std::string(rec.NameOfPoint), sim.waypoints[i].name);
            EXPECT_EQ(rec.Latitude, sim.waypoints[i].lat);
            EXPECT_EQ(rec.Longitude, sim.waypoints[i].lon);
            if (f != SimWaypointFormat::D100) {  // D100 has no symbol
                EXPECT_EQ(rec.Symbol, sim.waypoints[i].symbol);
            }
        }
        EXPECT_TRUE(ui.boxTexts().empty());
    }
}

TEST(SimulatorDownload, RoutesAndTracksPerProfile) {
    struct Expect {
        const char* profile;
        int routeRecords;  // 2 routes of 3 points
        int trackRecords;  // 2 tracks of 60 points
    };
    // A201: header + 3 points + 2 links per route; A200: header + points.
    // A301: header + points; D304 adds two gap markers per new segment
    // (every 50 points, not at a track's start); A300: points only.
    const Expect cases[] = {{"etrex", 12, 122}, {"gps76", 12, 122}, {"d100", 8, 120}, {"d110", 12, 126}};
    for (const Expect& e : cases) {
        SCOPED_TRACE(e.profile);
        ScriptedPlatform ui;
        Simulator sim(*findSimProfile(e.profile));
        sim.generate(0, 2, 3, 2, 60);
        SimLink link(sim);
        Received routes = download(4);
        ASSERT_TRUE(routes.complete);
        EXPECT_EQ(recordsCount(routes), e.routeRecords);
        EXPECT_EQ((int)routes.packets.size(), e.routeRecords + 2);
        EXPECT_EQ(countId(routes, 29), 2);
        EXPECT_EQ(countId(routes, 30), 6);
        Received tracks = download(6);
        ASSERT_TRUE(tracks.complete);
        EXPECT_EQ(recordsCount(tracks), e.trackRecords);
        EXPECT_EQ(countId(tracks, 99), sim.profile.trackHeaderFormat == SimTrackHeaderFormat::None ? 0 : 2);
        EXPECT_EQ(tracks.packets.back().data, (std::vector<uint8_t>{6, 0}));
        EXPECT_TRUE(ui.boxTexts().empty());
    }
}

TEST(SimulatorUpload, AcknowledgedAndStored) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    SimLink link(sim);
    uint8_t out[255];
    PointRecord rec =
        makePoint({.name = "HOME", .comment = "Haus am See", .lat = 50.5, .lon = -8.25, .altitude = 123.5f});
    rec.Symbol = 10;
    rec.HasSymbol = 1;
    uint8_t count[2] = {1, 0};
    EXPECT_EQ(sendAndAnswer(27, count, 2), 6);
    int n = encodeWaypoint(rec, WaypointFormat::D108, out);
    EXPECT_EQ(sendAndAnswer(35, out, n), 6);
    EXPECT_EQ(sendAndAnswer(12, count, 2), 6);
    SimUploadLog log = sim.uploadLog();
    EXPECT_EQ(log.transfers, 1);
    EXPECT_EQ(log.announcedRecords, 1);
    EXPECT_EQ(log.recordPackets, 1);
    EXPECT_EQ(log.transferCompleteCount, 1);
    ASSERT_EQ(log.waypoints.size(), 1u);
    EXPECT_EQ(log.waypoints[0].name, "HOME");
    EXPECT_EQ(log.waypoints[0].comment, "Haus am See");
    EXPECT_NEAR(log.waypoints[0].lat, 50.5, 1e-7);
    EXPECT_NEAR(log.waypoints[0].lon, -8.25, 1e-7);
    EXPECT_EQ(log.waypoints[0].symbol, 10);
    ASSERT_EQ(log.packets.size(), 3u);
    EXPECT_EQ(log.packets[1].data, std::vector<uint8_t>(out, out + n));
    // Stored: a download returns it.
    Received r = download(7);
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(countId(r, 35), 1);
    // Unknown packets are acknowledged too.
    EXPECT_EQ(sendAndAnswer(200, count, 2), 6);
}

TEST(SimulatorUpload, TransferCompleteWrittenJustBeforeStop) {
    // The upload sends packet 12 without awaiting an answer and closes the
    // line; stop() still takes it.
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("d100"));
    setSerialDeviceOverride(1, sim.startPty());
    ASSERT_EQ(openSerialPort(1), 1);
    uint8_t count[255] = {0, 0};
    Packet p;
    p.build(27, 2, count);
    ASSERT_EQ(p.send(serialLink(1), 1), 1);
    p.build(12, 2, count);
    ASSERT_EQ(p.send(serialLink(1), 1), 1);
    closeLink();
    sim.stop();
    setSerialDeviceOverride(1, "");
    SimUploadLog log = sim.uploadLog();
    EXPECT_EQ(log.transfers, 1);
    EXPECT_EQ(log.transferCompleteCount, 0);
    ASSERT_EQ(log.packets.size(), 2u);
}

TEST(SimulatorData, SaveLoadRoundTripAndMalformedFiles) {
    Simulator a(*findSimProfile("etrex"));
    a.generate(3, 2, 2, 1, 5);
    a.waypoints[0].name =
        "Stra\xDF"
        "e";  // Windows-1252 bytes kept
    a.waypoints[0].altitude = 1e25f;
    TempDir dir("sim");
    const std::string path = dir.file("data.txt");
    ASSERT_TRUE(a.save(path));
    Simulator b(*findSimProfile("d100"));
    ASSERT_TRUE(b.load(path));
    ASSERT_EQ(b.waypoints.size(), 3u);
    EXPECT_EQ(b.waypoints[0].name,
              "Stra\xDF"
              "e");
    EXPECT_EQ(b.waypoints[0].altitude, 1e25f);
    EXPECT_EQ(b.waypoints[2].comment, "Punkt 3");
    EXPECT_DOUBLE_EQ(b.waypoints[1].lat, a.waypoints[1].lat);
    EXPECT_EQ(b.waypoints[1].time, a.waypoints[1].time);
    ASSERT_EQ(b.routes.size(), 2u);
    EXPECT_EQ(b.routes[1].name, "ROUTE 2");
    EXPECT_EQ(b.routes[1].points.size(), 2u);
    ASSERT_EQ(b.tracks.size(), 1u);
    EXPECT_EQ(b.tracks[0].points.size(), 5u);
    EXPECT_TRUE(b.tracks[0].points[0].newSegment);
    EXPECT_FALSE(b.tracks[0].points[1].newSegment);

    const std::string bad = dir.file("bad.txt");
    writeFile(bad, "# comment\nP\tX\t\t1\t2\t3\t0\t0\t0\t0\n");  // route point without route
    EXPECT_FALSE(b.load(bad));
    EXPECT_EQ(b.waypoints.size(), 3u);  // unchanged
    writeFile(bad, "W\tX\t\tnorth\t2\t3\t0\t0\t0\t0\n");
    EXPECT_FALSE(b.load(bad));
    EXPECT_FALSE(b.load(dir.file("missing.txt")));
}

TEST(SimulatorFaults, NakBurstMakesTheOpeningRetry) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(2, 0, 0, 0, 0);
    sim.faults.nakBurst = 2;
    sim.faults.nakFrom = 1;
    SimLink link(sim);
    Received r = download(7);
    EXPECT_TRUE(r.complete);
    // Three commands went out: two NAKed, the third accepted.
    std::vector<uint8_t> ids = sim.hostPacketIds();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 10), 3);
    EXPECT_EQ(ui.totalPauseMs(), 3 * 100 + 2 * 1000);
}

TEST(SimulatorFaults, CorruptedByteGivesChecksumError) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(2, 0, 0, 0, 0);
    // ACK of the command is 8 bytes, the records packet starts at 8; its
    // first data byte is byte 11.
    sim.faults.corruptByteAt = 11;
    SimLink link(sim);
    Received r = download(7);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(ui.boxTexts(), Texts{"Prüfsummenfehler in empfangenem Datenpacket."});
}

TEST(SimulatorFaults, DroppedByteBreaksTheFrame) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(2, 0, 0, 0, 0);
    sim.faults.dropByteAt = 8;  // the leading DLE of the records packet
    SimLink link(sim);
    Received r = download(7);
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.packets.empty());
    EXPECT_TRUE(ui.boxTexts().empty());  // framing errors are silent
}

TEST(SimulatorFaults, PrematureEndAndWrongCount) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("gps76"));
    sim.generate(5, 0, 0, 0, 0);
    sim.faults.endAfterRecords = 2;
    sim.faults.recordsCountDelta = 3;
    SimLink link(sim);
    Received r = download(7);
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(recordsCount(r), 8);
    EXPECT_EQ(countId(r, 35), 2);
}

TEST(SimulatorFaults, SilenceBeforeARecord) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(3, 0, 0, 0, 0);
    sim.faults.silenceStage = SimStage::Record;
    sim.faults.silenceRecord = 1;
    sim.faults.silenceMs = -1;
    SimLink link(sim);
    Received r = download(7);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(countId(r, 35), 1);
    EXPECT_EQ(ui.boxTexts(), Texts{"Fehler beim Einlesen vom seriellen Anschluss."});
}

TEST(SimulatorFaults, UnansweredProductRequest) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.faults.silenceStage = SimStage::ProductRequest;
    sim.faults.silenceMs = 3000;  // the first attempt goes unanswered
    SimLink link(sim);
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 1), 1);
    std::vector<uint8_t> ids = sim.hostPacketIds();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 254), 2);
    EXPECT_EQ(sim.productRequests(), 1);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(SimulatorPacing, NoFasterThan9600Baud) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(10, 0, 0, 0, 0);
    sim.pacing = true;
    SimLink link(sim);
    auto start = std::chrono::steady_clock::now();
    Received r = download(7);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(r.complete);
    // 960 bytes per second at most.
    EXPECT_GE(seconds, (double)sim.bytesSent() / 960.0 * 0.95);
    EXPECT_GT(sim.bytesSent(), 500);

    // The host's bytes take their line time too: the ACK of a full packet
    // (263 bytes out, 8 back) comes no sooner than both frames need.
    uint8_t full[255];
    memset(full, 0x41, sizeof full);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(sendAndAnswer(200, full, 255), 6);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, (263 + 8) / 960.0 * 0.95);
}

TEST(SimulatorUpload, RawRecordsComeBackByteForByte) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("d103"));
    sim.generate(3, 1, 2, 1, 5);  // replaced by the uploads, not mixed with them
    sim.rawRecords = true;
    SimLink link(sim);
    // Bytes no D103 record would hold (too long, a D108 layout): kept as sent.
    const std::vector<std::vector<uint8_t>> waypoints = {{1, 2, 3}, std::vector<uint8_t>(120, 0xA5)};
    const std::vector<SimPacket> route = {{29, {7, 'X', 0}}, {30, {9, 9}}, {98, {}}, {30, {8}}};
    uint8_t count[2] = {2, 0};
    EXPECT_EQ(sendAndAnswer(27, count, 2), 6);
    for (const std::vector<uint8_t>& w : waypoints) EXPECT_EQ(sendAndAnswer(35, w.data(), (int)w.size()), 6);
    EXPECT_EQ(sendAndAnswer(12, count, 2), 6);
    count[0] = 4;
    EXPECT_EQ(sendAndAnswer(27, count, 2), 6);
    for (const SimPacket& p : route) EXPECT_EQ(sendAndAnswer(p.id, p.data.data(), (int)p.data.size()), 6);
    EXPECT_EQ(sendAndAnswer(12, count, 2), 6);

    Received w = download(7);
    ASSERT_TRUE(w.complete);
    ASSERT_EQ(w.packets.size(), 4u);
    EXPECT_EQ(w.packets[0].data, (std::vector<uint8_t>{2, 0}));
    EXPECT_EQ(w.packets[1].data, waypoints[0]);
    EXPECT_EQ(w.packets[2].data, waypoints[1]);
    Received r = download(4);
    ASSERT_TRUE(r.complete);
    ASSERT_EQ(r.packets.size(), 6u);
    EXPECT_EQ(r.packets[0].data, (std::vector<uint8_t>{4, 0}));
    for (size_t i = 0; i < route.size(); i++) {
        EXPECT_EQ(r.packets[1 + i].id, route[i].id);
        EXPECT_EQ(r.packets[1 + i].data, route[i].data);
    }
    // Nothing uploaded for tracks: an empty log, not the generated one.
    Received t = download(6);
    ASSERT_TRUE(t.complete);
    EXPECT_EQ(t.packets.size(), 2u);
    EXPECT_EQ(sim.uploadLog().waypoints.size(), 0u);  // nothing decoded
}

TEST(SimulatorUsb, DownloadUploadAndFaults) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("d110"));
    sim.generate(4, 0, 0, 1, 120);
    sim.faults.strayUsbPackets = 1;
    UsbDriver driver = sim.usbDriver();
    installUsbDriver(&driver);
    ASSERT_EQ(openUsbDevice(), 1);
    uint8_t data[255] = {7, 0};
    Packet p;
    p.build(10, 2, data);
    ASSERT_EQ(openingExchange(usbLink(), p, 5, 100), 1);
    std::vector<uint8_t> ids;
    while (p.receive(usbLink(), 1, 5.0)) {
        ids.push_back(p.id);
        if (p.id == 12) break;
    }
    usbDrainPending();
    EXPECT_EQ(ids, (std::vector<uint8_t>{27, 35, 35, 35, 35, 12}));
    // Upload: no answers on USB, the simulator stores what came.
    uint8_t count[255] = {1, 0};
    p.build(27, 2, count);
    ASSERT_EQ(p.send(usbLink(), 1), 1);
    const PointRecord rec = makePoint({.name = "USB1", .lat = 1.5, .lon = 2.5, .altitude = 0});
    uint8_t out[255];
    int n = encodeWaypoint(rec, WaypointFormat::D110, out);
    p.build(35, (uint8_t)n, out);
    ASSERT_EQ(p.send(usbLink(), 1), 1);
    p.build(12, 2, count);
    ASSERT_EQ(p.send(usbLink(), 1), 1);
    SimUploadLog log = sim.uploadLog();
    ASSERT_EQ(log.waypoints.size(), 1u);
    EXPECT_EQ(log.waypoints[0].name, "USB1");
    EXPECT_EQ(log.transfers, 1);
    // Pulled out in the middle of a track download.
    data[0] = 6;
    p.build(10, 2, data);
    ASSERT_EQ(openingExchange(usbLink(), p, 5, 100), 1);
    sim.faults.usbUnplugAfterReads = 0;
    int got = 0;
    while (p.receive(usbLink(), 1, 5.0)) got++;
    EXPECT_EQ(got, 0);
    closeLink();
    installUsbDriver(nullptr);
    EXPECT_EQ(ui.boxTexts(), Texts{"Fehler bei Lesen vom USB-Anschluss."});
}

// ---------------------------------------------------------------- program

TEST(SimulatorProgram, ServesAPtyLinkedToAPath) {
    TempDir dir("simprog");
    const std::string linkPath = dir.file("com1");
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
    std::string program = WEGMATE_SIM_PROGRAM;
    std::vector<std::string> args = {program, "--profile", "d100", "--generate", "3,0,0,0,0", "--link", linkPath};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFd[1]);
    std::string line;
    struct pollfd pfd = {pipeFd[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&pfd, 1, 5000) > 0) {
        char buf[256];
        ssize_t n = read(pipeFd[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, (size_t)n);
    }
    close(pipeFd[0]);
    EXPECT_EQ(line.rfind("/dev/pts/", 0), 0u) << line;

    ScriptedPlatform ui;
    setSerialDeviceOverride(1, linkPath);
    ASSERT_EQ(openSerialPort(1), 1);
    EXPECT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
    Received r = download(7);
    closeLink();
    setSerialDeviceOverride(1, "");
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(countId(r, 35), 3);
    EXPECT_EQ(std::string(protocolSet()), "A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n");

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(access(linkPath.c_str(), F_OK), 0);  // the link is removed
}

}  // namespace
