#pragma once
// Serial and USB transport: exactly one link is open at a time.

#include <cstdint>
#include <string>

// Serial: opens COM<portNumber> (1..8). COM n is /dev/ttyS<n-1> unless the
// config directory holds a symlink "com<n>" pointing elsewhere, or an
// override was set below. 1 on success, 0 after showing the message. A
// serial port open before is closed first; the USB device is left alone
// (openLink closes whatever link is open).
int openSerialPort(int portNumber);
// Closes the serial port (closeLink calls it).
void closeSerialPort();
// Test and tool hook: use this device path for COM<portNumber> (empty = none).
void setSerialDeviceOverride(int portNumber, const std::string& path);
// Test hook: the modem-line ioctl (TIOCMBIS and friends) of the serial
// port; nullptr restores ioctl().
using SerialModemControl = int (*)(int fd, unsigned long request, int* bits);
void installSerialModemControl(SerialModemControl control);
// The device path that COM<portNumber> stands for.
std::string serialDevicePath(int portNumber);

// USB: opens the receiver, starts the session, drains pending data.
// 1 on success, 0 on failure (the caller shows the message). A USB device
// open before is closed first; the serial port is left alone.
int openUsbDevice();
void usbDrainPending();

// USB driver seam: the operations the transport needs of the receiver's USB
// access layer. The default is libusb; tests and the built-in simulator
// install their own. Every wait is bounded.
struct UsbDriver {
    // 1 when a receiver was found and opened.
    int (*open)(void* context);
    void (*close)(void* context);
    // The transfer size used for the zero-length-write rule.
    uint32_t (*packetSize)(void* context);
    // Up to capacity bytes from the interrupt pipe in one transfer (it ends
    // with a USB packet shorter than 64 bytes or a full buffer; a driver may
    // also hand over one 64-byte piece at a time), waiting at most
    // timeoutMs; returns the byte count (0 allowed: a zero-length packet) or
    // -1 on failure / time-out.
    int (*interruptRead)(void* context, uint8_t* buffer, int capacity, unsigned timeoutMs);
    // Bulk-in data, up to capacity bytes, waiting at most timeoutMs; 0 for
    // a zero-length packet (the end of a burst), -1 on failure / time-out.
    int (*bulkRead)(void* context, uint8_t* buffer, int capacity, unsigned timeoutMs);
    // Bulk-out write of length bytes (0 allowed); the count written or -1.
    int (*bulkWrite)(void* context, const uint8_t* buffer, int length);
    void* context;
    // Called before every bulk read when set: a driver whose bulk pipe needs
    // time to fill after the announcement waits here. nullptr: no wait.
    void (*beforeBulkRead)(void* context);
};
// What a read or write returns when the receiver is gone (pulled out): no
// later call can succeed, so nothing is tried again.
constexpr int kUsbDeviceGone = -2;
// nullptr restores the libusb driver.
void installUsbDriver(const UsbDriver* driver);
