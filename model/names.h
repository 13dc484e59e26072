#pragma once
// Automatic point names and the uniqueness of waypoint names.

#include <string>

// Two characters 'A'..'Z' / '0'..'9' and a NUL; "AA" at the start of every upload.
extern char nameInitials[3];
extern bool nameInitialsAsked;
extern bool namesChanged;
extern int autoNameCounter;

// Starts the naming state of an upload: "AA", not asked, counter 1, no change.
void resetNamingState();

// "%c%c%04d" with nameInitials and number.
std::string makeAutomaticPointName(int number);
// NameOfPoint of record index equals that of an earlier record.
bool isDuplicatePointName(int index);
// The naming step of the waypoint upload (trim, name the unnamed, cut to the
// identifier length the receiver keeps, make unique). identifierLength is at
// least 6, at most 50.
void makePointNamesUnique(int identifierLength = 50);

// GETINITIALSDLG: shows the dialog through the platform (preset with
// nameInitials) and stores the accepted pair in nameInitials. Does not touch
// nameInitialsAsked; the callers set it.
void askNameInitials();
// The dialog's input check: nullptr for two characters 'A'..'Z'/'0'..'9'
// (lower-case letters are taken as capitals, as the field turns them), else
// "Als Eingabe werden hier genau zwei Zeichen \naus den Bereichen 'A' - 'Z' oder '0' - '9' \nerwartet!".
const char* checkNameInitials(const std::string& entry);
