// The settings record and the parameter file "Wegmate.par".

#include "platform/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"

Settings settings;

namespace {

constexpr int kFileSize = 20;
const char kFileName[] = "Wegmate.par";

int32_t readLittleEndian(const unsigned char* bytes) {
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return static_cast<int32_t>(value);
}

void writeLittleEndian(unsigned char* bytes, int32_t field) {
    const uint32_t value = static_cast<uint32_t>(field);
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Creates the directory and its missing parents. 1 when it exists afterwards.
int makeDirectories(const std::string& directory) {
    if (directory.empty()) return 1;
    struct stat info;
    if (stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 1 : 0;
    const size_t slash = directory.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (!makeDirectories(directory.substr(0, slash))) return 0;
    }
    if (mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST) return 1;
    return 0;
}

std::string joinPath(const std::string& directory, const char* name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

}  // namespace

int Settings::load(const char* path) {
    if (!path || !*path) return 0;
    if (!fileExists(path)) return 0;
    FILE* file = fopen(path, "rb");
    if (!file) return 0;
    unsigned char bytes[kFileSize];
    const size_t got = fread(bytes, 1, kFileSize, file);
    fclose(file);
    if (got != kFileSize) return 0;
    portIndex = readLittleEndian(bytes);
    fileTypeIndex = readLittleEndian(bytes + 4);
    objectTypeIndex = readLittleEndian(bytes + 8);
    maxRoutePoints = readLittleEndian(bytes + 12);
    maxTrackPoints = readLittleEndian(bytes + 16);
    return 1;
}

int Settings::save(const char* path) {
    if (!path || !*path) return 0;
    const std::string target = path;
    const size_t slash = target.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (!makeDirectories(target.substr(0, slash))) return 0;
    }
    unsigned char bytes[kFileSize];
    writeLittleEndian(bytes, portIndex);
    writeLittleEndian(bytes + 4, fileTypeIndex);
    writeLittleEndian(bytes + 8, objectTypeIndex);
    writeLittleEndian(bytes + 12, maxRoutePoints);
    writeLittleEndian(bytes + 16, maxTrackPoints);
    AtomicFile file;
    if (!atomicOpen(file, path)) return 0;
    if (!atomicWrite(file, bytes, kFileSize)) {
        atomicAbort(file);
        return 0;
    }
    return atomicCommit(file);
}

int loadAndValidateSettings(const char* path) {
    Settings loaded;
    const int result = loaded.load(path);
    if (!result) loaded = Settings{};
    if (loaded.portIndex < 0 || loaded.portIndex > 10) loaded.portIndex = 0;  // 9: a Garmin drive, 10: MTP
    if (loaded.fileTypeIndex < 0 || loaded.fileTypeIndex >= kFileTypeCount) loaded.fileTypeIndex = 2;
    if (loaded.objectTypeIndex < 0 || loaded.objectTypeIndex > 1) loaded.objectTypeIndex = 0;
    if (loaded.maxRoutePoints == 0) loaded.maxRoutePoints = 250;
    if (loaded.maxTrackPoints == 0) loaded.maxTrackPoints = 20000;
    settings = loaded;
    return result;
}

std::string configDirectory() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored.
    if (xdg && xdg[0] == '/') return joinPath(xdg, "wegmate");
    const char* home = getenv("HOME");
    std::string homeDir;
    if (home && *home) {
        homeDir = home;
    } else {
        const passwd* entry = getpwuid(getuid());
        if (entry && entry->pw_dir) homeDir = entry->pw_dir;
    }
    return joinPath(joinPath(homeDir, ".config"), "wegmate");
}

std::string programDirectory() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return "";
    buffer[length] = '\0';
    std::string path = buffer;
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

std::string parameterFilePath(const std::string& exeDir) {
    if (!exeDir.empty()) {
        const std::string besideProgram = joinPath(exeDir, kFileName);
        if (fileExists(besideProgram)) return besideProgram;
    }
    return joinPath(configDirectory(), kFileName);
}

namespace {

// The fields hold at most 5 characters; read like the standard conversion.
int readField(const char* text, long& value) {
    char field[6];
    snprintf(field, sizeof field, "%s", text ? text : "");
    value = strtol(field, nullptr, 10);
    return 1;
}

}  // namespace

const char* applySettingsDialog(const char* routeText, const char* trackText) {
    long route = 0, track = 0;
    readField(routeText, route);
    readField(trackText, track);
    if (route > 0 && track > 0) {
        settings.maxRoutePoints = static_cast<int32_t>(route);
        settings.maxTrackPoints = static_cast<int32_t>(track);
        return nullptr;
    }
    return "Die Anzahl von Punkten in einer Route oder in \neiner Track-Aufz. muss größer als '0' sein. \n";
}
