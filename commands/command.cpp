// The command driver: opens the link, identifies the receiver, runs the
// transfer or the device query and always returns to the idle state.

#include "commands/command.h"

#include "platform/platform.h"
#include "link/device_info.h"
#include "link/drive.h"
#include "link/transport.h"
#include "transfers/download.h"
#include "transfers/drive_transfer.h"
#include "transfers/upload.h"

bool transferBusy = false;

const char* const kStatusReady = "  Status:   Bereit.";
const char* const kStatusWait = "  Status:   Bitte warten.";

namespace {

// The drive link: no packets, no protocol list; the device's description
// comes from its GarminDevice.xml.
int runDriveCommand(TransferCommand command, FileKind fileKind, ObjectKind objectKind) {
    if (!openDrive()) return 0;
    setStatusLine(kStatusWait);
    transferBusy = true;
    switch (command) {
    case DeviceInfo:
        platform().deviceInfoDialog(" Wegmate -- Angeschlossenes Gerät", driveDescriptionText(openedDrive()).c_str());
        break;
    case UploadWaypoints:
    case UploadTracks: uploadToDrive(transferKindOf(command), fileKind); break;
    default: downloadFromDrive(transferKindOf(command), fileKind, objectKind); break;
    }
    transferBusy = false;
    setStatusLine(kStatusReady);
    return 0;
}

}  // namespace

int runCommand(TransferCommand command, int portNumber, FileKind fileKind, ObjectKind objectKind) {
    // One command at a time, even when a front end dispatches a second one
    // from its event pump while a transfer runs.
    if (transferBusy) {
        platform().beep();
        return 0;
    }
    if (command < DownloadWaypoints || command > DeviceInfo) return 0;
    if (portNumber == kDrivePort) return runDriveCommand(command, fileKind, objectKind);

    // Open the link; the status line and the busy flag stay untouched when
    // that fails.
    if (portNumber >= 1 && portNumber <= 8) {
        if (!openSerialPort(portNumber)) return 0;
    } else if (portNumber == 0) {
        if (!openUsbDevice()) {
            closeLink();
            showError("Fehler beim Initialisieren der USB-Verbindung.");
            return 0;
        }
    } else {
        return 0;
    }

    setStatusLine(kStatusWait);
    transferBusy = true;

    switch (command) {
    case DeviceInfo: queryDeviceInfo(portNumber, 1); break;
    case UploadWaypoints:
    case UploadTracks:
    default:
        // A receiver that did not identify itself gets no transfer in either
        // direction: its records would be read or written in guessed
        // layouts, and on USB an upload reads no reply at all.
        if (!queryDeviceInfo(portNumber, 0))
            showError("Fehler beim Aufbau der Verbindung zum GPS-Gerät.");
        else if (isUpload(command))
            uploadToDevice(portNumber, transferKindOf(command), fileKind);
        else
            downloadFromDevice(portNumber, transferKindOf(command), fileKind, objectKind);
        break;
    }

    transferBusy = false;
    closeLink();
    setStatusLine(kStatusReady);
    return 0;
}
