#pragma once
// The link to the receiver. A port names where the receiver is reached;
// opening it chooses the link once (openLink), and everything above the link
// layer talks through the chosen Link without asking which one it is.

#include <cstdint>

struct Packet;

enum class LinkKind : uint8_t { Usb, Serial, Drive, Mtp };

// USB, COM1..COM8, a receiver that appears as a drive (link/drive.h), or
// one reached over MTP (link/mtp.h).
struct Port {
    LinkKind kind = LinkKind::Usb;
    int comNumber = 0;  // 1..8 for a serial port
    bool operator==(const Port&) const = default;
};
inline constexpr Port kUsbPort{LinkKind::Usb, 0};
inline constexpr Port kDrivePort{LinkKind::Drive, 0};
inline constexpr Port kMtpPort{LinkKind::Mtp, 0};
constexpr Port comPort(int number) { return {LinkKind::Serial, number}; }

// The port choice of the main window and the port index of the parameter
// file: 0 = USB, 1..8 = COM1..COM8, 9 = the Garmin drive, 10 = the Garmin
// unit on MTP.
inline constexpr int kDrivePortIndex = 9;
inline constexpr int kMtpPortIndex = 10;
Port portAtIndex(int index);
int portIndex(const Port& port);

// A packet link: serial or USB.
struct Link {
    const char* name;  // as the trace names it: "USB", "COM1" ...
    int comNumber;     // 1..8 on a serial link, 0 on USB
    // Every packet is answered by ACK or NAK (serial). Without, the receiver
    // sends its records without waiting (USB).
    bool acknowledged;
    int (*send)(const Link& link, const Packet& packet, int reportErrors);
    int (*receive)(const Link& link, Packet& packet, int reportErrors, double timeoutSeconds);
    // A packet that the receiver may or may not send: its absence shows
    // nothing.
    int (*receiveOptional)(const Link& link, Packet& packet, double timeoutSeconds);
    // After an exchange: what the receiver still sends is read and dropped.
    void (*finishExchange)();
};

// The packet links.
const Link& usbLink();
// comNumber 1..8.
const Link& serialLink(int comNumber);

// Opens the serial port or the USB receiver the port names and returns its
// link; nullptr after the message, or silently for a port that does not
// exist (COM9, a drive). The one place that tells the links apart.
const Link* openLink(const Port& port);
// Closes whatever link is open.
void closeLink();
