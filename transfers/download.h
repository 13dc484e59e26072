#pragma once
// Download of waypoints and routes or of track logs into a file.

#include <string>
#include <vector>

#include "link/link.h"
#include "model/kinds.h"

void downloadFromDevice(const Link& link, TransferKind transferKind, FileKind fileKind, ObjectKind objectKind);

// The parts every download shares, whichever link it reads from.

// "Maximale Anzahl von Punkten überschritten."
extern const char* const kCapacityError;
// The save dialog of the file kind; false when cancelled.
bool chooseDownloadFile(FileKind fileKind, std::string& fileName);
// "Nur die Wegpunkte abrufen, die ROUTE(N) zugeordnet sind? ..."
bool askDownloadRouteMode();
// "Nur eine einzelne (noch auszuwählende) \nTrack-Aufzeichnung abrufen?"
bool askDownloadSingleTrack();
// TRACKSELDLG with the names (Windows-1252); selected is 0-based. false
// when cancelled or nothing was chosen.
bool chooseDownloadTrack(const std::vector<std::string>& names, int& selected);
// Checks the positions and lines of the point table, writes the file of the
// chosen kind and reports the result. The waypoints of a download that is
// not in route mode form no lines: with line objects they are left out and
// counted, and a download with nothing left to write writes no file.
void writeDownloadFile(const std::string& fileName, FileKind fileKind, ObjectKind objectKind,
                       TransferKind transferKind, bool routeMode = false);

// writeDownloadFile's steps for a file written in parts, the table refilled
// between them: the checks gathered over the parts (countLinePoints runs on
// each), their error (false) or warnings, and the success box.
struct DownloadChecks {
    int records = 0;
    int written = 0;  // what the writer writes
    int valid = 0;
    int fieldsLeftEmpty = 0;
    bool shortLine = false;
};
void addDownloadChecks(DownloadChecks& checks, FileKind fileKind, ObjectKind objectKind);
bool reportDownloadChecks(const DownloadChecks& checks, FileKind fileKind);
void reportDownloadWritten(int points);
