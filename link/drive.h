#pragma once
// The drive link: receivers that appear as a USB mass-storage drive and keep
// their data as GPX files, described by Garmin/GarminDevice.xml at the root.

#include <string>
#include <vector>

#include "link/link.h"

enum class DriveDirection { InputToUnit, OutputFromUnit, InputOutput, Unknown };

// One MassStorageMode/DataType entry of the XML.
struct DriveDataType {
    std::string name;           // "GPSData", "FitnessHistory", ...
    std::string path;           // File/Location/Path, relative to the root
    std::string baseName;       // File/Location/BaseName
    std::string fileExtension;  // File/Location/FileExtension
    DriveDirection direction = DriveDirection::Unknown;
};

struct DriveDevice {
    std::string mountPoint;
    std::string xmlPath;          // the GarminDevice.xml found
    std::string description;      // Model/Description
    std::string partNumber;       // Model/PartNumber
    std::string softwareVersion;  // Model/SoftwareVersion
    std::string id;               // Id
    std::vector<DriveDataType> dataTypes;
    bool readOnly = false;  // mounted read-only
};

// Mount points of a mount table in the /proc/self/mounts form (octal
// escapes such as \040 decoded), with whether each is mounted read-only.
struct MountEntry {
    std::string mountPoint;
    std::string type;  // file system type
    bool readOnly = false;
};
std::vector<MountEntry> readMountTable(const std::string& path);

// Test hook: the mount table to read ("" = /proc/self/mounts).
void setMountTablePath(const std::string& path);

// The path of an existing entry of dir whose name matches name without
// regard to case (vfat), or "" when there is none.
std::string findEntryNoCase(const std::string& dir, const std::string& name);

// Reads <root>/Garmin/GarminDevice.xml into device. "" on success, else the
// German message.
std::string readGarminDevice(const std::string& root, DriveDevice& device);

// The mounted receivers (and SD cards with a copy of the XML) of the mount
// table, with their XML read; mounts whose XML cannot be read are left out.
std::vector<DriveDevice> findGarminDrives();

// Which drive the drive port means: a mount point, or "" for the single one
// found.
void setDriveMountPoint(const std::string& path);
const std::string& driveMountPoint();

// Opens the drive the port means (after the message on failure: none found,
// several found, no or a malformed XML). 1 on success.
int openDrive();
// The drive opened last.
const DriveDevice& openedDrive();

// The locations of the GPSData entries, as directories relative to the
// root: where the receiver writes (OutputFromUnit, InputOutput) or where it
// takes new files (InputToUnit, InputOutput). Defaults where the XML names
// none: Garmin/GPX.
std::vector<std::string> driveOutputLocations(const DriveDevice& device);
std::string driveInputLocation(const DriveDevice& device);

// The locations where the unit writes its FIT activities (FIT_TYPE_4,
// OutputFromUnit or InputOutput; inboxes left out), relative to the root.
std::vector<std::string> driveActivityLocations(const DriveDevice& device);

// A location that is an inbox: a folder named NewFiles (in any case) holds
// files waiting for the unit to import them, never what it recorded.
bool isDriveInbox(const std::string& location);

// What the unit takes and gives as its XML declares it: GPX through a
// GPSData entry (an inbox gives nothing), FIT through entries of that
// extension.
struct DriveCapabilities {
    bool gpxIn = false;
    bool gpxOut = false;
    bool fitIn = false;
    bool fitOut = false;
};
DriveCapabilities driveCapabilities(const DriveDevice& device);

// The facts of the XML as the device-info dialog shows them (UTF-8).
std::string driveDescriptionText(const DriveDevice& device);

// "Garmin-Laufwerk (NAME)" for the port choice.
std::string drivePortLabel(const DriveDevice& device);

// A folder relative to the drive's root, resolved part by part without
// regard to case and only inside the drive (see link/drive_files.h); ""
// when a part does not exist or is refused.
std::string resolveDrivePath(const std::string& root, const std::string& relative);
