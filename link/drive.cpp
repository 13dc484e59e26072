// The drive link: finding mounted receivers through the mount table and
// reading their GarminDevice.xml.

#include "link/drive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>

#include <dirent.h>
#include <expat.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/drive_files.h"
#include "platform/platform.h"

namespace {

const char kDeviceNamespace[] = "http://www.garmin.com/xmlschemas/GarminDevice/v2";

const char kMsgNoXml[] = "Keine Gerätebeschreibung (Garmin/GarminDevice.xml) auf dem Laufwerk gefunden.";
const char kMsgReadXml[] = "Fehler beim Lesen der Gerätebeschreibung GarminDevice.xml.";
const char kMsgXmlTooLarge[] = "GarminDevice.xml ist größer als 1 MB und wird nicht gelesen.";
const char kMsgMalformed[] = "GarminDevice.xml fehlerhaft: kein wohlgeformtes XML (Zeile %lu).";
const char kMsgEntities[] = "GarminDevice.xml enthält Entity-Deklarationen und wird nicht gelesen.";
const char kMsgNotDevice[] = "GarminDevice.xml ist keine gültige Gerätebeschreibung.";
const char kMsgNoDrive[] =
    "Kein Garmin-Laufwerk gefunden. \nIst das GPS-Gerät angeschlossen und als Laufwerk eingehängt?";
const char kMsgSeveralDrives[] = "Mehrere Garmin-Laufwerke gefunden:\n%s\nBitte eines davon auswählen.";

// The largest GarminDevice.xml taken; real ones have a few kilobytes.
constexpr long kMaxXmlBytes = 1 << 20;

std::string mountTablePath;
std::string chosenMountPoint;
DriveDevice opened;

// \040 and the other octal escapes of the mount table.
std::string unescapeMountField(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); i++) {
        if (field[i] == '\\' && i + 3 < field.size() + 0 && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += (char)((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

struct XmlReader {
    XML_Parser parser = nullptr;
    DriveDevice* device = nullptr;
    std::vector<std::string> path;  // local names of the open elements
    std::string text;
    std::string error;
    bool sawRoot = false;
    std::string typeName;  // of the open DataType
    size_t typeFirst = 0;  // its first entry
};

void stop(XmlReader& reader, const char* format) {
    if (!reader.error.empty()) return;
    char message[256];
    std::snprintf(message, sizeof message, format, (unsigned long)XML_GetCurrentLineNumber(reader.parser));
    reader.error = message;
    XML_StopParser(reader.parser, XML_FALSE);
}

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

// The open elements, below Device, end with these names.
bool at(const XmlReader& reader, std::initializer_list<const char*> names) {
    if (reader.path.size() != names.size() + 1) return false;
    size_t i = 1;
    for (const char* name : names)
        if (reader.path[i++] != name) return false;
    return true;
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**) {
    XmlReader& reader = *static_cast<XmlReader*>(data);
    std::string_view full(name);
    std::string_view space, local = full;
    if (size_t blank = full.find(' '); blank != std::string_view::npos) {
        space = full.substr(0, blank);
        local = full.substr(blank + 1);
    }
    // Elements of other namespaces (extensions) keep their place in the
    // path under a name that matches nothing.
    std::string entry = space.empty() || space == kDeviceNamespace ? std::string(local) : std::string("*");
    if (reader.path.empty()) {
        reader.sawRoot = true;
        if (entry != "Device") {
            stop(reader, kMsgNotDevice);
            return;
        }
    }
    reader.path.push_back(entry);
    reader.text.clear();
    // One entry per File of a DataType, with the DataType's name.
    if (at(reader, {"MassStorageMode", "DataType"})) {
        reader.typeName.clear();
        reader.typeFirst = reader.device->dataTypes.size();
    }
    if (at(reader, {"MassStorageMode", "DataType", "File"})) {
        reader.device->dataTypes.emplace_back();
        reader.device->dataTypes.back().name = reader.typeName;
    }
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    XmlReader& reader = *static_cast<XmlReader*>(data);
    if (reader.path.empty()) return;
    DriveDevice& device = *reader.device;
    const std::string value = trimmed(reader.text);
    DriveDataType* type = device.dataTypes.empty() ? nullptr : &device.dataTypes.back();
    if (at(reader, {"Model", "Description"}))
        device.description = value;
    else if (at(reader, {"Model", "PartNumber"}))
        device.partNumber = value;
    else if (at(reader, {"Model", "SoftwareVersion"}))
        device.softwareVersion = value;
    else if (at(reader, {"Id"}))
        device.id = value;
    else if (at(reader, {"MassStorageMode", "DataType", "Name"})) {
        reader.typeName = value;
        for (size_t i = reader.typeFirst; i < device.dataTypes.size(); i++) device.dataTypes[i].name = value;
    } else if (type && at(reader, {"MassStorageMode", "DataType", "File", "Location", "Path"}))
        type->path = value;
    else if (type && at(reader, {"MassStorageMode", "DataType", "File", "Location", "BaseName"}))
        type->baseName = value;
    else if (type && at(reader, {"MassStorageMode", "DataType", "File", "Location", "FileExtension"}))
        type->fileExtension = value;
    else if (type && at(reader, {"MassStorageMode", "DataType", "File", "TransferDirection"})) {
        type->direction = value == "InputToUnit"      ? DriveDirection::InputToUnit
                          : value == "OutputFromUnit" ? DriveDirection::OutputFromUnit
                          : value == "InputOutput"    ? DriveDirection::InputOutput
                                                      : DriveDirection::Unknown;
    }
    reader.path.pop_back();
    reader.text.clear();
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    XmlReader& reader = *static_cast<XmlReader*>(data);
    if (reader.text.size() < 4096) reader.text.append(text, (size_t)length);
}

// As for GPX: a file that declares entities is refused, nothing is expanded.
void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    stop(*static_cast<XmlReader*>(data), kMsgEntities);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string cleanRelative(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

// Kernel and network file systems are not looked into: they hold no
// receiver, and a look into an automount or a dead server can hang.
bool mayHoldReceiver(const std::string& type) {
    static const char* const kSkipped[] = {
        "proc",    "sysfs",    "devtmpfs", "devpts",  "cgroup", "cgroup2",   "securityfs", "pstore",      "bpf",
        "tracefs", "debugfs",  "configfs", "fusectl", "mqueue", "hugetlbfs", "autofs",     "binfmt_misc", "rpc_pipefs",
        "nsfs",    "efivarfs", "nfs",      "nfs4",    "cifs",   "smb3",      "fuse.sshfs"};
    for (const char* skipped : kSkipped)
        if (type == skipped) return false;
    return true;
}

bool isGpsData(const DriveDataType& type) { return strcasecmp(type.name.c_str(), "GPSData") == 0; }

bool gives(const DriveDataType& type) {
    return type.direction == DriveDirection::OutputFromUnit || type.direction == DriveDirection::InputOutput;
}
bool takes(const DriveDataType& type) {
    return type.direction == DriveDirection::InputToUnit || type.direction == DriveDirection::InputOutput;
}

// The extension without the dots some XMLs put before it.
std::string bareExtension(const std::string& extension) {
    const size_t begin = extension.find_first_not_of('.');
    return begin == std::string::npos ? "" : extension.substr(begin);
}

bool isFit(const DriveDataType& type) { return strcasecmp(bareExtension(type.fileExtension).c_str(), "FIT") == 0; }

std::string locationOf(const DriveDataType& type) {
    return type.path.empty() ? "Garmin/GPX" : cleanRelative(type.path);
}

// "270" as the unit shows it, "2.70"; any other text as it is.
std::string shownVersion(const std::string& version) {
    if (version.empty() || version.size() > 9 || version.find_first_not_of("0123456789") != std::string::npos)
        return version;
    const long number = std::stol(version);
    char text[24];
    std::snprintf(text, sizeof text, "%ld.%02ld", number / 100, number % 100);
    return text;
}

}  // namespace

std::vector<MountEntry> readMountTable(const std::string& path) {
    std::vector<MountEntry> entries;
    FILE* file = std::fopen(path.empty() ? "/proc/self/mounts" : path.c_str(), "r");
    if (!file) return entries;
    char line[8192];
    while (std::fgets(line, sizeof line, file)) {
        char device[4096], mountPoint[4096], type[256], options[2048];
        if (std::sscanf(line, "%4095s %4095s %255s %2047s", device, mountPoint, type, options) != 4) continue;
        MountEntry entry;
        entry.mountPoint = unescapeMountField(mountPoint);
        entry.type = type;
        std::string_view list(options);
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(',', start);
            if (end == std::string_view::npos) end = list.size();
            if (list.substr(start, end - start) == "ro") entry.readOnly = true;
            start = end + 1;
        }
        entries.push_back(entry);
    }
    std::fclose(file);
    return entries;
}

void setMountTablePath(const std::string& path) { mountTablePath = path; }

std::string findEntryNoCase(const std::string& dir, const std::string& name) {
    const std::string exact = dir + "/" + name;
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) return exact;
    DIR* handle = opendir(dir.c_str());
    if (!handle) return "";
    std::string found;
    while (dirent* entry = readdir(handle)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = dir + "/" + entry->d_name;
            break;
        }
    }
    closedir(handle);
    return found;
}

std::string readGarminDevice(const std::string& root, DriveDevice& device) {
    device = DriveDevice();
    device.mountPoint = root;
    // Only a regular file on the drive itself: no link is followed, and a
    // FIFO or device in its place is not waited on.
    const int fd = openDriveFile(root, "Garmin/GarminDevice.xml", &device.xmlPath);
    if (fd < 0) return errno == ENOENT ? kMsgNoXml : kMsgReadXml;
    std::string bytes;
    char chunk[16384];
    ssize_t got = 0;
    while ((long)bytes.size() <= kMaxXmlBytes && (got = read(fd, chunk, sizeof chunk)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        bytes.append(chunk, (size_t)got);
    }
    close(fd);
    if (got < 0) return kMsgReadXml;
    if ((long)bytes.size() > kMaxXmlBytes) return kMsgXmlTooLarge;

    XmlReader reader;
    reader.device = &device;
    reader.parser = XML_ParserCreateNS(nullptr, ' ');
    if (!reader.parser) return kMsgReadXml;
    XML_SetUserData(reader.parser, &reader);
    XML_SetElementHandler(reader.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(reader.parser, onText);
    XML_SetEntityDeclHandler(reader.parser, onEntityDeclaration);
    XML_SetParamEntityParsing(reader.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    if (XML_Parse(reader.parser, bytes.data(), (int)bytes.size(), XML_TRUE) != XML_STATUS_OK && reader.error.empty())
        stop(reader, kMsgMalformed);
    if (reader.error.empty() && !reader.sawRoot) reader.error = kMsgNotDevice;
    XML_ParserFree(reader.parser);
    if (!reader.error.empty()) device.dataTypes.clear();
    return reader.error;
}

std::vector<DriveDevice> findGarminDrives() {
    std::vector<DriveDevice> drives;
    std::set<std::string> seen;
    for (const MountEntry& entry : readMountTable(mountTablePath)) {
        if (!seen.insert(entry.mountPoint).second || !mayHoldReceiver(entry.type)) continue;
        if (!isDirectory(entry.mountPoint)) continue;
        DriveDevice device;
        if (!readGarminDevice(entry.mountPoint, device).empty()) continue;
        device.readOnly = entry.readOnly;
        drives.push_back(device);
    }
    return drives;
}

void setDriveMountPoint(const std::string& path) { chosenMountPoint = path; }
const std::string& driveMountPoint() { return chosenMountPoint; }

int openDrive() {
    opened = DriveDevice();
    if (!chosenMountPoint.empty()) {
        const std::string error = readGarminDevice(chosenMountPoint, opened);
        if (!error.empty()) {
            showError(error.c_str());
            return 0;
        }
        for (const MountEntry& entry : readMountTable(mountTablePath))
            if (entry.mountPoint == chosenMountPoint) opened.readOnly = entry.readOnly;
        return 1;
    }
    const std::vector<DriveDevice> drives = findGarminDrives();
    if (drives.empty()) {
        showError(kMsgNoDrive);
        return 0;
    }
    if (drives.size() > 1) {
        std::string list;
        for (const DriveDevice& drive : drives) list += "  " + drive.mountPoint + " (" + drive.description + ")\n";
        char message[2048];
        std::snprintf(message, sizeof message, kMsgSeveralDrives, list.c_str());
        showError(message);
        return 0;
    }
    opened = drives.front();
    return 1;
}

const DriveDevice& openedDrive() { return opened; }

bool isDriveInbox(const std::string& location) {
    size_t start = 0;
    while (start <= location.size()) {
        size_t end = location.find_first_of("/\\", start);
        if (end == std::string::npos) end = location.size();
        if (strcasecmp(location.substr(start, end - start).c_str(), "NewFiles") == 0) return true;
        start = end + 1;
    }
    return false;
}

std::vector<std::string> driveOutputLocations(const DriveDevice& device) {
    std::vector<std::string> locations;
    auto add = [&](const std::string& path) {
        if (std::find(locations.begin(), locations.end(), path) == locations.end()) locations.push_back(path);
    };
    // Where the units keep their GPX files, whether the XML names them or
    // not, the oldest first: loose files, the archive, the current log.
    add("Garmin/GPX");
    add("Garmin/GPX/Archive");
    add("Garmin/GPX/Current");
    // An inbox holds what waits to be imported, not what the unit recorded.
    for (const DriveDataType& type : device.dataTypes)
        if (isGpsData(type) && gives(type) && !isDriveInbox(locationOf(type))) add(locationOf(type));
    return locations;
}

std::vector<std::string> driveActivityLocations(const DriveDevice& device) {
    std::vector<std::string> locations;
    for (const DriveDataType& type : device.dataTypes) {
        if (!isFit(type) || !gives(type) || strcasecmp(type.name.c_str(), "FIT_TYPE_4") != 0 || type.path.empty())
            continue;
        const std::string location = locationOf(type);
        if (!isDriveInbox(location) && std::find(locations.begin(), locations.end(), location) == locations.end())
            locations.push_back(location);
    }
    return locations;
}

std::string driveInputLocation(const DriveDevice& device) {
    for (DriveDirection wanted : {DriveDirection::InputToUnit, DriveDirection::InputOutput})
        for (const DriveDataType& type : device.dataTypes)
            if (isGpsData(type) && type.direction == wanted) return locationOf(type);
    return "Garmin/GPX";
}

DriveCapabilities driveCapabilities(const DriveDevice& device) {
    DriveCapabilities what;
    for (const DriveDataType& type : device.dataTypes) {
        if (isGpsData(type)) {
            what.gpxIn = what.gpxIn || takes(type);
            what.gpxOut = what.gpxOut || (gives(type) && !isDriveInbox(locationOf(type)));
        } else if (isFit(type)) {
            what.fitIn = what.fitIn || takes(type);
            what.fitOut = what.fitOut || gives(type);
        }
    }
    return what;
}

std::string driveDescriptionText(const DriveDevice& device) {
    const DriveCapabilities what = driveCapabilities(device);
    auto kinds = [](bool gpx, bool fit) {
        return gpx && fit ? std::string("GPX, FIT")
               : gpx      ? std::string("GPX")
               : fit      ? std::string("FIT (keine GPX-Dateien)")
                          : std::string("keine GPX- oder FIT-Dateien");
    };
    std::string text = "Garmin-Laufwerk: " + device.mountPoint + "\r\n";
    text += "Modell: " + device.description + "\r\n";
    text += "Teilenummer: " + device.partNumber + "\r\n";
    text += "Software-Version: " + shownVersion(device.softwareVersion) + "\r\n";
    text += "Geräte-Id: " + device.id + "\r\n";
    if (device.readOnly) text += "Nur lesbar eingehängt.\r\n";
    text += "Nimmt an: " + kinds(what.gpxIn, what.fitIn) + "\r\n";
    text += "Gibt aus: " + kinds(what.gpxOut, what.fitOut) + "\r\n";
    text += "Datenarten:\r\n";
    std::set<std::string> shown;
    for (const DriveDataType& type : device.dataTypes) {
        const char* direction = type.direction == DriveDirection::InputToUnit      ? "InputToUnit"
                                : type.direction == DriveDirection::OutputFromUnit ? "OutputFromUnit"
                                : type.direction == DriveDirection::InputOutput    ? "InputOutput"
                                                                                   : "?";
        std::string line = "  " + type.name + "  " + direction + "  " + (type.path.empty() ? "-" : type.path);
        if (!type.baseName.empty()) line += "  " + type.baseName;
        if (!bareExtension(type.fileExtension).empty()) line += "  ." + bareExtension(type.fileExtension);
        // Units list some entries twice; each is shown once.
        if (shown.insert(line).second) text += line + "\r\n";
    }
    return text;
}

std::string drivePortLabel(const DriveDevice& device) {
    return "Garmin-Laufwerk (" + (device.description.empty() ? device.mountPoint : device.description) + ")";
}

std::string resolveDrivePath(const std::string& root, const std::string& relative) {
    std::string found;
    const int fd = openDriveFolder(root, relative, false, &found);
    if (fd < 0) return "";
    close(fd);
    return found;
}
