// The general conversion of the command-line tool: the reader of one file
// type, the writer of another.

#include "commands/convert.h"
#include "transfers/messages.h"

#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"
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

void trimTrailingBlanks(char (&field)[kNameSize]) {
    size_t end = strnlen(field, kNameSize - 1);
    while (end > 0 && field[end - 1] == ' ') end--;
    field[end] = '\0';
}

}  // namespace

bool listFileContent(FileKind kind, TransferKind transferKind, const std::string& input,
                     std::vector<ContentItem>& items) {
    ReadFacts facts;
    if (!fileFormat(kind).read(input.c_str(), transferKind, facts)) return false;
    items = listContent(pointTable, transferKind);
    return true;
}

void leaveWaypointsOutOfLines() {
    if (const int waypoints = dropWaypoints()) {
        char text[160];
        std::snprintf(text, sizeof text, kWaypointsLeftOut, waypoints);
        showWarning(text);
    }
}

int convertBetweenFileKinds(FileKind fromKind, FileKind toKind, ObjectKind objectKind, TransferKind transferKind,
                            const std::string& input, const std::string& output, const std::string& selection) {
    const FileFormat& from = fileFormat(fromKind);
    const FileFormat& to = fileFormat(toKind);
    if (from.onlyTrackLogs) transferKind = TransferKind::Tracks;
    ReadFacts facts;
    facts.askSeparateTracks = transferKind == TransferKind::Tracks;
    if (!from.read(input.c_str(), transferKind, facts)) return 0;
    warnFieldsLeftEmpty(pointTable.fieldsLeftEmpty);
    if (!applySelection(transferKind, selection)) return 0;
    if (toKind != FileKind::Gpx) warnUnknownSymbolNames(unknownSymbolNames());
    for (int i = 0; i < pointTable.count; i++) {
        PointRecord& r = pointTable.records[i];
        trimTrailingBlanks(r.NameOfPoint);
        trimTrailingBlanks(r.NameOfRouteOrTrack);
        trimTrailingBlanks(r.Comment);
    }
    char text[160];
    if (objectKind == LineObjects) leaveWaypointsOutOfLines();
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
        showError(atomicRefusal() ? atomicRefusal() : kWriteError);
        return 0;
    }
    std::snprintf(text, sizeof text, "Umwandlung erfolgreich beendet (%05d Punkte).", written);
    showInfo(text);
    return 1;
}
