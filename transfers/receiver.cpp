// The two ways to a receiver behind one table: the packet link with the
// identification query before every transfer, and the Garmin drive whose
// description comes from its GarminDevice.xml.

#include "transfers/receiver.h"
#include "transfers/messages.h"

#include "platform/platform.h"
#include "link/device_info.h"
#include "link/drive.h"
#include "link/mtp.h"
#include "transfers/download.h"
#include "transfers/drive_transfer.h"
#include "transfers/upload.h"

namespace {

// The link opened by the command that runs.
const Link* openedLink = nullptr;

bool openPacketLink(const Port& port) {
    openedLink = openLink(port);
    return openedLink != nullptr;
}

void showPacketDeviceInfo() { queryDeviceInfo(*openedLink, 1); }

// A receiver that did not identify itself gets no transfer in either
// direction: its records would be read or written in guessed layouts, and
// on a link without acknowledgements an upload reads no reply at all.
bool identifyOnPacketLink() {
    if (queryDeviceInfo(*openedLink, 0)) return true;
    showError(kConnectError);
    return false;
}

void downloadOverPacketLink(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    downloadFromDevice(*openedLink, transferKind, fileKind, objectKind);
}

void uploadOverPacketLink(TransferKind transferKind, FileKind fileKind) {
    uploadToDevice(*openedLink, transferKind, fileKind);
}

void closePacketLink() {
    closeLink();
    openedLink = nullptr;
}

const Receiver kPacketReceiver = {openPacketLink,         showPacketDeviceInfo, identifyOnPacketLink,
                                  downloadOverPacketLink, uploadOverPacketLink, closePacketLink};

bool openDriveReceiver(const Port&) { return openDrive() == 1; }

void showDriveDeviceInfo() {
    platform().deviceInfoDialog(" Wegmate -- Angeschlossenes Gerät", driveDescriptionText(openedDrive()).c_str());
}

// No packets, no protocol list: the XML read at opening is all there is.
bool driveNeedsNoIdentification() { return true; }

void closeNothing() {}

const Receiver kDriveReceiver = {openDriveReceiver, showDriveDeviceInfo, driveNeedsNoIdentification,
                                 downloadFromDrive, uploadToDrive,       closeNothing};

bool openMtpReceiver(const Port&) { return openMtpPort() == 1; }

void showMtpDeviceInfo() {
    platform().deviceInfoDialog(" Wegmate -- Angeschlossenes Gerät", mtpDescriptionText().c_str());
}

const Receiver kMtpReceiver = {openMtpReceiver, showMtpDeviceInfo, driveNeedsNoIdentification,
                               downloadFromMtp, uploadToMtp,       closeMtpPort};

}  // namespace

const Receiver& receiverAt(const Port& port) {
    if (port.kind == LinkKind::Mtp) return kMtpReceiver;
    return port.kind == LinkKind::Drive ? kDriveReceiver : kPacketReceiver;
}
