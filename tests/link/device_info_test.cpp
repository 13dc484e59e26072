// Identification of the receiver: product data, protocol array or the fixed
// lists, the description text, the dialog, and every failure of the query.
// Scripted line first (exact bytes, fake clock), then every simulator
// profile over a real pty and over the in-process USB driver.

#include <gtest/gtest.h>

#include <cstring>

#include "link/device_info.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "link/usb.h"
#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "tests/link/link_fakes.h"
#include "tests/support/scripted_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

const char* const kEtrexList = "A100\r\nA201\r\nA301\r\nD108\r\nD202\r\nD210\r\nD301\r\nD310\r\n";
const char* const kGps76List =
    "P000\r\nL001\r\nA010\r\nA100\r\nD109\r\nA201\r\nD202\r\nD109\r\nD210\r\nA301\r\nD310\r\n"
    "D301\r\nA400\r\nD109\r\nA500\r\nD501\r\nA600\r\nD600\r\nA700\r\nD700\r\nA800\r\nD800\r\n"
    "A900\r\nA902\r\nA903\r\n";
const char* const kDefaultList = "A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n";
const char* const kNoProtocols = "\r\nGer\xE4t liefert keine\r\nProtokoll-Informationen.\n";

Bytes productData(uint16_t product, uint16_t version, const std::string& text) {
    Bytes d(4 + text.size() + 1, 0);
    d[0] = (uint8_t)product;
    d[1] = (uint8_t)(product >> 8);
    d[2] = (uint8_t)version;
    d[3] = (uint8_t)(version >> 8);
    for (size_t i = 0; i < text.size(); i++) d[4 + i] = (uint8_t)text[i];
    return d;
}

Bytes protocolArray(const std::vector<std::pair<char, int>>& entries) {
    Bytes d;
    for (auto& e : entries) {
        d.push_back((uint8_t)e.first);
        d.push_back((uint8_t)e.second);
        d.push_back((uint8_t)(e.second >> 8));
    }
    return d;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kRequest = {16, 254, 0, 2, 16, 3};

std::string fallbackFor(const std::string& name) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    line.feed(concat({ackFrame(254), frame(255, productData(1, 100, name))}));
    EXPECT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
    return protocolSet() ? protocolSet() : "(none)";
}

TEST(DeviceInfoScripted, ArrayBuiltSetAndDescription) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    line.feed(concat({ackFrame(254), frame(255, productData(1, 250, "eTrex Vista Software Version 2.50")),
                      frame(253, protocolArray({{'P', 0}, {'L', 1}, {'A', 10}, {'A', 1}, {'D', 108}}))}));
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 1), 1);
    EXPECT_STREQ(protocolSet(), "\r\nP000\r\nL001\r\nA010\r\nA001\r\nD108");
    EXPECT_STREQ(deviceDescriptionText(),
                 "eTrex Vista Software Version 2.50\r\n(1 / 2.50)\r\n"
                 "\r\nProtokolle:\r\nP000\r\nL001\r\nA010\r\nA001\r\nD108");
    EXPECT_EQ(line.written, concat({kRequest, ackFrame(255), ackFrame(253)}));
    auto dialogs = ui.eventsOf(ScriptedEvent::DeviceInfoDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->title, " Wegmate -- Angeschlossenes Gerät");
    EXPECT_EQ(dialogs[0]->text, std::string(deviceDescriptionText()));
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_TRUE(protocolSetContains("D108"));
    EXPECT_FALSE(protocolSetContains("d108"));
}

TEST(DeviceInfoScripted, ArrayOfSize80HasTwentySixEntries) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    std::vector<std::pair<char, int>> entries;
    for (int i = 0; i < 26; i++) entries.push_back({'D', 100 + i});
    Bytes array = protocolArray(entries);
    array.push_back('A');
    array.push_back(7);  // two bytes of a 27th entry: ignored
    ASSERT_EQ(array.size(), 80u);
    line.feed(concat({ackFrame(254), frame(255, productData(5, 300, "GPS III")), frame(253, array)}));
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
    std::string set = protocolSet();
    EXPECT_EQ(set.size(), 26u * 6u);
    EXPECT_EQ(set.substr(set.size() - 6), "\r\nD125");
    // showDialog 0: no dialog, a pause of 1000 ms instead.
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::DeviceInfoDialog).empty());
    EXPECT_EQ(ui.totalPauseMs(), 200 + 1000);
}

