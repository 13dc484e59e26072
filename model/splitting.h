#pragma once

#include <string>

#include "model/kinds.h"
// Splitting of over-long routes and track logs before an upload.

// Tracks use settings.maxTrackPoints, any other kind settings.maxRoutePoints.
// Returns 1 when some group has more points than the limit. With checkOnly,
// or when 0 is returned, the table is untouched; otherwise the groups are
// split, renumbered and named, and the limit box is shown.
int splitRoutesAndTracks(TransferKind transferKind, bool checkOnly);

// Number of groups in the table by the group rule.
int countRouteOrTrackGroups();

// The group rule: does record (number, name) start a new group after the
// current group (currentNumber, currentName)?
bool startsNewGroup(int number, const char* name, int currentNumber, const char* currentName);

// ROUTETRACKNAMEDLG with a buffer of at least 51 characters: a buffer that
// begins with '0' asks for a number (3 characters), any other for a name (50).
// Returns 1 and the entered text (at most 50 characters) in the buffer, or 0
// with the buffer emptied.
int runRouteTrackNameDialog(char* buffer);
// The number mode's input check: nullptr for a number of 0 or more, else
// "Als Eingabe wird hier eine Nummer \naus dem Bereich 0 - 999 \nerwartet!".
const char* checkRouteTrackNumber(const std::string& entry);
