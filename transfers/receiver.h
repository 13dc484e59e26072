#pragma once
// The receiver at the chosen port, whichever way it is reached: over a packet
// link (serial, USB) or as a Garmin drive. receiverAt() is the one place that
// tells them apart; the command driver only calls the operations.

#include "link/link.h"
#include "model/kinds.h"

struct Receiver {
    // Opens the port; false after the message, or silently for a port that
    // does not exist.
    bool (*open)(const Port& port);
    // "&Geräte-Info   ": the receiver's description in the device-info dialog.
    void (*showDeviceInfo)();
    // Before a transfer: false, after the message, when the receiver cannot
    // take part (it did not identify itself).
    bool (*prepareTransfer)();
    void (*download)(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind);
    void (*upload)(TransferKind transferKind, FileKind fileKind);
    void (*close)();
};

const Receiver& receiverAt(const Port& port);
