// USB transport over the driver seam: session start, interrupt and bulk
// reads with the pending-bulk state, writes with the zero-length rule.

#include <cstring>
#include <ctime>

#include "app/platform.h"
#include "link/link_clock.h"
#include "link/usb.h"

uint32_t usbPacketSize = 0;
bool usbBulkPending = false;

namespace {

constexpr uint32_t kSessionWaitMs = 10000;

const UsbDriver* installedDriver = nullptr;
UsbDriver activeDriver = {};
bool deviceOpen = false;

const UsbDriver& driver() { return installedDriver ? *installedDriver : libusbDriver(); }

void put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

// Bulk data into the buffer; 1 when bytes came, 0 at the end of the data or
// on failure (the pending state ends either way).
int readBulk(UsbPacket& packet) {
    pauseTenMilliseconds();
    memset(packet.bytes, 0, sizeof packet.bytes);
    int n = activeDriver.bulkRead(activeDriver.context, packet.bytes, kUsbPacketBufferSize);
    if (n <= 0) {
        usbBulkPending = false;
        return 0;
    }
    usbBulkPending = true;
    return 1;
}

}  // namespace

uint8_t usbPacketType(const UsbPacket& packet) { return packet.bytes[0]; }

uint16_t usbPacketId(const UsbPacket& packet) {
    return (uint16_t)(packet.bytes[4] | (packet.bytes[5] << 8));
}

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

int usbLinkOpen() { return deviceOpen; }

void usbClose() {
    if (deviceOpen) {
        activeDriver.close(activeDriver.context);
        deviceOpen = false;
    }
    usbBulkPending = false;
}

int openUsbDevice() {
    usbBulkPending = false;
    closeLink();
    activeDriver = driver();
    if (!activeDriver.open(activeDriver.context)) return 0;
    deviceOpen = true;
    usbPacketSize = activeDriver.packetSize(activeDriver.context);
    if (usbPacketSize == 0) {
        usbClose();
        return 0;
    }
    if (!usbStartSession()) return 0;
    usbDrainPending();
    return 1;
}

int usbStartSession() {
    UsbPacket packet;
    usbSetHeader(packet, kUsbProtocolLayer, kUsbPidStartSession, 0);
    if (!usbWritePacket(packet)) {
        showError("Fehler bei Ausgabe zum USB-Anschluss.");
        usbClose();
        return 0;
    }
    // Other packets are discarded; a receiver that sends nothing else for
    // this long has not started the session.
    const uint32_t start = linkIo().nowMs();
    for (;;) {
        if (!usbReadPacket(packet) || (uint32_t)(linkIo().nowMs() - start) > kSessionWaitMs) {
            showError("Fehler bei Lesen vom USB-Anschluss.");
            usbClose();
            return 0;
        }
        if (usbPacketType(packet) == kUsbProtocolLayer && usbPacketId(packet) == kUsbPidSessionStarted)
            return 1;
    }
}

int usbReadPacket(UsbPacket& packet) {
    if (!deviceOpen) return 0;
    if (usbBulkPending) return readBulk(packet);

    memset(packet.bytes, 0, sizeof packet.bytes);
    int filled = 0;
    bool truncated = false;
    uint8_t chunk[kUsbInterruptChunk];
    for (;;) {
        int n = activeDriver.interruptRead(activeDriver.context, chunk, kUsbInterruptChunk);
        if (n < 0) return 0;
        if (n > kUsbInterruptChunk) n = kUsbInterruptChunk;
        int room = kUsbPacketBufferSize - filled;
        if (n > room) {
            memcpy(packet.bytes + filled, chunk, room);
            filled = kUsbPacketBufferSize;
            truncated = true;
        } else {
            memcpy(packet.bytes + filled, chunk, n);
            filled += n;
        }
        if (n != kUsbInterruptChunk) break;
    }
    if (truncated) put32(packet.bytes + 8, 256);

    if (usbPacketType(packet) == kUsbProtocolLayer && usbPacketId(packet) == kUsbPidDataAvailable)
        return readBulk(packet);
    return 1;
}

int usbWritePacket(const UsbPacket& packet) {
    if (!deviceOpen) return 0;
    uint32_t dataSize = usbPacketDataSize(packet);
    if (dataSize > kUsbPacketBufferSize - kUsbHeaderSize) return 0;
    int length = kUsbHeaderSize + (int)dataSize;
    int n = activeDriver.bulkWrite(activeDriver.context, packet.bytes, length);
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
        if (!usbReadPacket(packet)) {
            usbBulkPending = false;
            break;
        }
    }
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
