// The serial packet link on a scripted line: wire bytes, stuffing, checksum,
// time-outs on the fake clock, write retries and the opening exchange.

#include <gtest/gtest.h>

#include <cstring>

#include "link/packet.h"
#include "tests/link/link_fakes.h"
#include "tests/support/scripted_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

Packet built(uint8_t id, const Bytes& data) {
    uint8_t buffer[255] = {};
    for (size_t i = 0; i < data.size(); i++) buffer[i] = data[i];
    Packet p;
    p.build(id, (uint8_t)data.size(), buffer);
    return p;
}

Bytes sent(uint8_t id, const Bytes& data) {
    FakeSerialPeer line;
    Packet p = built(id, data);
    EXPECT_EQ(p.send(serialLink(1), 1), 1);
    return line.takeWritten();
}

TEST(PacketWire, ProductRequestAndAck) {
    EXPECT_EQ(sent(254, {}), (Bytes{16, 254, 0, 2, 16, 3}));
    EXPECT_EQ(sent(6, {35, 0}), (Bytes{16, 6, 2, 35, 0, 213, 16, 3}));
}

TEST(PacketWire, StuffingOfSizeDataAndChecksum) {
    // Records packet announcing 16 records: the data byte is doubled, the
    // checksum is taken over the undoubled bytes.
    EXPECT_EQ(sent(27, {16, 0}), (Bytes{16, 27, 2, 16, 16, 0, 211, 16, 3}));
    // A size of 16.
    Bytes sixteen(16, 1);
    Bytes wire = sent(35, sixteen);
    ASSERT_GE(wire.size(), 4u);
    EXPECT_EQ(wire[2], 16);
    EXPECT_EQ(wire[3], 16);
    EXPECT_EQ(wire.size(), 2u + 2u + 16u + 1u + 2u);
    // A checksum of 16: id 10, size 2, data {228, 0} sums to 240.
    EXPECT_EQ(sent(10, {228, 0}), (Bytes{16, 10, 2, 228, 0, 16, 16, 16, 3}));
    // The id is never doubled.
    EXPECT_EQ(sent(16, {}), (Bytes{16, 16, 0, 240, 16, 3}));
}

TEST(PacketBuild, ChecksumAndFullCopy) {
    uint8_t buffer[255];
    for (int i = 0; i < 255; i++) buffer[i] = (uint8_t)i;
    Packet p;
    EXPECT_EQ(p.build(35, 3, buffer), 1);
    EXPECT_EQ(p.id, 35);
    EXPECT_EQ(p.size, 3);
    EXPECT_EQ(p.data[254], 254);  // all 255 bytes copied
    EXPECT_EQ((uint8_t)(35 + 3 + 0 + 1 + 2 + p.checksum), 0);
}

TEST(PacketReceive, StuffedChecksumAndData) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    line.feed(Bytes{16, 10, 2, 228, 0, 16, 16, 16, 3});
    line.feed(Bytes{16, 27, 2, 16, 16, 0, 211, 16, 3});
    Packet p;
    ASSERT_EQ(p.receive(serialLink(1), 1, 5.0), 1);
    EXPECT_EQ(p.id, 10);
    EXPECT_EQ(p.size, 2);
    EXPECT_EQ(p.data[0], 228);
    EXPECT_EQ(p.checksum, 16);
    ASSERT_EQ(p.receive(serialLink(1), 1, 5.0), 1);
    EXPECT_EQ(p.id, 27);
    EXPECT_EQ(p.data[0], 16);
    EXPECT_EQ(p.data[1], 0);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(PacketReceive, SilentFailuresOfFraming) {
    ScriptedPlatform ui;
    Packet p;
    {
        FakeSerialPeer line;  // stray byte before the leading DLE: consumed, no search
        line.feed(Bytes{0x55});
        line.feed(frame(35, {1}));
        EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
        EXPECT_EQ(line.incoming.size(), frame(35, {1}).size());
    }
    {
        FakeSerialPeer line;  // closing DLE wrong
        line.feed(Bytes{16, 6, 2, 35, 0, 213, 17, 3});
        EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    }
    {
        FakeSerialPeer line;  // ETX wrong
        line.feed(Bytes{16, 6, 2, 35, 0, 213, 16, 4});
        EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    }
    {
        FakeSerialPeer line;  // stuffing partner wrong
        line.feed(Bytes{16, 27, 2, 16, 17, 0, 211, 16, 3});
        EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    }
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(PacketReceive, ChecksumErrorReportedOnlyWhenAsked) {
    ScriptedPlatform ui;
    Packet p;
    {
        FakeSerialPeer line;
        line.feed(Bytes{16, 6, 2, 35, 0, 214, 16, 3});
        EXPECT_EQ(p.receive(serialLink(1), 0, 5.0), 0);
    }
    EXPECT_TRUE(ui.boxTexts().empty());
    {
        FakeSerialPeer line;
        line.feed(Bytes{16, 6, 2, 35, 0, 214, 16, 3});
        EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Prüfsummenfehler in empfangenem Datenpacket."}));
    ASSERT_EQ(ui.events().size(), 1u);
    EXPECT_EQ(ui.events()[0].title, "FEHLER");
    EXPECT_EQ(ui.events()[0].icon, BoxIcon::Warning);
}

TEST(PacketReceive, SilentReceiverTimesOutAfterSecondEmptyRead) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    Packet p;
    EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    EXPECT_EQ(line.emptyReads, 2);
    EXPECT_EQ(line.elapsed(), 6000u);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Einlesen vom seriellen Anschluss."}));

    ui.clearEvents();
    line.emptyReads = 0;
    line.startMs = line.now;
    EXPECT_EQ(p.receive(serialLink(1), 1, 1.0), 0);
    EXPECT_EQ(line.emptyReads, 1);
    EXPECT_EQ(line.elapsed(), 3000u);

    ui.clearEvents();
    EXPECT_EQ(p.receive(serialLink(1), 0, 5.0), 0);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(PacketReceive, DeadlineCountsFromStartOfCall) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    // One empty read (3 s), then the packet: within 5 s, accepted.
    line.feedSilence(1);
    line.feed(ackFrame(35));
    Packet p;
    EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 1);
    // Two empty reads in the middle of a packet: 6 s > 5 s.
    Bytes ack = ackFrame(35);
    line.feed(Bytes(ack.begin(), ack.begin() + 3));
    line.feedSilence(2);
    line.feed(Bytes(ack.begin() + 3, ack.end()));
    EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Einlesen vom seriellen Anschluss."}));
}

