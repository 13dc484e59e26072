#pragma once

#include "model/kinds.h"

struct NamingState;
// MapInfo interchange files: a MIF file (geometry) and a MID file (attributes).

#include <string>

// "x.mif" -> "x.mid", "X.MIF" -> "X.MID": the last character replaced by
// 'd' in the case of the character it replaces. The reader also finds the
// MID file beside the MIF file when its extension is in another case.
std::string midFileName(const std::string& mifName);

// Writes records 0..count-1 as points, or as polylines for LineObjects
// (countLinePoints must have run). 1 or 0; shows nothing. Both files are
// replaced only when both were written completely.
int writeMifFile(const char* mifName, int objectKind);

// Replaces the PointTable with the objects of the pair; reports its own
// failures. The two flags are owned by the caller, set, never cleared.
// naming: the caller's automatic-naming state (model/names.h), or nullptr
// for one of the reading's own.
int readMifFile(const char* mifName, TransferKind transferKind, bool& fileHasRouteOrTrackNumbers,
                bool& fileHasRouteOrTrackNames, NamingState* naming = nullptr);
