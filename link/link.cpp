// Ports and the one choice of the link a port stands for.

#include "link/link.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "link/drive.h"
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

namespace {

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

}  // namespace

const Link* openLink(const Port& port) {
    switch (port.kind) {
    case LinkKind::Serial:
        if (port.comNumber < 1 || port.comNumber > 8) return nullptr;
        return openSerialPort(port.comNumber) ? &serialLink(port.comNumber) : nullptr;
    case LinkKind::Usb:
        if (!openUsbDevice()) {
            closeLink();
            showUsbOpenError();
            return nullptr;
        }
        return &usbLink();
    default: return nullptr;
    }
}
