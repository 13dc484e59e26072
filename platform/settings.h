#pragma once
// The user's remembered choices and splitting limits, and the 20-byte
// parameter file "Wegmate.par" that keeps them between runs.

#include <cstdint>
#include <string>

// The number of file types of the main window's choice; the table of file
// formats has one row for each.
inline constexpr int kFileTypeCount = 4;

struct Settings {
    int32_t portIndex = 0;        // 0 = "USB", 1..8 = "COM 1".."COM 8", 9 = a Garmin drive, 10 = MTP
    int32_t fileTypeIndex = 2;    // 0 MIF, 1 OVL ASCII, 2 OVL binary, 3 GPX
    int32_t objectTypeIndex = 0;  // 0 lines, 1 points
    int32_t maxRoutePoints = 250;
    int32_t maxTrackPoints = 20000;

    // 1 when 20 bytes were read into the record, else 0 (record unchanged).
    int load(const char* path);
    // 1 when all 20 bytes were written. Replaces the file atomically: a
    // failed save leaves the old file in place.
    int save(const char* path);
};

// The one global record.
extern Settings settings;

// Load from path and apply the range checks; every field takes its default
// when loading failed. Returns the result of Settings::load.
int loadAndValidateSettings(const char* path);

// Where the parameter file lives: beside the program (exeDir) when a
// "Wegmate.par" already exists there, otherwise in the config directory
// ($XDG_CONFIG_HOME/wegmate or ~/.config/wegmate). The same path serves
// reading and writing; Settings::save creates a missing config directory.
std::string parameterFilePath(const std::string& exeDir);

// $XDG_CONFIG_HOME/wegmate, or ~/.config/wegmate.
std::string configDirectory();

// The directory of the running program file (from /proc/self/exe), with a
// trailing '/', or "" when it cannot be found.
std::string programDirectory();

// Settings dialog check (OK button): both texts are read with the standard
// text-to-integer conversion; when both are above 0 they are stored in
// settings.maxRoutePoints / maxTrackPoints and nullptr is returned, else the
// error text "Die Anzahl von Punkten in einer Route oder in \neiner Track-Aufz.
// muss größer als '0' sein. \n" is returned and nothing is stored.
const char* applySettingsDialog(const char* routeText, const char* trackText);