TEST(DeviceInfoScripted, LongAndNegativeProtocolNumbers) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    std::vector<std::pair<char, int>> entries;
    for (int i = 0; i < 40; i++) entries.push_back({'D', i % 2 ? 12345 : -32768});
    line.feed(concat({ackFrame(254), frame(255, productData(5, 300, "GPS III")), frame(253, protocolArray(entries))}));
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
    std::string expected;
    for (int i = 0; i < 40; i++) expected += i % 2 ? "\r\nD12345" : "\r\nD-32768";
    EXPECT_EQ(std::string(protocolSet()), expected);
}

TEST(DeviceInfoScripted, ExtendedProductDataIsSkipped) {
    ScriptedPlatform ui;
    {
        // The array comes after packets 248 (any number of them), which are
        // not acknowledged.
        FakeSerialPeer line;
        line.feed(concat({ackFrame(254), frame(255, productData(695, 350, "GPSMAP 60CSx")), frame(248, {'X', 0}),
                          frame(248, {'Y', 0}), frame(248, {'Z', 0}), frame(253, protocolArray({{'A', 100}}))}));
        ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
        EXPECT_STREQ(protocolSet(), "\r\nA100");
        EXPECT_EQ(line.written, concat({kRequest, ackFrame(255), ackFrame(253)}));
    }
    {
        // The array arrives within the second second after 248.
        FakeSerialPeer line;
        line.feed(concat({ackFrame(254), frame(255, productData(695, 350, "GPSMAP 60CSx")), frame(248, {0})}));
        // An empty read of 0.6 s, then the array: within the 1.0 s of the
        // second read.
        line.clock.emptyReadMs = 600;
        line.feedSilence(1);
        line.feed(frame(253, protocolArray({{'D', 110}})));
        ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
        EXPECT_EQ(line.emptyReads, 1);
        EXPECT_STREQ(protocolSet(), "\r\nD110");
        EXPECT_EQ(line.written, concat({kRequest, ackFrame(255), ackFrame(253)}));
    }
    {
        // Nothing after 248: the ACK carries 0 and the fallback list is used.
        FakeSerialPeer line;
        line.feed(concat({ackFrame(254), frame(255, productData(695, 350, "GPSMAP 60CSx")), frame(248, {0})}));
        ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
        EXPECT_EQ(line.written, concat({kRequest, ackFrame(255), ackFrame(0)}));
        EXPECT_STREQ(protocolSet(), kDefaultList);
    }
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(DeviceInfoScripted, FallbackListsByName) {
    EXPECT_EQ(fallbackFor("eTrex Summit Software"), kEtrexList);
    EXPECT_EQ(fallbackFor("ETREX H"), kEtrexList);
    EXPECT_EQ(fallbackFor("Etrex Camo"), kEtrexList);
    EXPECT_EQ(fallbackFor("My ETrex"), kEtrexList);
    EXPECT_EQ(fallbackFor("etrex lower case"), kDefaultList);
    EXPECT_EQ(fallbackFor("GPS 76 Software Version 2.60"), kGps76List);
    EXPECT_EQ(fallbackFor("GPS 76"), kDefaultList);  // followed by CR LF, not a blank
    EXPECT_EQ(fallbackFor("GPS 12XL"), kDefaultList);
}

TEST(DeviceInfoScripted, FallbackDescriptionAndAck) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    // An unrelated packet instead of the array: acknowledged with its id.
    line.feed(concat({ackFrame(254), frame(255, productData(77, 460, "GPS 12XL")), frame(14, {1, 2})}));
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 1), 1);
    EXPECT_EQ(std::string(deviceDescriptionText()), std::string("GPS 12XL\r\n(77 / 4.60)\r\n") + kNoProtocols);
    EXPECT_EQ(line.written, concat({kRequest, ackFrame(255), ackFrame(14)}));
    auto dialogs = ui.eventsOf(ScriptedEvent::DeviceInfoDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->text, "GPS 12XL\r\n(77 / 4.60)\r\n\r\nGerät liefert keine\r\nProtokoll-Informationen.\n");
}

TEST(DeviceInfoScripted, DescriptionReadOnlyFromThePacket) {
    ScriptedPlatform ui;
    FakeSerialPeer line;
    // Product data without a terminating NUL: the text ends with the packet.
    Bytes data = productData(9, 1, "Unit");
    data.pop_back();
    line.feed(concat({ackFrame(254), frame(255, data)}));
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
    EXPECT_EQ(std::string(deviceDescriptionText()), std::string("Unit\r\n(9 / 0.01)\r\n") + kNoProtocols);
}

