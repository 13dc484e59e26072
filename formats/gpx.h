#pragma once

#include "model/kinds.h"

struct NamingState;
// GPS Exchange Format: GPX 1.1 written, GPX 1.0 and 1.1 read.

// Writes records 0..count-1 in UTF-8: as wpt for PointObjects; for
// LineObjects as trk/trkseg/trkpt when transferKind is 6 (a new trkseg
// where a record starts a new segment, a new trk where the track changes),
// otherwise as rte/rtept. countLinePoints must have run for LineObjects.
// 1 or 0; shows nothing. The file is replaced only when written completely.
int writeGpxFile(const char* fileName, int objectKind, TransferKind transferKind);

// Replaces the PointTable with the points of the file; reports its own
// failures. A track upload (transferKind 6) takes the tracks, or the routes
// when there is no track, or else the waypoints; a waypoint or route upload
// takes waypoints and routes, or the tracks when there is neither. The two
// flags are owned by the caller, set, never cleared. naming: the caller's
// automatic-naming state (model/names.h), or nullptr for one of the
// reading's own.
int readGpxFile(const char* fileName, TransferKind transferKind, bool& fileHasRouteOrTrackNumbers,
                bool& fileHasRouteOrTrackNames, NamingState* naming = nullptr);

// Appends the chosen objects of a file to the PointTable as the file has
// them (no automatic names, nothing else taken in their place, no message
// when the file holds none of them). A full table stops the reading with
// capacityMessage (nullptr: the reader's own). 1 or 0 after the message; on
// 0 the table keeps only what it held before.
int appendGpxObjects(const char* fileName, bool waypoints, bool routes, bool tracks, const char* capacityMessage);
