#pragma once

#include "model/kinds.h"
// TOP50 overlay files, ASCII form.

int writeOvlAsciiFile(const char* fileName, int objectKind);

// separateTracks: set to 0 at the start, 1 when the user answered that
// several lines are several track logs. askSeparateTracks: the question may
// be asked at all.
int readOvlAsciiFile(const char* fileName, TransferKind transferKind, int& separateTracks, bool askSeparateTracks);