TEST(DeviceInfoScripted, NoConnection) {
    ScriptedPlatform ui;
    {
        FakeSerialPeer line;
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 0), 0);
        EXPECT_EQ(line.written, concat({kRequest, kRequest, kRequest}));
    }
    EXPECT_TRUE(ui.boxTexts().empty());
    {
        FakeSerialPeer line;
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 1), 0);
    }
    EXPECT_EQ(ui.boxTexts(), Texts{"Fehler beim Aufbau der Verbindung zum GPS-Gerät."});
}

TEST(DeviceInfoScripted, AckButNoProductData) {
    ScriptedPlatform ui;
    {
        FakeSerialPeer line;
        line.feed(ackFrame(254));
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 0), 0);
    }
    EXPECT_EQ(ui.boxTexts(), Texts{"Fehler beim Einlesen vom seriellen Anschluss."});
    ui.clearEvents();
    {
        FakeSerialPeer line;
        line.feed(ackFrame(254));
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 1), 0);
    }
    EXPECT_EQ(ui.boxTexts(), (Texts{"Fehler beim Einlesen vom seriellen Anschluss.", "GPS-Gerät antwortet nicht."}));
}

TEST(DeviceInfoScripted, NotProductDataKeepsOldSet) {
    ScriptedPlatform ui;
    setProtocolSet("\r\nA100\r\nD108");
    FakeSerialPeer line;
    line.feed(concat({ackFrame(254), frame(253, protocolArray({{'A', 200}}))}));
    EXPECT_EQ(queryDeviceInfo(serialLink(1), 1), 0);
    EXPECT_EQ(ui.boxTexts(), Texts{"GPS-Gerät sendet keine Produktdaten."});
    EXPECT_STREQ(protocolSet(), "\r\nA100\r\nD108");
}

TEST(DeviceInfoScripted, FailedAcks) {
    ScriptedPlatform ui;
    {
        // The ACK of the product data cannot be written.
        FakeSerialPeer line;
        line.failWritesFrom = 6;
        line.feed(concat({ackFrame(254), frame(255, productData(1, 1, "X"))}));
        setProtocolSet("\r\nOLD1");
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 1), 0);
        EXPECT_STREQ(protocolSet(), "\r\nOLD1");
    }
    EXPECT_EQ(ui.boxTexts(), (Texts{"Fehler bei Ausgabe zum seriellen Anschluss.", "Übertragungsfehler."}));
    ui.clearEvents();
    {
        // The ACK of the array fails: the set built from it stays.
        FakeSerialPeer line;
        line.failWritesFrom = 6 + 8;
        line.feed(concat({ackFrame(254), frame(255, productData(1, 1, "X")), frame(253, protocolArray({{'A', 301}}))}));
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 0), 0);
        EXPECT_STREQ(protocolSet(), "\r\nA301");
    }
    EXPECT_EQ(ui.boxTexts(), Texts{"Fehler bei Ausgabe zum seriellen Anschluss."});
    ui.clearEvents();
    {
        // ... and when no array came, no set is left at all.
        FakeSerialPeer line;
        line.failWritesFrom = 6 + 8;
        line.feed(concat({ackFrame(254), frame(255, productData(1, 1, "eTrex")), frame(14, {0})}));
        EXPECT_EQ(queryDeviceInfo(serialLink(1), 1), 0);
        EXPECT_EQ(protocolSet(), nullptr);
        EXPECT_FALSE(protocolSetContains("A100"));
    }
    EXPECT_EQ(ui.boxTexts(), (Texts{"Fehler bei Ausgabe zum seriellen Anschluss.", "Übertragungsfehler."}));
}

// ---------------------------------------------------------------- simulator

struct ProfileCase {
    const char* profile;
    const char* firstLine;
    const char* set;  // nullptr: built from the array (checked by prefix)
};

std::string arrayText(const SimProfile& p) {
    std::string s;
    char buffer[16];
    for (const SimProtocol& e : p.protocols) {
        snprintf(buffer, sizeof buffer, "\r\n%c%03d", e.tag, (int)e.number);
        s += buffer;
    }
    return s;
}

std::string expectedDescription(const SimProfile& p) {
    char head[128];
    snprintf(head, sizeof head, "%s\r\n(%d / %.2f)\r\n", p.description.c_str(), (int)p.productId, p.version / 100.0);
    if (p.sendsArray) return head + std::string("\r\nProtokolle:") + arrayText(p);
    return head + std::string(kNoProtocols);
}

