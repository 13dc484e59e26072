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
};

struct PointTable {
    PointRecord records[kMaxPoints];
    int count = 0;

    void reset();  // count = 0
};

// The one static table of the program.
extern PointTable pointTable;

// Latitude in [-90, 90], longitude in (-200, 200); NaN is invalid.
bool isValidPosition(const PointRecord& record);

struct LinePointResult {
    int valid;       // records with a valid position
    bool shortLine;  // a line of fewer than 2 points, with line objects
};
// The backward pass that sets LinePointCount of every valid record.
LinePointResult countLinePoints(int objectKind);

// Ascending by (NumberOfRouteOrTrack, NumberOfPoint), with exactly the result
// of the program's exchange sort, equal keys included.
void sortPointTable();

// Copies at most 50 characters of src into a name field and terminates it.
void copyName(char (&field)[kNameSize], const char* src);
