// The command driver: opens the link, identifies the receiver, runs the
// transfer or the device query and always returns to the idle state.

#include "commands/command.h"

#include "platform/platform.h"
#include "transfers/receiver.h"

bool transferBusy = false;

const char* const kStatusReady = "  Status:   Bereit.";
const char* const kStatusWait = "  Status:   Bitte warten.";

int runCommand(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind) {
    // One command at a time, even when a front end dispatches a second one
    // from its event pump while a transfer runs.
    if (transferBusy) {
        platform().beep();
        return 0;
    }
    if (command < DownloadWaypoints || command > DeviceInfo) return 0;

    // Open the link; the status line and the busy flag stay untouched when
    // that fails.
    const Receiver& receiver = receiverAt(port);
    if (!receiver.open(port)) return 0;

    setStatusLine(kStatusWait);
    transferBusy = true;

    if (command == DeviceInfo) {
        receiver.showDeviceInfo();
    } else if (receiver.prepareTransfer()) {
        if (isUpload(command))
            receiver.upload(transferKindOf(command), fileKind);
        else
            receiver.download(transferKindOf(command), fileKind, objectKind);
    }

    transferBusy = false;
    receiver.close();
    setStatusLine(kStatusReady);
    return 0;
}
