#pragma once
// Automatic point names and the uniqueness of waypoint names.

#include <string>

// The automatic-naming state of one upload or conversion. The caller owns
// it and passes it to the reader and the naming step; a new one starts at
// "AA", not asked, counter 1, no change.
struct NamingState {
    char initials[3] = {'A', 'A', '\0'};  // 'A'..'Z' / '0'..'9' and a NUL
    bool initialsAsked = false;           // the initials dialog was shown
    bool namesChanged = false;            // the naming step changed a repeated name
    int autoNameCounter = 1;              // the naming step's next number
};

// "%c%c%04d" with the initials and number.
std::string makeAutomaticPointName(const NamingState& naming, int number);
// NameOfPoint of record index equals that of an earlier record.
bool isDuplicatePointName(int index);
// The naming step of the waypoint upload (trim, name the unnamed, cut to the
// identifier length the receiver keeps, make unique). identifierLength is at
// least 6, at most 50.
void makePointNamesUnique(NamingState& naming, int identifierLength = 50);

// GETINITIALSDLG: shows the dialog through the platform (preset with the
// initials) and stores the accepted pair. Does not touch initialsAsked.
void askNameInitials(NamingState& naming);
// The dialog once per state: shown when not asked yet, then marked asked.
void askNameInitialsOnce(NamingState& naming);
// The dialog's input check: nullptr for two characters 'A'..'Z'/'0'..'9'
// (lower-case letters are taken as capitals, as the field turns them), else
// "Als Eingabe werden hier genau zwei Zeichen \naus den Bereichen 'A' - 'Z' oder '0' - '9' \nerwartet!".
const char* checkNameInitials(const std::string& entry);
