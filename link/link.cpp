// Ports and the one choice of the link a port stands for.

#include "link/link.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "link/transport.h"
#include "link/usb.h"

Port portAtIndex(int index) {
    if (index == kDrivePortIndex) return kDrivePort;
    if (index == kMtpPortIndex) return kMtpPort;
    if (index == 0) return kUsbPort;
    return comPort(index);
}

int portIndex(const Port& port) {
    switch (port.kind) {
    case LinkKind::Drive: return kDrivePortIndex;
    case LinkKind::Mtp: return kMtpPortIndex;
    case LinkKind::Serial: return port.comNumber;
    default: return 0;
    }
}


const Link* openLink(const Port& port) {
    switch (port.kind) {
    case LinkKind::Serial:
        if (port.comNumber < 1 || port.comNumber > 8) return nullptr;
        closeLink();
        return openSerialPort(port.comNumber) ? &serialLink(port.comNumber) : nullptr;
    case LinkKind::Usb:
        closeLink();
        if (!openUsbDevice()) {
            closeLink();
            showUsbOpenError();
            return nullptr;
        }
        return &usbLink();
    default: return nullptr;
    }
}

void closeLink() {
    closeSerialPort();
    usbClose();
}
