#pragma once

#include "model/kinds.h"

struct NamingState;
// TOP50 overlay files, ASCII form.

int writeOvlAsciiFile(const char* fileName, int objectKind);

// separateTracks: set to 0 at the start, 1 when the user answered that
// several lines are several track logs. askSeparateTracks: the question may
// be asked at all. naming: the caller's automatic-naming state
// (model/names.h), or nullptr for one of the reading's own.
int readOvlAsciiFile(const char* fileName, TransferKind transferKind, int& separateTracks, bool askSeparateTracks,
                     NamingState* naming = nullptr);
