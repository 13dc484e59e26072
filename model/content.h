#pragma once
// What a point table holds, item by item: its waypoints, routes and track
// logs, as the content list of the desktop program and `wegmate-cli list`
// show them, and the choice of some of them.

#include <cstdint>
#include <string>
#include <vector>

#include "model/kinds.h"
#include "model/point_table.h"

enum class ItemKind : uint8_t { Waypoint, Route, Track };

struct ContentItem {
    ItemKind kind;
    int number;        // 1, 2, ... in the order of the table, over all kinds
    int firstRecord;   // the item's records: [firstRecord, firstRecord + recordCount)
    int recordCount;
    int pointCount;    // records with a valid position
    std::string name;  // Windows-1252, as the table holds it
    int symbol;        // the waypoint's symbol number, -1 without one
    int32_t startTime; // the first time of the item, 0 = none
    double lengthKm;   // along the points, segment gaps left out
};

// "Wegpunkt", "Route", "Track".
const char* itemKindName(ItemKind kind);

// The items of the table. In a table of track logs every group is a track;
// in one of waypoints and routes a record without route number is a
// waypoint of its own and the groups of the others are routes. Groups
// follow the group rule of the upload (model/splitting.h).
std::vector<ContentItem> listContent(const PointTable& table, TransferKind transferKind);

// The great-circle distance in km between two positions in degrees.
double distanceKm(double lat1, double lon1, double lat2, double lon2);

// Parses a selection "3,5,Heimweg": numbers of items or their names.
// Returns false with an error text for an entry that names no item.
bool resolveSelection(const std::vector<ContentItem>& items, const std::string& selection, std::vector<bool>& chosen,
                      std::string& error);

// The entries of a selection, trimmed, empty ones left out.
std::vector<std::string> selectionEntries(const std::string& selection);
// Whether an entry names the item, counted as number (its own number, or
// that of a list read in parts); marks the entries that do as used.
bool itemSelected(const ContentItem& item, int number, const std::vector<std::string>& entries,
                  std::vector<bool>& used);
// "Die Auswahl \"9\" bezeichnet keinen Eintrag." for the first entry not
// used; false when there is one.
bool reportUnusedEntry(const std::vector<std::string>& entries, const std::vector<bool>& used);

// Leaves only the chosen items in the table (their records in their order);
// a waypoint or route/track start stays a segment start. Returns the number
// of records kept.
int keepChosenItems(PointTable& table, const std::vector<ContentItem>& items, const std::vector<bool>& chosen);

// Leaves only the items of the selection ("3,5,Heimweg") in the point table;
// an empty selection keeps everything. false after the message
// "Die Auswahl \"9\" bezeichnet keinen Eintrag." when an entry names none.
bool applySelection(TransferKind transferKind, const std::string& selection);

// The selection that the next transfers apply to what they read from a file
// or the receiver (wegmate-cli --select, the ticked items of the desktop's
// content list); empty for everything.
extern std::string transferSelection;
