#pragma once
// Transfers with a receiver that appears as a drive (link/drive.h): the
// drive opened last is the one used.

// Waypoints or routes (transferKind 7) or track logs (6) from the GPX files
// of the receiver into a file of the chosen kind.
void downloadFromDrive(int transferKind, int fileKind, int objectKind);

// One new GPX 1.1 file in the receiver's input location, never replacing
// any of its files.
void uploadToDrive(int transferKind, int fileKind);
