// USB transport over the driver seam: session start, interrupt and bulk
// reads with the pending-bulk state, writes with the zero-length rule.

#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "link/link_clock.h"
#include "link/trace.h"
#include "link/usb.h"
#include "link/drive.h"

uint32_t usbPacketSize = 0;
bool usbBulkPending = false;

namespace {

// Waits for the session-started answer: per start-session packet sent, and
// the number of those packets before the session counts as failed.
constexpr uint32_t kSessionAttemptMs = 3000;
constexpr int kSessionAttempts = 3;
// Stale bulk data at opening: the wait for each read, and a bound on reads.
constexpr unsigned kStaleBulkWaitMs = 100;
constexpr int kStaleBulkReads = 512;
// Zero-length interrupt chunks in a row before a read counts as failed.
constexpr int kEmptyChunkLimit = 64;

const UsbDriver* installedDriver = nullptr;
UsbDriver activeDriver = {};
bool deviceOpen = false;
// A read or write found the receiver gone: every later one fails at once.
bool deviceGone = false;

int noteGone(int n) {
    if (n == kUsbDeviceGone) deviceGone = true;
    return n;
}

// Bytes of a bulk read beyond the packet they began with: a receiver that
// sends no zero-length packet after a packet of a multiple of 64 bytes lets
// the next packet run into the same read.
uint8_t surplus[kUsbPacketBufferSize];
int surplusLength = 0;

const UsbDriver& driver() { return installedDriver ? *installedDriver : libusbDriver(); }

void put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

uint32_t sizeField(const uint8_t* header);

// The bytes of a packet in the buffer, for the trace: header and data, no
// more than the buffer holds whatever the header claims.
int tracedLength(const UsbPacket& packet) {
    uint32_t dataSize = sizeField(packet.bytes);
    if (dataSize > (uint32_t)(kUsbPacketBufferSize - kUsbHeaderSize)) return kUsbPacketBufferSize;
    return kUsbHeaderSize + (int)dataSize;
}

uint32_t sizeField(const uint8_t* header) {
    const uint8_t* p = header + 8;
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// The length of the packet that begins at bytes, when the header is there.
int packetLength(const uint8_t* bytes, int available) {
    if (available < kUsbHeaderSize) return available;
    uint32_t dataSize = sizeField(bytes);
    if (dataSize > (uint32_t)(kUsbPacketBufferSize - kUsbHeaderSize)) return available;
    int length = kUsbHeaderSize + (int)dataSize;
    return length < available ? length : available;
}

// Moves the first packet of bytes[0..n) into the packet buffer and keeps
// the rest for the next read.
void takeBulkPacket(UsbPacket& packet, const uint8_t* bytes, int n) {
    int length = packetLength(bytes, n);
    memset(packet.bytes, 0, sizeof packet.bytes);
    memcpy(packet.bytes, bytes, (size_t)length);
    surplusLength = n - length;
    if (surplusLength > 0) memmove(surplus, bytes + length, (size_t)surplusLength);
}

// One bulk read: 1 with a packet, 0 at a zero-length packet (the end of the
// burst), -1 on failure or time-out. The pending state ends unless a packet
// came.
int readBulk(UsbPacket& packet, unsigned timeoutMs) {
    if (surplusLength > 0) {
        uint8_t rest[kUsbPacketBufferSize];
        int n = surplusLength;
        memcpy(rest, surplus, (size_t)n);
        takeBulkPacket(packet, rest, n);
        usbBulkPending = true;
        return 1;
    }
    if (activeDriver.beforeBulkRead) activeDriver.beforeBulkRead(activeDriver.context);
    uint8_t buffer[kUsbPacketBufferSize];
    int n = noteGone(activeDriver.bulkRead(activeDriver.context, buffer, kUsbPacketBufferSize, timeoutMs));
    if (n <= 0) {
        usbBulkPending = false;
        return n < 0 ? -1 : 0;
    }
    if (n > kUsbPacketBufferSize) n = kUsbPacketBufferSize;
    takeBulkPacket(packet, buffer, n);
    usbBulkPending = true;
    return 1;
}

// An interrupt read asks for whole 64-byte USB packets, at least as many as
// the largest packet needs: a receiver that sends more than that (a faulty
// size) overflows no read.
constexpr int kInterruptReadSize =
    (kUsbPacketBufferSize + kUsbInterruptChunk - 1) / kUsbInterruptChunk * kUsbInterruptChunk;

// Bytes of an interrupt read beyond the packet they began with, as for bulk
// reads: a packet of a multiple of 64 bytes without the zero-length packet
// after it lets the next packet run into the same read.
uint8_t interruptSurplus[kInterruptReadSize];
int interruptSurplusLength = 0;

// One packet from the interrupt pipe. Each read asks for as much as the
// largest packet holds, so that a packet comes in one transfer; a driver
// that hands it over in 64-byte pieces is read on while the pieces are full
// and the packet is not complete. A zero-length piece before the packet
// begins is the end of the previous one. 1, or 0 on failure or time-out.
int readInterrupt(UsbPacket& packet, uint32_t startMs, unsigned waitMs) {
    uint8_t bytes[kInterruptReadSize];
    int filled = interruptSurplusLength;
    if (filled > 0) memcpy(bytes, interruptSurplus, (size_t)filled);
    interruptSurplusLength = 0;
    auto complete = [&] {
        return filled >= kUsbHeaderSize && (int64_t)filled >= kUsbHeaderSize + (int64_t)sizeField(bytes);
    };
    // One read into `into`: the count, or -1 after a failure or time-out.
    auto read = [&](uint8_t* into, int room) {
        uint32_t spent = (uint32_t)(linkIo().nowMs() - startMs);
        if (spent >= waitMs) return -1;
        int n = noteGone(activeDriver.interruptRead(activeDriver.context, into, room, waitMs - spent));
        if (n < 0) return -1;
        return n > room ? room : n;
    };
    int emptyChunks = 0;
    bool lastFull = false;
    while (!complete() && filled < kUsbPacketBufferSize) {
        int n = read(bytes + filled, kInterruptReadSize - filled);
        if (n < 0) return 0;
        if (n == 0 && filled == 0) {
            if (++emptyChunks > kEmptyChunkLimit) return 0;
            continue;
        }
        filled += n;
        // A short piece ends the packet: the transfer stopped there.
        lastFull = n > 0 && n % kUsbInterruptChunk == 0;
        if (!lastFull) break;
    }
    memset(packet.bytes, 0, sizeof packet.bytes);
    if (filled >= kUsbHeaderSize && sizeField(bytes) > (uint32_t)(kUsbPacketBufferSize - kUsbHeaderSize)) {
        // More than the buffer holds: the packet is cut, the rest of it is
        // read and dropped.
        memcpy(packet.bytes, bytes, (size_t)(filled < kUsbPacketBufferSize ? filled : kUsbPacketBufferSize));
        while (lastFull && !complete()) {
            uint8_t rest[kInterruptReadSize];
            int n = read(rest, kInterruptReadSize);
            if (n < 0) return 0;
            filled += n;
            lastFull = n > 0 && n % kUsbInterruptChunk == 0;
        }
        if (filled > kUsbPacketBufferSize) put32(packet.bytes + 8, 256);
        return 1;
    }
    const int length = packetLength(bytes, filled);
    memcpy(packet.bytes, bytes, (size_t)length);
    interruptSurplusLength = filled - length;
    if (interruptSurplusLength > 0) memmove(interruptSurplus, bytes + length, (size_t)interruptSurplusLength);
    return 1;
}

}  // namespace

uint8_t usbPacketType(const UsbPacket& packet) { return packet.bytes[0]; }

uint16_t usbPacketId(const UsbPacket& packet) { return (uint16_t)(packet.bytes[4] | (packet.bytes[5] << 8)); }

uint32_t usbPacketDataSize(const UsbPacket& packet) {
    const uint8_t* p = packet.bytes + 8;
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void usbSetHeader(UsbPacket& packet, uint8_t type, uint16_t id, uint32_t dataSize) {
    memset(packet.bytes, 0, sizeof packet.bytes);
    packet.bytes[0] = type;
    put16(packet.bytes + 4, id);
    put32(packet.bytes + 8, dataSize);
}

void installUsbDriver(const UsbDriver* table) { installedDriver = table; }

bool usingLibusb() { return installedDriver == nullptr; }

int usbLinkOpen() { return deviceOpen; }

void usbClose() {
    if (deviceOpen) {
        activeDriver.close(activeDriver.context);
        deviceOpen = false;
        traceLinkClose("USB");
    }
    usbBulkPending = false;
    surplusLength = 0;
    interruptSurplusLength = 0;
}

int openUsbDevice() {
    deviceGone = false;
    usbBulkPending = false;
    surplusLength = 0;
    interruptSurplusLength = 0;
    usbClose();
    activeDriver = driver();
    if (!activeDriver.open(activeDriver.context)) {
        traceLinkEvent("USB", "open failed: no receiver found or it cannot be claimed");
        return 0;
    }
    deviceOpen = true;
    usbPacketSize = activeDriver.packetSize(activeDriver.context);
    traceLinkOpen("USB", "Garmin 091e:0003");
    if (usbPacketSize == 0) {
        usbClose();
        return 0;
    }
    if (!usbStartSession()) return 0;
    usbDropStaleBulkData();
    return 1;
}

int usbStartSession() {
    UsbPacket packet;
    // A receiver that misses the start-session packet gets it again.
    for (int attempt = 1; attempt <= kSessionAttempts; attempt++) {
        usbSetHeader(packet, kUsbProtocolLayer, kUsbPidStartSession, 0);
        if (!usbWritePacket(packet)) {
            showError("Fehler bei Ausgabe zum USB-Anschluss.");
            usbClose();
            return 0;
        }
        // Other packets are discarded.
        const uint32_t start = linkIo().nowMs();
        for (;;) {
            uint32_t spent = (uint32_t)(linkIo().nowMs() - start);
            if (spent >= kSessionAttemptMs || !usbReadPacket(packet, kSessionAttemptMs - spent)) break;
            if (usbPacketType(packet) == kUsbProtocolLayer && usbPacketId(packet) == kUsbPidSessionStarted) return 1;
        }
        // A receiver that is gone gets no more start-session packets.
        if (!deviceOpen || deviceGone) break;
    }
    showError("Fehler bei Lesen vom USB-Anschluss.");
    usbClose();
    return 0;
}

void usbDropStaleBulkData() {
    // Left over from an earlier session: no announcement is waiting for it.
    uint8_t buffer[kUsbPacketBufferSize];
    for (int i = 0; i < kStaleBulkReads && deviceOpen; i++) {
        int n = activeDriver.bulkRead(activeDriver.context, buffer, kUsbPacketBufferSize, kStaleBulkWaitMs);
        if (n <= 0) break;
        traceUsbPacket('<', buffer, n, "stale, dropped");
    }
    usbBulkPending = false;
    surplusLength = 0;
}

int usbReadPacket(UsbPacket& packet, unsigned waitMs) {
    if (!deviceOpen || deviceGone) return 0;
    const uint32_t start = linkIo().nowMs();
    for (;;) {
        if (usbBulkPending) {
            // A zero-length read ends the burst; the answer may go on with
            // the next announcement on the interrupt pipe.
            int r = readBulk(packet, kUsbBulkWaitMs);
            if (r < 0) {
                traceLinkEvent("USB", "bulk read failed or timed out");
                return 0;
            }
            if (r > 0) {
                traceUsbPacket('<', packet.bytes, tracedLength(packet), "bulk");
                return 1;
            }
            traceLinkEvent("USB", "bulk burst ended");
        }
        if (!readInterrupt(packet, start, waitMs)) {
            traceLinkEvent("USB", "interrupt read failed or timed out");
            return 0;
        }
        traceUsbPacket('<', packet.bytes, tracedLength(packet), "interrupt");
        if (usbPacketType(packet) == kUsbProtocolLayer && usbPacketId(packet) == kUsbPidDataAvailable) {
            usbBulkPending = true;
            continue;
        }
        return 1;
    }
}

int usbWritePacket(const UsbPacket& packet) {
    if (!deviceOpen || deviceGone) return 0;
    uint32_t dataSize = usbPacketDataSize(packet);
    if (dataSize > kUsbPacketBufferSize - kUsbHeaderSize) return 0;
    int length = kUsbHeaderSize + (int)dataSize;
    int n = noteGone(activeDriver.bulkWrite(activeDriver.context, packet.bytes, length));
    traceUsbPacket('>', packet.bytes, length, n == length ? "" : "write failed");
    // A short write lost part of the packet: that is a failure too.
    if (n != length) return 0;
    if (usbPacketSize != 0 && (uint32_t)n % usbPacketSize == 0) {
        if (activeDriver.bulkWrite(activeDriver.context, packet.bytes, 0) < 0) return 0;
    }
    return 1;
}

void usbDrainPending() {
    UsbPacket packet;
    while (usbBulkPending) {
        if (readBulk(packet, kUsbBulkWaitMs) <= 0) {
            usbBulkPending = false;
            break;
        }
        traceUsbPacket('<', packet.bytes, tracedLength(packet), "drained");
    }
    surplusLength = 0;
    interruptSurplusLength = 0;
}

void pauseTenMilliseconds() {
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long elapsedUs = (now.tv_sec - start.tv_sec) * 1000000L + (now.tv_nsec - start.tv_nsec) / 1000;
        if (elapsedUs > 10000) return;
        if (elapsedUs < 9000) {
            struct timespec nap = {0, 1000000L};
            nanosleep(&nap, nullptr);
        }
    }
}

// The message with a hint after its first line when the receiver is there
// but reached another way.
void showUsbOpenError() {
    std::string text = "Fehler beim Initialisieren der USB-Verbindung.";
    const std::vector<DriveDevice> drives = findGarminDrives();
    if (!drives.empty())
        text += "\nEin Garmin-Gerät ist als Laufwerk eingehängt: wählen Sie als Anschluss \"" +
                drivePortLabel(drives.front()) + "\".";
    else if (usingLibusb() && otherGarminUsbDevices() > 0)
        text += "\nAm USB hängt ein Garmin-Gerät, das nicht über das Garmin-Protokoll spricht: ein "
                "USB-Laufwerk (hängen Sie es ein und wählen Sie \"Garmin-Laufwerk\") oder ein MTP-Gerät.";
    showError(text.c_str());
}