std::string expectedSet(const SimProfile& p) {
    if (p.sendsArray) return arrayText(p);
    if (p.name == "gps76") return kGps76List;
    if (p.name == "etrex2") return kEtrexList;
    return kDefaultList;
}

TEST(DeviceInfoSimulator, EveryProfileOverSerial) {
    for (const std::string& name : simProfileNames()) {
        SCOPED_TRACE(name);
        ScriptedPlatform ui;
        Simulator sim(*findSimProfile(name));
        std::string tty = sim.startPty();
        ASSERT_FALSE(tty.empty());
        setSerialDeviceOverride(1, tty);
        ASSERT_EQ(openSerialPort(1), 1);
        ASSERT_EQ(queryDeviceInfo(serialLink(1), 1), 1);
        closeLink();
        sim.stop();
        EXPECT_EQ(std::string(deviceDescriptionText()), expectedDescription(sim.profile));
        ASSERT_NE(protocolSet(), nullptr);
        EXPECT_EQ(std::string(protocolSet()), expectedSet(sim.profile));
        EXPECT_EQ(sim.productRequests(), 1);
        EXPECT_TRUE(ui.boxTexts().empty());
        EXPECT_EQ(ui.eventsOf(ScriptedEvent::DeviceInfoDialog).size(), 1u);
    }
    setSerialDeviceOverride(1, "");
}

TEST(DeviceInfoSimulator, EtrexWithoutArrayGetsTheEtrexList) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.profile.sendsArray = false;
    setSerialDeviceOverride(1, sim.startPty());
    ASSERT_EQ(openSerialPort(1), 1);
    ASSERT_EQ(queryDeviceInfo(serialLink(1), 0), 1);
    closeLink();
    setSerialDeviceOverride(1, "");
    EXPECT_STREQ(protocolSet(), kEtrexList);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(DeviceInfoSimulator, EveryProfileOverUsb) {
    for (const std::string& name : simProfileNames()) {
        SCOPED_TRACE(name);
        ScriptedPlatform ui;
        Simulator sim(*findSimProfile(name));
        UsbDriver driver = sim.usbDriver();
        installUsbDriver(&driver);
        ASSERT_EQ(openUsbDevice(), 1);
        ASSERT_EQ(queryDeviceInfo(usbLink(), 1), 1);
        EXPECT_FALSE(usbBulkPending);
        closeLink();
        installUsbDriver(nullptr);
        EXPECT_EQ(std::string(deviceDescriptionText()), expectedDescription(sim.profile));
        EXPECT_EQ(std::string(protocolSet()), expectedSet(sim.profile));
        // A receiver without an array ends its bulk data after the product
        // data: the read that finds none is no error and shows nothing.
        EXPECT_TRUE(ui.boxTexts().empty());
        // No ACKs on USB: the host wrote the start session and the request.
        std::vector<std::vector<uint8_t>> writes = sim.usbWrites();
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[1], (Bytes{20, 0, 0, 0, 254, 0, 0, 0, 0, 0, 0, 0}));
    }
}

TEST(DeviceInfoSimulator, UsbStrayPacketsAndInterruptOnly) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    sim.faults.strayUsbPackets = 2;
    sim.usbInterruptOnly = true;
    UsbDriver driver = sim.usbDriver();
    installUsbDriver(&driver);
    ASSERT_EQ(openUsbDevice(), 1);
    ASSERT_EQ(queryDeviceInfo(usbLink(), 0), 1);
    EXPECT_EQ(std::string(protocolSet()), arrayText(sim.profile));
    closeLink();
    installUsbDriver(nullptr);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(DeviceInfoSimulator, UsbReceiverPulledOut) {
    ScriptedPlatform ui;
    Simulator sim(*findSimProfile("etrex"));
    UsbDriver driver = sim.usbDriver();
    installUsbDriver(&driver);
    ASSERT_EQ(openUsbDevice(), 1);
    sim.faults.usbUnplugAfterReads = 2;  // session answer and one more read
    EXPECT_EQ(queryDeviceInfo(usbLink(), 1), 0);
    closeLink();
    installUsbDriver(nullptr);
    EXPECT_EQ(ui.boxTexts(), (Texts{"Fehler bei Lesen vom USB-Anschluss.", "GPS-Gerät antwortet nicht."}));
}

}  // namespace
