#pragma once
// Upload of waypoints, routes (transferKind 7) and track logs (6) from a file.

void uploadToDevice(int portNumber, int transferKind, int fileKind);

// The parts every upload shares, whichever link it writes to.

// The open dialog of the file kind, the reader and the check of the
// positions. false after a message or a cancelled dialog.
bool readUploadFile(int transferKind, int fileKind, bool& carriesRouteOrTrackIds);
// "Wegpunkte in ROUTE(N) laden ...": the question of the file kind.
bool askUploadRouteMode(bool carriesRouteOrTrackIds);
