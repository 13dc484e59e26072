#pragma once
// What the file writers and readers share beyond text lines: coordinate
// text, decimal numbers, the centre of the written positions, little-endian
// byte access and the rule of which records a writer writes.

#include <cstddef>
#include <cstdint>

#include "model/field_values.h"
#include "model/point_table.h"

// "%.8lf" independent of the user's locale, into out (size bytes).
void formatCoordinate(char* out, size_t size, double value);

// Centre of the bounding box of the records with a valid position; 0/0 when
// there is none.
struct Centre {
    double longitude;
    double latitude;
};
Centre centreOfValidPositions();

// The message of every reader whose file holds more points than the table.
inline constexpr const char* kCapacityMessage = "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.";

// The messages of the readers about positions outside the globe.
inline constexpr const char* kPositionsLeftOutWarning =
    "%d der eingelesenen Punkte ohne gültige \nPositionsdaten (Breite -90 bis 90 Grad, \n"
    "Länge -180 bis 180 Grad) werden ausgelassen.";
inline constexpr const char* kPositionLeftOutWarning =
    "1 der eingelesenen Punkte ohne gültige \nPositionsdaten (Breite -90 bis 90 Grad, \n"
    "Länge -180 bis 180 Grad) wird ausgelassen.";
inline constexpr const char* kNoValidPositionInFileError =
    "Keiner der eingelesenen Punkte hat gültige \nPositionsdaten (Breite -90 bis 90 Grad, \n"
    "Länge -180 bis 180 Grad).";

// The end of every file reader: the records from first on whose position
// is not valid (isValidPosition) leave the table, with one warning that
// counts them. When records were read and none of them is valid, that is
// an error (0 after the message) unless noneIsError is false: then the
// table is left empty for the caller to report. 1 otherwise.
int leaveOutInvalidPositions(int first = 0, bool noneIsError = true);

// Little-endian fields.
void put16(unsigned char* p, unsigned value);
void put32(unsigned char* p, uint32_t value);
void putDouble(unsigned char* p, double value);
unsigned get16(const unsigned char* p);
uint32_t get32(const unsigned char* p);
double getDouble(const unsigned char* p);

// The records a writer puts into a file, in table order: records with an
// invalid position are left out. With point objects every other record is
// an object. With line objects (countLinePoints must have run) a record that
// starts an object (NewSegment, or the first record written) begins a line of
// LinePointCount vertices, and a line of fewer than two points is left out
// with its start, unless keepShortLines (GPX holds such a line).
// visit(record, startsObject) returns false to stop.
// Returns whether any record was visited.
template <typename Visit>
bool forEachWrittenRecord(int objectKind, Visit visit, bool keepShortLines = false) {
    bool first = true;
    for (int i = 0; i < pointTable.count; i++) {
        PointRecord& r = pointTable.records[i];
        if (!isValidPosition(r)) continue;
        const bool startsObject = r.NewSegment || first;
        if (objectKind == LineObjects && startsObject && r.LinePointCount < 2 && !keepShortLines) continue;
        first = false;
        if (!visit(r, startsObject)) break;
    }
    return !first;
}
