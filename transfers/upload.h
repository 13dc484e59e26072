#pragma once
// Upload of waypoints and routes or of track logs from a file.

#include "link/link.h"
#include "model/kinds.h"
#include "model/names.h"

void uploadToDevice(const Link& link, TransferKind transferKind, FileKind fileKind);

// The parts every upload shares, whichever link it writes to.

// The open dialog of the file kind, the reader and the check of the
// positions. false after a message or a cancelled dialog. naming receives
// the reader's automatic-naming state, for the naming step after it.
bool readUploadFile(TransferKind transferKind, FileKind fileKind, bool& carriesRouteOrTrackIds, NamingState& naming);
// "Wegpunkte in ROUTE(N) laden ...": the question of the file kind.
bool askUploadRouteMode(bool carriesRouteOrTrackIds);
// Uploads as routes: the waypoints of the file (without route and point
// number) belong to no route and are left out with a warning that counts
// them. false after the message when no route point is left.
bool leaveWaypointsOutOfRoutes();
