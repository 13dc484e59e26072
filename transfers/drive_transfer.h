#pragma once
// Transfers with a receiver that appears as a drive (link/drive.h): the
// drive opened last is the one used.

#include "model/kinds.h"

// Waypoints or routes, or track logs, from the GPX files of the receiver
// into a file of the chosen kind.
void downloadFromDrive(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind);

// One new GPX 1.1 file in the receiver's input location, never replacing
// any of its files.
void uploadToDrive(TransferKind transferKind, FileKind fileKind);

// The same with the MTP unit opened last (link/mtp.h), through its file
// seam: its files are copied into memory to be read, and the upload is
// stored as a new file.
void downloadFromMtp(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind);
void uploadToMtp(TransferKind transferKind, FileKind fileKind);
