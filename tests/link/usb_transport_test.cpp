// The USB transport and the packet layer on USB, against scripted driver
// chunks: session start, interrupt chunking, bulk pending state, the
// zero-length-write rule and every USB message.

#include <gtest/gtest.h>

#include <libusb-1.0/libusb.h>

#include "link/drive.h"
#include "link/link.h"
#include "link/packet.h"
#include "link/transport.h"
#include "link/usb.h"
#include "tests/link/link_fakes.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
const Bytes kFail = {0xEE};  // a scripted driver failure

const Bytes kStartSession = {0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0};

Bytes sessionStarted() { return ScriptedUsb::packet(0, 6, {1, 2, 3, 4}); }

// Opens the scripted device; the session answer is queued first.
void openScripted(ScriptedUsb& usb) {
    usb.interrupt.push_front(sessionStarted());
    ASSERT_EQ(openUsbDevice(), 1);
    usb.writes.clear();
}

TEST(UsbOpen, StartSessionAndNoReceiver) {
    ScriptedPlatform ui;
    {
        ScriptedUsb usb;
        usb.interrupt.push_back(ScriptedUsb::packet(0, 99, {}));  // discarded
        usb.interrupt.push_back(sessionStarted());
        EXPECT_EQ(openUsbDevice(), 1);
        ASSERT_EQ(usb.writes.size(), 1u);
        EXPECT_EQ(usb.writes[0], kStartSession);
        EXPECT_EQ(usbPacketSize, 64u);
        EXPECT_EQ(usbLinkOpen(), 1);
        closeLink();
        EXPECT_EQ(usbLinkOpen(), 0);
        EXPECT_EQ(usb.closeCalls, 1);
    }
    {
        ScriptedUsb usb;
        usb.openOk = false;  // no receiver attached: no message of its own
        EXPECT_EQ(openUsbDevice(), 0);
        EXPECT_TRUE(usb.writes.empty());
    }
    {
        ScriptedUsb usb;
        usb.packetSize = 0;  // the size query failed
        EXPECT_EQ(openUsbDevice(), 0);
        EXPECT_EQ(usb.closeCalls, 1);
    }
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(UsbOpen, LibusbWithoutReceiverFailsSilently) {
    // The real driver: no Garmin receiver is attached to a build machine.
    ScriptedPlatform ui;
    installUsbDriver(nullptr);
    EXPECT_EQ(openUsbDevice(), 0);
    EXPECT_EQ(usbLinkOpen(), 0);
    closeLink();
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(UsbOpen, SessionFailuresShowTheirMessages) {
    ScriptedPlatform ui;
    {
        ScriptedUsb usb;
        usb.failWritesFrom = 0;
        EXPECT_EQ(openUsbDevice(), 0);
        EXPECT_EQ(usbLinkOpen(), 0);
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Ausgabe zum USB-Anschluss."}));
    ui.clearEvents();
    {
        ScriptedUsb usb;  // nothing answers the start session, sent three times
        EXPECT_EQ(openUsbDevice(), 0);
        EXPECT_EQ(usbLinkOpen(), 0);
        EXPECT_EQ(usb.writes, (std::vector<Bytes>{kStartSession, kStartSession, kStartSession}));
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Lesen vom USB-Anschluss."}));
}

// The port USB while the receiver is mounted as a drive: the message names
// the port to choose instead, and a serial port that cannot be opened names
// the device and the cause.
TEST(UsbOpen, OpenFailuresSayWhy) {
    ScriptedPlatform ui;
    TempDir dir("usbdrive");
    const std::string etrex = std::string(WEGMATE_SOURCE_DIR) + "/tests/drive/trees/etrex30";
    writeFile(dir.file("mounts"), "/dev/sdb1 " + etrex + " vfat rw 0 0\n");
    setMountTablePath(dir.file("mounts"));
    {
        ScriptedUsb usb;
        usb.openOk = false;
        EXPECT_EQ(openLink(kUsbPort), nullptr);
    }
    setMountTablePath("");
    setSerialDeviceOverride(2, dir.file("ttyNone"));
    EXPECT_EQ(openLink(comPort(2)), nullptr);
    setSerialDeviceOverride(2, "");
    EXPECT_EQ(ui.boxTexts(),
              (std::vector<std::string>{"Fehler beim Initialisieren der USB-Verbindung.\nEin Garmin-Gerät ist als "
                                        "Laufwerk eingehängt: wählen Sie als Anschluss \"Garmin-Laufwerk (eTrex 30)\".",
                                        "Fehler beim Initialisieren der seriellen Schnittstelle.\nDas Gerät " +
                                            dir.file("ttyNone") +
                                            " gibt es nicht. Ist der Empfänger oder sein Adapter angeschlossen?"}));
}

// A receiver pulled out during the session start: one start-session packet,
// one message, no retries into the void.
TEST(UsbOpen, GoneReceiverGetsNoMoreStartSessions) {
    ScriptedPlatform ui;
    {
        ScriptedUsb usb;
        usb.interrupt.push_back({0xDD});
        EXPECT_EQ(openUsbDevice(), 0);
        EXPECT_EQ(usb.writes, (std::vector<Bytes>{kStartSession}));
        EXPECT_EQ(usb.interruptCalls, 1);
    }
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Lesen vom USB-Anschluss."}));
}

// libusb's outcomes: a time-out after some bytes delivers them (a packet of
// whole USB packets without a zero-length one after it).
TEST(UsbLibusb, TimedOutReadKeepsItsBytes) {
    EXPECT_EQ(libusbTransferResult(0, 12), 12);
    EXPECT_EQ(libusbTransferResult(LIBUSB_ERROR_TIMEOUT, 64), 64);
    EXPECT_EQ(libusbTransferResult(LIBUSB_ERROR_TIMEOUT, 0), -1);
    EXPECT_EQ(libusbTransferResult(LIBUSB_ERROR_IO, 5), -1);
    EXPECT_EQ(libusbTransferResult(LIBUSB_ERROR_NO_DEVICE, 0), kUsbDeviceGone);
}

TEST(UsbRead, InterruptChunksOf64AndShortChunkEnds) {
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    // 76 bytes: 12-byte header and 64 data bytes arrive as 64 + 12.
    Bytes data(64);
    for (int i = 0; i < 64; i++) data[i] = (uint8_t)(i + 1);
    usb.queueInterruptPacket(ScriptedUsb::packet(20, 35, data));
    ASSERT_EQ(usb.interrupt.size(), 2u);
    EXPECT_EQ(usb.interrupt[0].size(), 64u);
    EXPECT_EQ(usb.interrupt[1].size(), 12u);
    int before = usb.interruptCalls;
    Packet p;
    ASSERT_EQ(p.receive(usbLink(), 1, 5.0), 1);
    EXPECT_EQ(usb.interruptCalls - before, 2);
    EXPECT_EQ(p.id, 35);
    EXPECT_EQ(p.size, 64);
    EXPECT_EQ(p.data[0], 1);
    EXPECT_EQ(p.data[63], 64);

    // 52 data bytes make exactly 64: the packet is complete with its last
    // byte, and the empty chunk that may follow it is skipped by the next
    // read. Without that chunk the next packet is not run into it.
    usb.queueInterruptPacket(ScriptedUsb::packet(20, 36, Bytes(52, 7)));
    ASSERT_EQ(usb.interrupt.size(), 2u);
    EXPECT_TRUE(usb.interrupt[1].empty());
    usb.queueInterruptPacket(ScriptedUsb::packet(20, 37, {9}));
    usb.interrupt.push_back(ScriptedUsb::packet(20, 38, Bytes(52, 8)));
    usb.queueInterruptPacket(ScriptedUsb::packet(20, 39, {6}));
    before = usb.interruptCalls;
    ASSERT_EQ(p.receive(usbLink(), 1, 5.0), 1);
    EXPECT_EQ(usb.interruptCalls - before, 1);
    EXPECT_EQ(p.id, 36);
    EXPECT_EQ(p.size, 52);
    ASSERT_EQ(p.receive(usbLink(), 1, 5.0), 1);
    EXPECT_EQ(p.id, 37);
    EXPECT_EQ(p.size, 1);
    ASSERT_EQ(p.receive(usbLink(), 1, 5.0), 1);
    EXPECT_EQ(p.id, 38);
    EXPECT_EQ(p.size, 52);
    ASSERT_EQ(p.receive(usbLink(), 1, 5.0), 1);
    EXPECT_EQ(p.id, 39);
    EXPECT_EQ(p.data[0], 6);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(UsbRead, DataAvailableSwitchesToBulkUntilEmptyRead) {
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    usb.interrupt.push_back(ScriptedUsb::packet(0, 2, {}));
    usb.bulk.push_back(ScriptedUsb::packet(20, 27, {2, 0}));
    usb.bulk.push_back(ScriptedUsb::packet(0, 77, {}));  // protocol layer: skipped
    usb.bulk.push_back(ScriptedUsb::packet(20, 35, {1, 2, 3}));
    usb.bulk.push_back({});  // end of the bulk data
    usb.interrupt.push_back(ScriptedUsb::packet(20, 12, {7, 0}));

    Packet p;
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    EXPECT_EQ(p.id, 27);
    EXPECT_TRUE(usbBulkPending);
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    EXPECT_EQ(p.id, 35);
    EXPECT_EQ(p.size, 3);
    // The bulk burst ends while a packet is still expected: the read goes
    // on at the interrupt pipe.
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    EXPECT_EQ(p.id, 12);
    EXPECT_FALSE(usbBulkPending);
    // A burst per packet; then one whose end meets a silent interrupt pipe.
    for (uint8_t id : {34, 34}) {
        usb.interrupt.push_back(ScriptedUsb::packet(0, 2, {}));
        usb.bulk.push_back(ScriptedUsb::packet(20, id, {5}));
        usb.bulk.push_back({});
    }
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    EXPECT_EQ(p.id, 34);
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_EQ(p.receive(usbLink(), 0, 5.0), 0);
    EXPECT_FALSE(usbBulkPending);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Lesen vom USB-Anschluss."}));
}

TEST(UsbRead, BulkReadHoldingMoreThanOnePacket) {
    // Without a zero-length packet after a packet of exactly 64 bytes the
    // next packet arrives in the same bulk read.
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    usb.interrupt.push_back(ScriptedUsb::packet(0, 2, {}));
    Bytes joined = ScriptedUsb::packet(20, 255, Bytes(52, 1));
    Bytes second = ScriptedUsb::packet(20, 253, {'A', 100, 0});
    joined.insert(joined.end(), second.begin(), second.end());
    usb.bulk.push_back(joined);
    usb.bulk.push_back({});
    Packet p;
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    EXPECT_EQ(p.id, 255);
    EXPECT_EQ(p.size, 52);
    ASSERT_EQ(p.receive(usbLink(), 0, 5.0), 1);
    EXPECT_EQ(p.id, 253);
    EXPECT_EQ(p.size, 3);
    EXPECT_EQ(p.data[1], 100);
    usbDrainPending();
    EXPECT_TRUE(usb.bulk.empty());
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(UsbRead, DrainDiscardsPendingBulkData) {
    ScriptedUsb usb;
    openScripted(usb);
    usb.interrupt.push_back(ScriptedUsb::packet(0, 2, {}));
    usb.bulk.push_back(ScriptedUsb::packet(20, 255, {1}));
    usb.bulk.push_back(ScriptedUsb::packet(20, 253, {2}));
    usb.bulk.push_back(ScriptedUsb::packet(20, 253, {3}));
    usb.bulk.push_back({});
    UsbPacket u;
    ASSERT_EQ(usbReadPacket(u), 1);
    EXPECT_TRUE(usbBulkPending);
    usbDrainPending();
    EXPECT_FALSE(usbBulkPending);
    EXPECT_TRUE(usb.bulk.empty());
    // A failed bulk read ends the pending state as well.
    usb.interrupt.push_back(ScriptedUsb::packet(0, 2, {}));
    usb.bulk.push_back(ScriptedUsb::packet(20, 255, {1}));
    usb.bulk.push_back(kFail);
    ASSERT_EQ(usbReadPacket(u), 1);
    usbDrainPending();
    EXPECT_FALSE(usbBulkPending);
}

TEST(UsbRead, OversizedPacketsAreRefused) {
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    // dataSize 256 announced.
    usb.queueInterruptPacket(ScriptedUsb::packet(20, 35, Bytes(256, 1)));
    Packet p;
    EXPECT_EQ(p.receive(usbLink(), 0, 5.0), 0);
    // More than 268 bytes by interrupt: cut, dataSize becomes 256.
    Bytes big = ScriptedUsb::packet(20, 35, Bytes(200, 2));
    big[8] = 0x2C;  // 300 announced
    big[9] = 0x01;
    Bytes chunked = big;
    chunked.insert(chunked.end(), 100, 3);  // 312 bytes in all
    usb.queueInterruptPacket(chunked);
    UsbPacket u;
    ASSERT_EQ(usbReadPacket(u), 1);
    EXPECT_EQ(usbPacketDataSize(u), 256u);
    EXPECT_EQ(u.bytes[267], 3);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Maxim. Größe des Paketdatenelements überschritten."}));
}

TEST(UsbRead, FailedReadShowsMessageWhateverReportErrorsSays) {
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    usb.interrupt.push_back(kFail);
    Packet p;
    EXPECT_EQ(p.receive(usbLink(), 0, 5.0), 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Lesen vom USB-Anschluss."}));
}

TEST(UsbRead, EndlessProtocolLayerTrafficIsBounded) {
    ScriptedPlatform ui;
    FakeSerialPeer clock;
    ScriptedUsb usb;
    openScripted(usb);
    usb.clockMs = &clock.now;
    usb.readAdvanceMs = 1000;
    for (int i = 0; i < 30; i++) usb.interrupt.push_back(ScriptedUsb::packet(0, 77, {}));
    usb.interrupt.push_back(ScriptedUsb::packet(20, 35, {}));
    Packet p;
    EXPECT_EQ(p.receive(usbLink(), 0, 5.0), 0);
    EXPECT_EQ(usb.interruptCalls, 1 + 11);  // session answer, then 11 s of strays
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Lesen vom USB-Anschluss."}));
}

TEST(UsbWrite, ApplicationPacketAndZeroLengthRule) {
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    uint8_t data[255] = {};
    data[0] = 7;
    Packet p;
    p.build(10, 2, data);
    ASSERT_EQ(p.send(usbLink(), 0), 1);
    ASSERT_EQ(usb.writes.size(), 1u);
    EXPECT_EQ(usb.writes[0], (Bytes{20, 0, 0, 0, 10, 0, 0, 0, 2, 0, 0, 0, 7, 0}));

    usb.writes.clear();
    p.build(35, 52, data);  // 64 bytes: a zero-length write follows
    ASSERT_EQ(p.send(usbLink(), 0), 1);
    ASSERT_EQ(usb.writes.size(), 2u);
    EXPECT_EQ(usb.writes[0].size(), 64u);
    EXPECT_TRUE(usb.writes[1].empty());

    usb.writes.clear();
    p.build(35, 51, data);  // 63 bytes: none
    ASSERT_EQ(p.send(usbLink(), 0), 1);
    EXPECT_EQ(usb.writes.size(), 1u);

    usb.writes.clear();
    p.build(35, 116, data);  // 128 bytes: a multiple as well
    ASSERT_EQ(p.send(usbLink(), 0), 1);
    EXPECT_EQ(usb.writes.size(), 2u);

    usb.writes.clear();
    usb.failWritesFrom = 0;
    EXPECT_EQ(p.send(usbLink(), 0), 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Ausgabe zum USB-Anschluss."}));
}

TEST(UsbOpeningExchange, SuccessfulSendIsEnough) {
    ScriptedPlatform ui;
    ScriptedUsb usb;
    openScripted(usb);
    uint8_t data[255] = {};
    Packet p;
    p.build(254, 0, data);
    EXPECT_EQ(openingExchange(usbLink(), p, 3, 200), 1);
    EXPECT_EQ(usb.writes.size(), 1u);
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::Pause).empty());
    usb.failWritesFrom = 0;
    usb.writes.clear();
    EXPECT_EQ(openingExchange(usbLink(), p, 3, 200), 0);
    EXPECT_EQ(usb.writes.size(), 3u);
    // The USB send shows its message on every attempt.
    EXPECT_EQ(ui.boxTexts().size(), 3u);
}

}  // namespace
