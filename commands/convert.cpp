// The general conversion of the command-line tool: the reader of one file
// type, the writer of another.

#include "commands/convert.h"
#include "transfers/messages.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "formats/format_helpers.h"
#include "formats/gpx.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "model/helpers.h"
#include "model/names.h"
#include "model/point_table.h"

namespace {

const char* const kWaypointsLeftOut =
    "%d Wegpunkte ohne Routen- und Punktnummer sind keine \nLinienobjekte und werden ausgelassen.";
const char* const kNothingLeftError = "Es bleibt nichts zum Schreiben übrig. Es wird keine \nAusgabedatei erzeugt.";

void trimTrailingBlanks(char (&field)[kNameSize]) {
    size_t end = strnlen(field, kNameSize - 1);
    while (end > 0 && field[end - 1] == ' ') end--;
    field[end] = '\0';
}

// With line objects, a waypoint (a record without route and point number)
// is no vertex of a line: such records leave the table. Returns how many.
int dropWaypoints() {
    int kept = 0;
    bool segmentStart = false;
    for (int i = 0; i < pointTable.count; i++) {
        PointRecord& r = pointTable.records[i];
        if (r.NumberOfRouteOrTrack == 0 && r.NumberOfPoint == 0) {
            segmentStart = segmentStart || r.NewSegment;
            continue;
        }
        if (kept != i) pointTable.records[kept] = r;
        if (segmentStart) pointTable.records[kept].NewSegment = 1;
        segmentStart = false;
        kept++;
    }
    const int dropped = pointTable.count - kept;
    pointTable.count = kept;
    if (kept > 0) pointTable.records[0].NewSegment = 1;
    return dropped;
}

int readFileOfKind(int fileKind, const std::string& name, int transferKind) {
    bool numbers = false, names = false;
    switch (fileKind) {
    case MapInfoMif: return readMifFile(name.c_str(), transferKind, numbers, names);
    case OvlAscii: {
        int separate = 0;
        return readOvlAsciiFile(name.c_str(), transferKind, separate, transferKind == 6);
    }
    case Gpx: return readGpxFile(name.c_str(), transferKind, numbers, names);
    default: {
        int objectKindFound = 0;
        return readOvlBinaryFile(name.c_str(), transferKind, objectKindFound, numbers, names);
    }
    }
}

int writeFileOfKind(int fileKind, const std::string& name, int objectKind, int transferKind) {
    switch (fileKind) {
    case MapInfoMif: return writeMifFile(name.c_str(), objectKind);
    case OvlAscii: return writeOvlAsciiFile(name.c_str(), objectKind);
    case Gpx: return writeGpxFile(name.c_str(), objectKind, transferKind);
    default: return writeOvlBinaryFile(name.c_str(), objectKind);
    }
}

}  // namespace

const char* defaultExtension(int fileKind) { return fileKind == MapInfoMif ? "mif" : fileKind == Gpx ? "gpx" : "ovl"; }

int convertBetweenFileKinds(int fromKind, int toKind, int objectKind, int transferKind, const std::string& input,
                            const std::string& output) {
    resetNamingState();
    {
        KeepFileTextsWhileReading keepTexts;
        if (!readFileOfKind(fromKind, input, transferKind)) return 0;
    }
    warnFieldsLeftEmpty(pointTable.fieldsLeftEmpty);
    for (int i = 0; i < pointTable.count; i++) {
        PointRecord& r = pointTable.records[i];
        trimTrailingBlanks(r.NameOfPoint);
        trimTrailingBlanks(r.NameOfRouteOrTrack);
        trimTrailingBlanks(r.Comment);
    }
    char text[160];
    if (objectKind == LineObjects) {
        if (const int waypoints = dropWaypoints()) {
            std::snprintf(text, sizeof text, kWaypointsLeftOut, waypoints);
            showWarning(text);
        }
    }
    const LinePointResult lines = countLinePoints(objectKind);
    if (lines.valid == 0 && pointTable.count > 0) {
        showError(kNoValidPositionError);
        return 0;
    }
    // What the writer will write: a GPX keeps lines of one point.
    int written = 0;
    forEachWrittenRecord(
        objectKind, [&](const PointRecord&, bool) { return ++written > 0; }, toKind == Gpx);
    if (lines.shortLine && toKind != Gpx) showWarning(kShortLineError);
    if (written == 0) {
        showError(kNothingLeftError);
        return 0;
    }
    if (!writeFileOfKind(toKind, output, objectKind, transferKind)) {
        showError(kWriteError);
        return 0;
    }
    std::snprintf(text, sizeof text, "Umwandlung erfolgreich beendet (%05d Punkte).", written);
    showInfo(text);
    return 1;
}