TEST(PacketReceive, StuffingPartnerBoundIsOneSecond) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    line.feed(Bytes{16, 27, 2, 16});
    line.feedSilence(1);
    line.feed(Bytes{16, 0, 211, 16, 3});
    Packet p;
    EXPECT_EQ(p.receive(serialLink(1), 1, 5.0), 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Einlesen (DLE) vom seriellen Anschluss."}));
}

TEST(PacketSend, WriteRetriesUntilFiveSeconds) {
    ScriptedPlatform ui;
    Packet p = built(254, {});
    {
        FakeSerialPeer line;
        line.failWritesFrom = 0;  // every write fails, 1 s each
        EXPECT_EQ(p.send(serialLink(1), 1), 0);
        EXPECT_EQ(line.writeCalls, 6);  // fails once more than 5.0 s have passed
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Ausgabe zum seriellen Anschluss."}));
    ui.clearEvents();
    {
        FakeSerialPeer line;
        line.failWritesFrom = 0;
        EXPECT_EQ(p.send(serialLink(1), 0), 0);
    }
    EXPECT_TRUE(ui.boxTexts().empty());
    {
        // The doubled byte of a stuffed pair: DLE, id, size 2, 16 | 16 ...
        FakeSerialPeer line;
        Packet q = built(27, {16, 0});
        line.failWritesFrom = 4;
        EXPECT_EQ(q.send(serialLink(1), 1), 0);
        EXPECT_EQ(line.written, (Bytes{16, 27, 2, 16}));
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Ausgabe (DLE) zum seriellen Anschluss."}));
}

TEST(PacketSend, FailedWritesAreRepeated) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    line.failFirstWrites = 4;  // 4 s of failures: still within the 5.0 s
    Packet p = built(254, {});
    EXPECT_EQ(p.send(serialLink(1), 1), 1);
    EXPECT_EQ(line.writeCalls, 10);
    EXPECT_EQ(line.written, (Bytes{16, 254, 0, 2, 16, 3}));
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(AckRule, SendAckBytes) {
    FakeSerialPeer line;
    EXPECT_EQ(sendAck(serialLink(1), 255), 1);
    EXPECT_EQ(line.written, (Bytes{16, 6, 2, 255, 0, 249, 16, 3}));
}

TEST(OpeningExchange, AttemptsPausesAndSuccess) {
    ScriptedPlatform ui;
    {
        FakeSerialPeer line;
        Packet p = built(254, {});
        EXPECT_EQ(openingExchange(serialLink(1), p, 3, 200), 0);
        // Three requests on the wire.
        Bytes one = {16, 254, 0, 2, 16, 3};
        Bytes three;
        for (int i = 0; i < 3; i++) three.insert(three.end(), one.begin(), one.end());
        EXPECT_EQ(line.written, three);
    }
    std::vector<int> pauses;
    int pumps = 0;
    for (const ScriptedEvent& e : ui.events()) {
        if (e.kind == ScriptedEvent::Pause) pauses.push_back(e.number);
        if (e.kind == ScriptedEvent::Pump) pumps++;
    }
    EXPECT_EQ(pauses, (std::vector<int>{200, 1000, 200, 1000, 200}));
    EXPECT_EQ(pumps, 2);
    EXPECT_TRUE(ui.boxTexts().empty());

    ui.clearEvents();
    {
        // A NAK is no acceptance; the ACK of the second attempt is.
        FakeSerialPeer line;
        line.feed(frame(21, {254, 0}));
        line.feed(ackFrame(254));
        Packet p = built(10, {7, 0});
        EXPECT_EQ(openingExchange(serialLink(1), p, 5, 100), 1);
        EXPECT_EQ(line.written.size(), 2u * 8u);
        EXPECT_EQ(p.id, 6);
    }
    EXPECT_TRUE(ui.boxTexts().empty());
}

}  // namespace
