#pragma once
// The files of a receiver that keeps its data as files: a USB drive (POSIX
// calls below its mount point) or an MTP unit (libmtp, link/mtp.h). The
// transfers read and write through this table alone and never learn which
// one it is.
//
// Locations are relative to the root that holds Garmin/GarminDevice.xml,
// parts separated by '/'; every part is matched without regard to case, as
// on vfat ("GARMIN/gpx" finds "Garmin/GPX"). "" is the root itself.
// Every operation returns 1 on success; on failure 0 with the German
// message in error.
//
// There is no replace and no delete: store() makes a new file and fails
// when the name is taken. A store that fails half-way removes exactly the
// object it made, where the receiver lets it (and says so in error), so
// that no truncated file stays on the receiver.

#include <cstdint>
#include <string>
#include <vector>

struct DeviceFileEntry {
    std::string name;  // as the receiver spells it
    bool folder = false;
    uint64_t size = 0;
};

struct DeviceFiles {
    void* handle;      // the implementation's state
    const char* kind;  // "Laufwerk", "MTP"
    // The entries of a folder.
    int (*list)(void* handle, const std::string& folder, std::vector<DeviceFileEntry>& entries, std::string& error);
    // The whole content of a file.
    int (*read)(void* handle, const std::string& path, std::string& bytes, std::string& error);
    // A new file name in folder (which must exist) with these bytes.
    int (*store)(void* handle, const std::string& folder, const std::string& name, const std::string& bytes,
                 std::string& error);
};
