#pragma once
// The USB packet form and the transport operations below the packet layer.

#include <cstdint>

#include "link/transport.h"

// 12-byte header and up to 256 data bytes, little-endian.
constexpr int kUsbHeaderSize = 12;
constexpr int kUsbPacketBufferSize = 268;
constexpr int kUsbInterruptChunk = 64;

constexpr uint8_t kUsbProtocolLayer = 0;
constexpr uint8_t kUsbApplicationLayer = 20;
constexpr uint16_t kUsbPidDataAvailable = 2;
constexpr uint16_t kUsbPidStartSession = 5;
constexpr uint16_t kUsbPidSessionStarted = 6;

// Bounds of the USB waits: an answer on the interrupt pipe, a bulk read.
constexpr unsigned kUsbAnswerWaitMs = 10000;
constexpr unsigned kUsbBulkWaitMs = 5000;

struct UsbPacket {
    uint8_t bytes[kUsbPacketBufferSize];
};

uint8_t usbPacketType(const UsbPacket& packet);
uint16_t usbPacketId(const UsbPacket& packet);
uint32_t usbPacketDataSize(const UsbPacket& packet);
// Clears the whole buffer and writes the header.
void usbSetHeader(UsbPacket& packet, uint8_t type, uint16_t id, uint32_t dataSize);

// Transfer size reported by the driver when the device was opened.
extern uint32_t usbPacketSize;
// The receiver announced bulk data that has not been read to its end.
extern bool usbBulkPending;

// 1 while a USB device is open.
int usbLinkOpen();
// Start-session handshake (the start-session packet up to three times);
// shows its own messages. 1 or 0.
int usbStartSession();
// Reads and drops bulk data that waits without an announcement (left over
// from an earlier session); called after the session start.
void usbDropStaleBulkData();
// One packet. While bulk data is pending it comes from the bulk pipe; a
// zero-length bulk read ends the pending state and the read goes on at the
// interrupt pipe, waiting up to waitMs there. A data-available announcement
// switches to the bulk pipe. 1, or 0 on a failure or time-out.
int usbReadPacket(UsbPacket& packet, unsigned waitMs = kUsbAnswerWaitMs);
// Writes 12 + dataSize bytes, plus a zero-length write when that length is a
// multiple of usbPacketSize. 1 or 0.
int usbWritePacket(const UsbPacket& packet);
// A little more than 10 ms, measured on the steady clock: for a driver's
// beforeBulkRead hook when its bulk pipe needs the time.
void pauseTenMilliseconds();
// Closes the USB device (closeLink and a new open call it).
void usbClose();

// A libusb transfer's outcome as the driver seam reports it: the byte count,
// also for a time-out after some bytes; kUsbDeviceGone; otherwise -1.
int libusbTransferResult(int result, int got);
// The libusb driver (vendor 0x091e, product 0x0003).
const UsbDriver& libusbDriver();
// Garmin devices on USB that do not speak the binary protocol (a unit that
// shows itself as a drive or over MTP).
int otherGarminUsbDevices();
// No other driver is installed in place of libusb.
bool usingLibusb();
// "Fehler beim Initialisieren der USB-Verbindung." with a hint after its
// first line when the receiver is there but reached another way (a Garmin
// drive, a unit on another protocol).
void showUsbOpenError();
