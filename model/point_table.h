#pragma once
// The one table of points that every transfer and every file passes through.

#include <cstdint>

#include "model/kinds.h"

constexpr int kMaxPoints = 20000;
constexpr int kNameSize = 51;         // 50 characters and the NUL
constexpr float kNoAltitude = 1e25f;  // bits 0x69045951

struct PointRecord {
    int32_t NumberOfRouteOrTrack;
    int32_t NumberOfPoint;
    char NameOfPoint[kNameSize];
    char NameOfRouteOrTrack[kNameSize];
    char Comment[kNameSize];
    double Longitude;
    double Latitude;
    int32_t Time;            // receiver seconds since 1989-12-31, 0 = none
    int32_t NewSegment;      // 0 or 1
    int32_t LinePointCount;  // set by countLinePoints()
    float Altitude;          // metres, kNoAltitude = none
    uint16_t Symbol;
    uint8_t Display1;
    uint8_t Display2;
    uint8_t HasSymbol;  // 0 or 1
    // A symbol name of a GPX file that Garmin's symbol table does not know
    // (model/symbols.h), kept for GPX; empty for all others.
    char SymbolName[kNameSize];
};

struct PointTable {
    PointRecord records[kMaxPoints];
    int count = 0;
    // Values of the file last read that their fields could not hold and
    // that were left empty instead (model/field_values.h).
    int fieldsLeftEmpty = 0;

    void reset();  // count = 0, fieldsLeftEmpty = 0
};

// The one static table of the program.
extern PointTable pointTable;

// The one rule for a position that readers keep, writers write and the
// receiver takes: both coordinates finite, latitude in [-90, 90] and
// longitude in [-180, 180].
bool isValidPosition(const PointRecord& record);

// Leaves the records from first to the end of the table for which drop is
// true out of the table, keeping the order of the others. The segment start
// of a left-out record passes to the next record kept. Returns the number
// left out.
int dropRecords(int first, bool (*drop)(const PointRecord&));

// dropRecords for the records whose position is not valid.
int dropInvalidPositions(int first = 0);

// dropRecords for the waypoints among routes: the records without route and
// point number, which belong to no line. The first record kept starts a
// segment.
int dropWaypoints();

struct LinePointResult {
    int valid;       // records with a valid position
    bool shortLine;  // a line of fewer than 2 points, with line objects
};
// The backward pass that sets LinePointCount of every valid record.
LinePointResult countLinePoints(int objectKind);

// Ascending by (NumberOfRouteOrTrack, NumberOfPoint); records of equal keys
// keep their order. Two objects of the file (runs of records, see
// point_table.cpp) are never merged: a later one whose point numbers are
// taken already comes after the earlier one, and gets the next free number
// when its name would not tell the two apart.
void sortPointTable();

// Copies at most 50 characters of src into a name field and terminates it.
void copyName(char (&field)[kNameSize], const char* src);
