#pragma once
// Small helpers shared by the transfer tests: receiver records built with
// the program's own encoders, temporary files and file checks.

#include <cstdint>
#include <string>
#include <vector>

#include "model/point_table.h"
#include "records/record_formats.h"

std::vector<uint8_t> u16Bytes(int value);
std::vector<uint8_t> waypointRecord(WaypointFormat format, const char* name, double lat, double lon,
                                    const char* comment = "");
std::vector<uint8_t> trackPointRecord(TrackPointFormat format, double lat, double lon, int32_t time, float altitude,
                                      bool newSegment);
std::vector<uint8_t> gapMarker();  // D303/D304 latitude and longitude 0x7FFFFFFF
std::vector<uint8_t> trackHeaderD310(const char* name, uint8_t display = 1, uint8_t color = 0);

// A fresh path in the test's temporary directory (nothing there yet).
std::string tempFile(const std::string& name);
bool fileExists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

// Fills the table with records (number, point, name, lat, lon...) for files.
PointRecord makePoint(int route, int point, const char* name, double lat, double lon);
// Writes the table as a MIF pair of points (the MIF writer of the program).
std::string writeTableAsMif(const std::string& name, int objectKind);
