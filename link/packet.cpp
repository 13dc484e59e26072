// The packet link: serial framing with DLE stuffing and checksum, the
// mapping onto USB packets, the acknowledgement helper and the opening
// exchange.

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "link/link_clock.h"
#include "link/packet.h"
#include "link/trace.h"
#include "link/usb.h"

namespace {

constexpr uint8_t kDle = 16;
constexpr uint8_t kEtx = 3;
constexpr float kSendLimitSeconds = 5.0f;
constexpr float kStuffLimitSeconds = 1.0f;
// Protocol-layer packets between two application packets are skipped; a
// stream of nothing else ends the wait after this long.
constexpr uint32_t kUsbSkipLimitMs = 10000;

float secondsSince(uint32_t startMs) { return (float)(uint32_t)(linkIo().nowMs() - startMs) / 1000.0f; }

// Writes one byte, repeating failed writes until the packet's time is up.
int writeByte(uint8_t byte, uint32_t startMs, int reportErrors, const char* message) {
    for (;;) {
        if (linkIo().serialWriteByte(byte) == 1) return 1;
        if (secondsSince(startMs) > kSendLimitSeconds) {
            if (reportErrors) showError(message);
            return 0;
        }
    }
}

// The last receive failed with a message of its own.
bool receiveMessageShown = false;

void showReceiveError(const char* text) {
    showError(text);
    receiveMessageShown = true;
}

// Reads one byte, repeating empty reads until limitSeconds since the start
// of the call have passed.
int readByte(uint8_t& byte, uint32_t startMs, float limitSeconds, int reportErrors, const char* message) {
    for (;;) {
        if (linkIo().serialReadByte(&byte) == 1) return 1;
        if (secondsSince(startMs) > limitSeconds) {
            if (reportErrors) showReceiveError(message);
            return 0;
        }
    }
}

uint8_t computeChecksum(uint8_t id, uint8_t size, const uint8_t* data) {
    unsigned sum = id + size;
    for (int i = 0; i < size; i++) sum += data[i];
    return (uint8_t)(0x100 - (sum & 0xFF));
}

int sendSerialFrame(const Packet& p, int reportErrors) {
    const char* plain = "Fehler bei Ausgabe zum seriellen Anschluss.";
    const char* stuffed = "Fehler bei Ausgabe (DLE) zum seriellen Anschluss.";
    uint32_t start = linkIo().nowMs();
    uint8_t body[258];
    int n = 0;
    body[n++] = p.size;
    for (int i = 0; i < p.size; i++) body[n++] = p.data[i];
    body[n++] = p.checksum;

    if (!writeByte(kDle, start, reportErrors, plain)) return 0;
    if (!writeByte(p.id, start, reportErrors, plain)) return 0;
    for (int i = 0; i < n; i++) {
        if (!writeByte(body[i], start, reportErrors, plain)) return 0;
        if (body[i] == kDle && !writeByte(kDle, start, reportErrors, stuffed)) return 0;
    }
    if (!writeByte(kDle, start, reportErrors, plain)) return 0;
    if (!writeByte(kEtx, start, reportErrors, plain)) return 0;
    return 1;
}

int sendSerial(const Packet& p, int portNumber, int reportErrors) {
    int ok = sendSerialFrame(p, reportErrors);
    traceSerialPacket(portNumber, '>', p.id, p.size, p.data, ok ? "" : "send failed");
    return ok;
}

// The bytes of the frame being received, for the trace of a refused one.
struct FrameBytes {
    uint8_t bytes[520];
    int count = 0;
    void add(uint8_t b) {
        if (count < (int)sizeof bytes) bytes[count++] = b;
    }
};
FrameBytes frameBytes;

int receiveSerialFrame(Packet& p, int reportErrors, double timeoutSeconds) {
    const char* plain = "Fehler beim Einlesen vom seriellen Anschluss.";
    const char* stuffed = "Fehler beim Einlesen (DLE) vom seriellen Anschluss.";
    const float limit = (float)timeoutSeconds;
    uint32_t start = linkIo().nowMs();
    uint8_t b = 0;

    auto readNext = [&](uint8_t& out) -> int {
        if (!readByte(out, start, limit, reportErrors, plain)) return 0;
        frameBytes.add(out);
        return 1;
    };
    // After a DLE among size, data and checksum: the second DLE of the pair.
    auto readPartner = [&](uint8_t value) -> int {
        if (value != kDle) return 1;
        uint8_t second = 0;
        if (!readByte(second, start, kStuffLimitSeconds, reportErrors, stuffed)) return 0;
        frameBytes.add(second);
        return second == kDle;
    };

    if (!readNext(b)) return 0;
    if (b != kDle) return 0;
    if (!readNext(b)) return 0;
    p.id = b;
    if (!readNext(b) || !readPartner(b)) return 0;
    p.size = b;
    for (int i = 0; i < p.size; i++) {
        if (!readNext(b) || !readPartner(b)) return 0;
        p.data[i] = b;
    }
    if (!readNext(b)) return 0;
    p.checksum = computeChecksum(p.id, p.size, p.data);
    if (b != p.checksum) {
        if (reportErrors) showReceiveError("Prüfsummenfehler in empfangenem Datenpacket.");
        return 0;
    }
    if (!readPartner(b)) return 0;
    if (!readNext(b)) return 0;
    if (b != kDle) return 0;
    if (!readNext(b)) return 0;
    if (b != kEtx) return 0;
    return 1;
}

int receiveSerial(Packet& p, int portNumber, int reportErrors, double timeoutSeconds) {
    frameBytes.count = 0;
    int ok = receiveSerialFrame(p, reportErrors, timeoutSeconds);
    if (ok) {
        traceSerialPacket(portNumber, '<', p.id, p.size, p.data, "");
    } else if (linkTraceActive()) {
        if (frameBytes.count == 0) {
            char text[64];
            snprintf(text, sizeof text, "< nothing within %.1f s", timeoutSeconds);
            traceLinkEvent(("COM" + std::to_string(portNumber)).c_str(), text);
        } else {
            traceSerialBytes(portNumber, frameBytes.bytes, frameBytes.count, "refused or incomplete");
        }
    }
    return ok;
}

int sendUsb(const Packet& p) {
    UsbPacket u;
    usbSetHeader(u, kUsbApplicationLayer, p.id, p.size);
    memcpy(u.bytes + kUsbHeaderSize, p.data, sizeof p.data);
    if (!usbWritePacket(u)) {
        showError("Fehler bei Ausgabe zum USB-Anschluss.");
        return 0;
    }
    return 1;
}

// waitMs bounds the wait on the interrupt pipe for each packet.
int receiveUsb(Packet& p, bool quietAtEnd = false, unsigned waitMs = kUsbAnswerWaitMs) {
    UsbPacket u;
    uint32_t start = linkIo().nowMs();
    for (;;) {
        if (!usbReadPacket(u, waitMs)) {
            if (!quietAtEnd) showReceiveError("Fehler bei Lesen vom USB-Anschluss.");
            return 0;
        }
        if (usbPacketType(u) == kUsbApplicationLayer) break;
        if ((uint32_t)(linkIo().nowMs() - start) > kUsbSkipLimitMs) {
            showReceiveError("Fehler bei Lesen vom USB-Anschluss.");
            return 0;
        }
    }
    p.id = (uint8_t)(usbPacketId(u) & 0xFF);
    uint32_t dataSize = usbPacketDataSize(u);
    if (dataSize > 255) {
        showReceiveError("Maxim. Größe des Paketdatenelements überschritten.");
        return 0;
    }
    p.size = (uint8_t)dataSize;
    memcpy(p.data, u.bytes + kUsbHeaderSize, sizeof p.data);
    p.checksum = computeChecksum(p.id, p.size, p.data);
    return 1;
}

// The two kinds of packet link.

int sendOnUsb(const Link&, const Packet& packet, int) { return sendUsb(packet); }

int receiveOnUsb(const Link&, Packet& packet, int, double) { return receiveUsb(packet); }

// On USB the wait for a packet that may not come is bounded the same way.
int receiveOptionalOnUsb(const Link&, Packet& packet, double timeoutSeconds) {
    return receiveUsb(packet, true, (unsigned)(timeoutSeconds * 1000.0));
}

int sendOnSerial(const Link& link, const Packet& packet, int reportErrors) {
    return sendSerial(packet, link.comNumber, reportErrors);
}

int receiveOnSerial(const Link& link, Packet& packet, int reportErrors, double timeoutSeconds) {
    return receiveSerial(packet, link.comNumber, reportErrors, timeoutSeconds);
}

int receiveOptionalOnSerial(const Link& link, Packet& packet, double timeoutSeconds) {
    return receiveSerial(packet, link.comNumber, 0, timeoutSeconds);
}

void nothingToFinish() {}

const Link kUsbLink = {"USB", 0, false, sendOnUsb, receiveOnUsb, receiveOptionalOnUsb, usbDrainPending};

#define WEGMATE_SERIAL_LINK(n) \
    { "COM" #n, n, true, sendOnSerial, receiveOnSerial, receiveOptionalOnSerial, nothingToFinish }
const Link kSerialLinks[] = {WEGMATE_SERIAL_LINK(1), WEGMATE_SERIAL_LINK(2), WEGMATE_SERIAL_LINK(3),
                             WEGMATE_SERIAL_LINK(4), WEGMATE_SERIAL_LINK(5), WEGMATE_SERIAL_LINK(6),
                             WEGMATE_SERIAL_LINK(7), WEGMATE_SERIAL_LINK(8)};
#undef WEGMATE_SERIAL_LINK

}  // namespace

const Link& usbLink() { return kUsbLink; }

const Link& serialLink(int comNumber) {
    const int count = (int)(sizeof kSerialLinks / sizeof kSerialLinks[0]);
    return kSerialLinks[(comNumber >= 1 && comNumber <= count ? comNumber : 1) - 1];
}

int Packet::build(uint8_t newId, uint8_t newSize, const uint8_t* newData) {
    id = newId;
    size = newSize;
    memcpy(data, newData, sizeof data);
    checksum = computeChecksum(id, size, data);
    return 1;
}

int Packet::send(const Link& link, int reportErrors) const { return link.send(link, *this, reportErrors); }

int Packet::receive(const Link& link, int reportErrors, double timeoutSeconds) {
    receiveMessageShown = false;
    return link.receive(link, *this, reportErrors, timeoutSeconds);
}

bool receiveShowedMessage() { return receiveMessageShown; }

int receiveOptional(Packet& packet, const Link& link, double timeoutSeconds) {
    receiveMessageShown = false;
    return link.receiveOptional(link, packet, timeoutSeconds);
}

int sendAck(const Link& link, uint8_t ackedId) {
    uint8_t data[255] = {};
    data[0] = ackedId;
    data[1] = 0;
    Packet ack;
    ack.build(kPidAck, 2, data);
    return ack.send(link, 1);
}

int openingExchange(const Link& link, Packet& packet, int attempts, int settleMs) {
    const Packet request = packet;
    for (int attempt = 1; attempt <= attempts; attempt++) {
        Packet p = request;
        if (p.send(link, 0)) {
            if (!link.acknowledged) {
                packet = p;
                return 1;
            }
            pauseMs(settleMs);
            if (p.receive(link, 0, 5.0) && p.id == kPidAck) {
                packet = p;
                return 1;
            }
        }
        if (attempt < attempts) {
            pumpEvents();
            pauseMs(1000);
        }
    }
    return 0;
}
