#pragma once
// The MTP link: Garmin units that show no drive but an MTP device (GPSMAP
// 66/67, Montana 700, Alpha 200, recent watches and Edge units), reached
// through libmtp. They keep the same Garmin/GarminDevice.xml and GPX tree
// as the drives, on one or more storages (internal memory, SD card); fenix
// units keep it one folder deeper (Primary/GARMIN).
//
// libmtp is initialised at the first call of findMtpUnits() or
// openMtpDevice(), never before: programs that use another port do not
// pay for it. Every wait is bounded (libmtp's own USB time-outs, and at
// most about three seconds of retries for a unit that answers busy).

#include <cstdint>
#include <string>
#include <vector>

#include "link/device_files.h"

inline constexpr uint16_t kGarminVendorId = 0x091e;

// A Garmin MTP unit as detection finds it (not opened).
struct MtpUnitInfo {
    int busNumber = 0;
    int deviceNumber = 0;
    uint16_t productId = 0;
    std::string listedName;  // libmtp's name for it, "" for a unit found by probing
};
std::vector<MtpUnitInfo> findMtpUnits();

struct MtpDevice;

// Opens the unit with this serial number ("" = the only one connected).
// nullptr with the German message in error when there is none, when there
// are several and no serial number chooses, or when the unit cannot be
// opened (another program holds it, it stays busy).
MtpDevice* openMtpDevice(const std::string& serial, std::string& error);
void closeMtpDevice(MtpDevice* device);

std::string mtpSerialNumber(const MtpDevice* device);
std::string mtpModelName(const MtpDevice* device);

// A storage of the unit that holds Garmin/GarminDevice.xml, directly or
// one folder deeper; its files seen from that folder.
struct MtpGarminRoot {
    uint32_t storageId = 0;
    std::string storageName;  // the unit's description: "Internal Storage", "SD Card"
    std::string folder;       // the folder that holds Garmin/: "" or e.g. "Primary"
    std::string xmlPath;      // relative to folder, as the unit spells it
    DeviceFiles files;        // valid while the device is open
};

// The storages with a GarminDevice.xml, in the unit's order of storages.
// Only the folders on the way are listed, never the whole tree. Empty with
// the German message in error when none has one.
std::vector<MtpGarminRoot> mtpGarminRoots(MtpDevice* device, std::string& error);

// The MTP port (kMtpPort): which unit it means, by serial number ("" =
// the only one connected).
void setMtpSerial(const std::string& serial);

struct DriveDevice;
// Opens the unit the port means, finds its GarminDevice.xml and reads it
// (after the message on failure: none, several, held by another program,
// no or a malformed XML). 1 on success; the unit stays open until
// closeMtpPort().
int openMtpPort();
void closeMtpPort();
// The unit opened last: its description from the XML, and its storages
// with the XML (the first one is the one described).
const DriveDevice& openedMtpUnit();
const std::vector<MtpGarminRoot>& openedMtpRoots();
// The facts of the XML as the device-info dialog shows them (UTF-8).
std::string mtpDescriptionText();
