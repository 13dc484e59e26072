#pragma once
// The one seam between the program's core and whatever front end runs it.
//
// The core (link, transfer, formats, command driver) never touches a window
// system. Everything it shows to or asks of the user goes through the
// function table below. A front end (the Qt program, the command-line tool,
// the scripted platform of the tests) fills a Platform and installs it with
// installPlatform() at start-up.
//
// All texts passed through this interface are UTF-8. Data that comes from the
// receiver or from files (point names, device descriptions) is Windows-1252
// in the core and is converted with cp1252ToUtf8() (app/text_encoding.h)
// before it is put into a message.

#include <string>
#include <vector>

enum class BoxIcon { Warning, Information, Question };

// The questions the program asks. Front ends that answer by themselves (the
// command-line tool from its options, the tests from their script) know a
// question by its id, never by its text.
enum class QuestionId {
    RouteMode,             // download: only the waypoints of routes; upload: waypoints into routes
    SingleTrack,           // download: only one track log (chosen later)?
    TrackOffer,            // download: this track log? number: the track log's number, from 1
    SeparateTracks,        // upload: track points into separate track logs by number or name?
    SeparateOverlayLines,  // OVL ASCII reader: the file's lines as separate track logs?
    ConvertOverlay         // OVL conversion: go ahead? (OK/Cancel)
};

// The filter lists of the shared open and save dialogs: the file type's
// entry (its text in the table of file types, formats/file_formats.cpp) and
// "Alle Dateien   (*.*)", "*.*".
enum class FileFilter {
    Overlay,  // "TOP50-Overlay-Dateien (*.ovl)", "*.ovl"
    MapInfo,  // "MapInfo-MIF-Dateien   (*.mif)", "*.mif"
    Gpx,      // "GPX-Dateien (*.gpx)", "*.gpx"
    Fit       // "FIT-Dateien (*.fit)", "*.fit"
};

// Check of a dialog entry, run when the user presses OK. Returns nullptr when
// the entry is accepted, otherwise the error text; the front end then shows
// that text in a box (title "FEHLER", warning icon, owned by the dialog) and
// keeps the dialog open.
using EntryCheck = const char* (*)(const std::string& entry);

// GETINITIALSDLG: two initial characters of automatic point names. No cancel.
struct InitialsDialog {
    const char* title;                      // " Wegmate -- Wegpunktbezeichnungen"
    const std::vector<const char*>* lines;  // the eight explanatory lines
    const char* label;                      // "Anfangszeichen automatischer Punktnamen "
    int maxLength;                          // 2
    EntryCheck check;                       // the input check of the core
};

// ROUTETRACKNAMEDLG: one route/track number or name for a whole file.
struct RouteTrackIdDialog {
    const char* title;        // " Wegmate -- Routen-/Track-ID"
    const char* explanation;  // the number-mode or the name-mode text
    int maxLength;            // 3 (number mode) or 50 (name mode)
    bool narrowField;         // number mode: a field a fifth as wide, centred
    EntryCheck check;         // the input check of the core; nullptr = none
};

// TRACKSELDLG: choice of one track log.
struct TrackSelectDialog {
    const char* title;               // " Wegmate -- Auswahl Track-Aufzeichnung"
    const char* prompt;              // "Wählen Sie die zu übertrag. Track-Aufzeichnung:"
    const char* noSelectionText;     // "FEHLER: Sie haben keine Track-Aufzeichnung ausgewählt!"
    const char* noSelectionTitle;    // "Wegmate -- Auswahl Track-Aufzeichnung"
    std::vector<std::string> names;  // UTF-8 list entries, in order
};

struct Platform {
    // Modal message box with an OK button.
    void (*messageBox)(const char* title, const char* text, BoxIcon icon);
    // Yes/No question with the question icon; true only for Yes. number:
    // the number the question is about (see QuestionId), otherwise 0.
    bool (*askYesNo)(QuestionId id, const char* title, const char* text, int number);
    // OK/Cancel question with the question icon; true only for OK.
    bool (*askOkCancel)(QuestionId id, const char* title, const char* text);

    // Shared file dialogs. fileName holds the preset (a pattern such as
    // "*.mif" or a previous name) and receives the chosen full path.
    // Open: the file must exist. Save: asks before overwriting; the default
    // extension ("mif", "ovl") is added when the name has none.
    bool (*chooseFileToOpen)(const char* title, FileFilter filter, std::string& fileName);
    bool (*chooseFileToSave)(const char* title, FileFilter filter, const char* defaultExtension, std::string& fileName);

    // The main window's status line.
    void (*setStatusLine)(const char* text);
    // The counts of the status text that follows at once: done of total
    // points of a transfer. A status text without it carries no counts.
    void (*progress)(long done, long total);
    // Dispatch the main window's pending events (between packets).
    void (*pumpEvents)();
    // Repaint the main window at once.
    void (*repaintMainWindow)();
    // Wait cursor on (true) or back to the previous cursor (false).
    void (*setWaitCursor)(bool on);
    // The default beep.
    void (*beep)();
    // Fixed pauses of the transfers ("waits 500 ms").
    void (*pause)(int milliseconds);

    // Dialogs. Each returns true for OK.
    // entry: preset on the way in, the accepted text on the way out.
    bool (*initialsDialog)(const InitialsDialog& dialog, std::string& entry);
    bool (*routeTrackIdDialog)(const RouteTrackIdDialog& dialog, std::string& entry);
    // selected: the chosen 0-based index when true is returned.
    bool (*trackSelectDialog)(const TrackSelectDialog& dialog, int& selected);
    // PROTOCOLSDLG: the read-only description text of the receiver.
    void (*deviceInfoDialog)(const char* title, const char* text);
};

// Installs the front end's table; it must stay valid while it is installed.
void installPlatform(const Platform* platform);
// The installed table. Before any installPlatform() a silent default is in
// force: boxes are dropped, questions answer No, dialogs are cancelled.
const Platform& platform();

// Shorthands for the three kinds of box the program shows.
void showError(const char* text);  // title "FEHLER", warning icon
void showInfo(const char* text);   // title "Wegmate-INFO", information icon
// title "Wegmate-WARNUNG", warning icon: the work was done, but parts of the
// data were left out or changed (the command-line tool exits with status 2).
void showWarning(const char* text);
void showBox(const char* title, const char* text, BoxIcon icon);
bool askYesNo(QuestionId id, const char* title, const char* text, int number = 0);
bool askOkCancel(QuestionId id, const char* title, const char* text);
void setStatusLine(const char* text);
// A status text that reports done of total points: progress(), then the text.
void setProgressStatus(const char* text, long done, long total);
void pumpEvents();
void pauseMs(int milliseconds);
