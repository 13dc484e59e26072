// The general conversion of the command-line tool: the reader of one file
// type, the writer of another.

#include "commands/convert.h"
#include "transfers/messages.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "formats/file_formats.h"
#include "formats/format_helpers.h"
#include "model/helpers.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/symbols.h"

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
    const int dropped =
        dropRecords(0, [](const PointRecord& r) { return r.NumberOfRouteOrTrack == 0 && r.NumberOfPoint == 0; });
    if (pointTable.count > 0) pointTable.records[0].NewSegment = 1;
    return dropped;
}

}  // namespace

int convertBetweenFileKinds(FileKind fromKind, FileKind toKind, ObjectKind objectKind, TransferKind transferKind,
                            const std::string& input, const std::string& output) {
    const FileFormat& from = fileFormat(fromKind);
    const FileFormat& to = fileFormat(toKind);
    ReadFacts facts;
    facts.askSeparateTracks = transferKind == TransferKind::Tracks;
    if (!from.read(input.c_str(), transferKind, facts)) return 0;
    warnFieldsLeftEmpty(pointTable.fieldsLeftEmpty);
    if (toKind != FileKind::Gpx) warnUnknownSymbolNames(unknownSymbolNames());
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
    // What the writer will write, lines of one point included where the
    // file type holds them.
    int written = 0;
    forEachWrittenRecord(
        objectKind, [&](const PointRecord&, bool) { return ++written > 0; }, to.keepsShortLines);
    if (lines.shortLine && !to.keepsShortLines) showWarning(kShortLineError);
    if (written == 0) {
        showError(kNothingLeftError);
        return 0;
    }
    if (!to.write(output.c_str(), objectKind, transferKind)) {
        showError(kWriteError);
        return 0;
    }
    std::snprintf(text, sizeof text, "Umwandlung erfolgreich beendet (%05d Punkte).", written);
    showInfo(text);
    return 1;
}
