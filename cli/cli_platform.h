#pragma once
// The command-line front end of the platform interface: boxes go to the
// terminal, questions and dialogs are answered from the options the user
// gave, file dialogs from the file arguments.

#include <string>

struct CliAnswers {
    // "Wegmate  --  Wegpunktmodus": download routes / upload --as-routes.
    bool asRoutes = false;
    // "Wegmate  --  Track-Punkt-Zuordnung", "Wegmate  --  Mehrere Track-Aufz.".
    bool separateTracks = false;
    // --track N (1-based), 0 = none.
    int track = 0;
    bool hasInitials = false;
    std::string initials;
    bool hasId = false;
    std::string id;
    // Answers of the open and save dialogs, in order of use; empty = cancel.
    std::string openFile;
    std::string saveFile;
    // convert: the OK/Cancel question is answered OK.
    bool confirm = false;
};

// Installs the front end with these answers.
void installCliPlatform(const CliAnswers& answers);
// An error box (title "FEHLER") or an unusable answer was seen.
bool cliErrorShown();
// A warning box (title "Wegmate-WARNUNG"): done, with parts left out.
bool cliWarningShown();
// Ends a progress line on stderr, if one is showing.
void cliFinishProgress();
