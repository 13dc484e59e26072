#pragma once

#include "model/kinds.h"

struct NamingState;
// TOP50 overlay files, binary form: written as version 2.0, read in 2, 3, 4.

#include <cstddef>
#include <vector>

// One object of a read overlay: its kind (LineObjects or PointObjects) and
// its records [first, first + count) in the point table.
struct OvlObject {
    int kind;
    int first;
    int count;
};

// objectKind 1 writes line objects, any other value point objects.
int writeOvlBinaryFile(const char* fileName, int objectKind);

// Writes every object of the list in its own kind, as writeOvlBinaryFile
// writes it: records with an invalid position are left out, and so is a line
// with fewer than two valid points.
int writeOvlBinaryObjects(const char* fileName, const std::vector<OvlObject>& objects);

// transferKind: waypoints, tracks or the OVL conversion (read as tracks are).
// objectKindFound: 0, or 1 (lines) / 2 (points) from the first object read.
// objects, when given, receives every object read. naming: the caller's
// automatic-naming state (model/names.h), or nullptr for one of the
// reading's own.
int readOvlBinaryFile(const char* fileName, TransferKind transferKind, int& objectKindFound,
                      bool& fileHasRouteOrTrackNumbers, bool& fileHasRouteOrTrackNames,
                      std::vector<OvlObject>* objects = nullptr, NamingState* naming = nullptr);

// Copies up to the first CR or NUL (at most size-1 characters, NUL
// terminated), skips one CR and then one LF; returns the position after them.
// Never reads past end.
const char* readTextLine(char* dst, const char* src, const char* end, size_t size);
