#pragma once

#include <cstdio>
#include <string>

#include "model/kinds.h"
#include "model/point_table.h"
#include "platform/atomic_file.h"

struct NamingState;
// GPS Exchange Format: GPX 1.1 written, GPX 1.0 and 1.1 read.

// Writes records 0..count-1 in UTF-8: as wpt for PointObjects; for
// LineObjects as trk/trkseg/trkpt when transferKind is 6 (a new trkseg
// where a record starts a new segment, a new trk where the track changes),
// otherwise as rte/rtept. countLinePoints must have run for LineObjects.
// 1 or 0; shows nothing. The file is replaced only when written completely.
int writeGpxFile(const char* fileName, int objectKind, TransferKind transferKind);
// The same document as text, for a writer that puts it in place itself.
std::string gpxDocument(int objectKind, TransferKind transferKind);

// The same file written in parts, the table refilled between them: for more
// points than the table holds. Every part begins a new object (a line with
// the same number and name as the previous part's last goes on as a further
// segment of that track). begin and every part 1 or 0; finish renames the
// file into place (1) or removes it (0); abort removes it.
struct GpxWriting {
    AtomicFile file;
    const char* lineTag = "trk";
    bool lineOpen = false;
    bool segmentOpen = false;
    int trackNumber = 0;
    char trackName[kNameSize] = "";
};
int beginGpxWriting(GpxWriting& writing, const char* fileName);
int writeGpxPart(GpxWriting& writing, int objectKind, TransferKind transferKind);
int finishGpxWriting(GpxWriting& writing);
void abortGpxWriting(GpxWriting& writing);

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

// appendGpxObjects without a message box: message gets the text of what
// went wrong, and the result tells a full table from a fault of the file
// (missing, unreadable, malformed, not GPX).
enum class GpxAppend { Read, FileFault, TableFull };
GpxAppend appendGpxObjectsOf(const char* fileName, bool waypoints, bool routes, bool tracks,
                             const char* capacityMessage, std::string& message);
// The same from a file already open (closed here; nullptr: the message that
// the file cannot be opened).
GpxAppend appendGpxObjectsOf(FILE* file, bool waypoints, bool routes, bool tracks, const char* capacityMessage,
                             std::string& message);
// The same from a file already open (closed here; nullptr: the message that
// the file cannot be opened).
int appendGpxObjects(FILE* file, bool waypoints, bool routes, bool tracks, const char* capacityMessage);
