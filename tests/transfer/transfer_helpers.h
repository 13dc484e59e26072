#pragma once
// Helpers of the transfer tests beside the shared ones: receiver records
// built with the program's own encoders and a table written as MIF.

#include <cstdint>
#include <string>
#include <vector>

#include "model/point_table.h"
#include "records/record_formats.h"
#include "tests/support/test_support.h"

std::vector<uint8_t> u16Bytes(int value);
std::vector<uint8_t> waypointRecord(WaypointFormat format, const char* name, double lat, double lon,
                                    const char* comment = "");
std::vector<uint8_t> trackPointRecord(TrackPointFormat format, double lat, double lon, int32_t time, float altitude,
                                      bool newSegment);
std::vector<uint8_t> gapMarker();  // D303/D304 latitude and longitude 0x7FFFFFFF
std::vector<uint8_t> trackHeaderD310(const char* name, uint8_t display = 1, uint8_t color = 0);

// Writes the table as a MIF pair of points (the MIF writer of the program).
std::string writeTableAsMif(const std::string& name, int objectKind);
