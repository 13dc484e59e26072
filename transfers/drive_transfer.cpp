// Download from and upload to a receiver that appears as a drive: the GPX
// files of its output locations are read into the point table, and an
// upload is one new GPX file in its input location.

#include "transfers/drive_transfer.h"
#include "model/helpers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "formats/file_formats.h"
#include "formats/gpx.h"
#include "link/drive.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/splitting.h"
#include "platform/platform.h"
#include "transfers/download.h"
#include "transfers/upload.h"

namespace {

const char* const kStatusPrefix = "  Status:   ";

const char kMsgNoGpxFiles[] = "Keine GPX-Dateien auf dem Garmin-Laufwerk gefunden.";
const char kMsgNoWaypoints[] = "Keine Wegpunkte auf dem Garmin-Laufwerk gefunden.";
const char kMsgNoRoutes[] = "Keine Routen auf dem Garmin-Laufwerk gefunden.";
const char kMsgNoTracks[] = "Keine Track-Aufzeichnungen auf dem Garmin-Laufwerk gefunden.";
const char kMsgReadOnly[] =
    "Das Garmin-Laufwerk ist nur lesbar eingehängt. \nEs kann nichts an das GPS-Gerät gesendet werden.";
const char kMsgNoTarget[] = "Der Zielordner %s auf dem Garmin-Laufwerk fehlt und kann nicht angelegt werden.";
const char kMsgWriteFailed[] =
    "Fehler beim Schreiben auf das Garmin-Laufwerk. \nDie Daten wurden NICHT an das GPS-Gerät übertragen.";
const char kMsgGone[] = "Das Garmin-Laufwerk ist nicht mehr erreichbar. \nDie Übertragung wurde abgebrochen.";

bool hasGpxExtension(const char* name) {
    const size_t length = std::strlen(name);
    return length > 4 && strcasecmp(name + length - 4, ".gpx") == 0;
}

// The GPX files of the receiver's output locations, each once, oldest
// places first: the loose files, the archive, the current track log.
std::vector<std::string> outputFiles(const DriveDevice& drive) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    for (const std::string& location : driveOutputLocations(drive)) {
        const std::string dir = resolveDrivePath(drive.mountPoint, location);
        if (dir.empty()) continue;
        DIR* handle = opendir(dir.c_str());
        if (!handle) continue;
        std::vector<std::string> names;
        while (dirent* entry = readdir(handle))
            if (entry->d_name[0] != '.' && hasGpxExtension(entry->d_name)) names.push_back(entry->d_name);
        closedir(handle);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = dir + "/" + name;
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            char* real = realpath(path.c_str(), nullptr);
            const std::string key = real ? real : path;
            std::free(real);
            if (seen.insert(key).second) files.push_back(path);
        }
    }
    return files;
}

// The records read from one file, numbered as a download numbers them:
// waypoints one after another; routes and track logs with running numbers
// over all files, points counted within each.
void numberNewRecords(int first, TransferKind transferKind, bool routeMode, int& lineCount) {
    int fileNumber = 0;
    char fileName[kNameSize] = "";
    int pointInLine = 0;
    for (int i = first; i < pointTable.count; i++) {
        PointRecord& r = pointTable.records[i];
        if (transferKind == TransferKind::Waypoints && !routeMode) {
            r.NumberOfRouteOrTrack = 0;
            r.NameOfRouteOrTrack[0] = 0;
            r.NumberOfPoint = i + 1;
            r.NewSegment = i == 0 ? 1 : 0;
            continue;
        }
        if (i == first || startsNewGroup(r.NumberOfRouteOrTrack, r.NameOfRouteOrTrack, fileNumber, fileName)) {
            fileNumber = r.NumberOfRouteOrTrack;
            copyName(fileName, r.NameOfRouteOrTrack);
            lineCount++;
            pointInLine = 0;
            r.NewSegment = 1;
        } else if (transferKind != TransferKind::Tracks) {
            r.NewSegment = 0;
        }
        r.NumberOfRouteOrTrack = lineCount;
        r.NumberOfPoint = ++pointInLine;
        r.LinePointCount = 0;
    }
}

// Keeps the records of one track log.
void keepTrack(int number) {
    int kept = 0;
    for (int i = 0; i < pointTable.count; i++)
        if (pointTable.records[i].NumberOfRouteOrTrack == number) pointTable.records[kept++] = pointTable.records[i];
    pointTable.count = kept;
}

bool driveStillThere(const DriveDevice& drive) {
    return !drive.xmlPath.empty() && access(drive.xmlPath.c_str(), F_OK) == 0;
}

bool isReadOnly(const DriveDevice& drive) {
    if (drive.readOnly) return true;
    struct statvfs info;
    if (statvfs(drive.mountPoint.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY)) return true;
    return false;
}

bool syncPath(const std::string& path, bool directory) {
    const int fd = open(path.c_str(), (directory ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

// The input location, created below Garmin/ when it is missing.
std::string targetDirectory(const DriveDevice& drive) {
    const std::string location = driveInputLocation(drive);
    std::string dir = resolveDrivePath(drive.mountPoint, location);
    if (!dir.empty()) return dir;
    // Create the missing parts, keeping the case of those that exist.
    dir = drive.mountPoint;
    size_t start = 0;
    while (start <= location.size()) {
        size_t end = location.find('/', start);
        if (end == std::string::npos) end = location.size();
        const std::string part = location.substr(start, end - start);
        if (!part.empty()) {
            std::string next = findEntryNoCase(dir, part);
            if (next.empty()) {
                next = dir + "/" + part;
                if (mkdir(next.c_str(), 0755) != 0) return "";
            }
            dir = next;
        }
        start = end + 1;
    }
    return dir;
}

// "Wegmate_YYYYMMDD_HHMMSS.gpx", with "_2", "_3" ... when that name exists
// already (in any case of its letters).
std::string newFileName(const std::string& dir, std::time_t now) {
    struct tm local;
    localtime_r(&now, &local);
    char stem[64];
    std::strftime(stem, sizeof stem, "Wegmate_%Y%m%d_%H%M%S", &local);
    for (int n = 1;; n++) {
        std::string name = stem;
        if (n > 1) name += "_" + std::to_string(n);
        name += ".gpx";
        if (findEntryNoCase(dir, name).empty()) return name;
    }
}

}  // namespace

void downloadFromDrive(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    const DriveDevice& drive = openedDrive();
    std::string fileName;
    if (!chooseDownloadFile(fileKind, fileName)) return;
    platform().repaintMainWindow();

    const bool routeMode = transferKind == TransferKind::Waypoints && askDownloadRouteMode();
    const bool singleTrack = transferKind == TransferKind::Tracks && askDownloadSingleTrack();

    const std::vector<std::string> files = outputFiles(drive);
    if (files.empty()) {
        showError(driveStillThere(drive) ? kMsgNoGpxFiles : kMsgGone);
        return;
    }
    pointTable.reset();
    int lineCount = 0;
    for (const std::string& file : files) {
        if (!driveStillThere(drive)) break;
        const std::string shown = file.substr(drive.mountPoint.size());
        setStatusLine((kStatusPrefix + shown).c_str());
        const int first = pointTable.count;
        if (!appendGpxObjects(file.c_str(), transferKind == TransferKind::Waypoints && !routeMode, routeMode,
                              transferKind == TransferKind::Tracks, kCapacityError)) {
            pointTable.reset();
            return;
        }
        numberNewRecords(first, transferKind, routeMode, lineCount);
        pumpEvents();
    }
    // A drive pulled while its files were read gives no file at all.
    if (!driveStillThere(drive)) {
        pointTable.reset();
        showError(kMsgGone);
        return;
    }
    if (pointTable.count == 0) {
        showError(transferKind == TransferKind::Tracks ? kMsgNoTracks : routeMode ? kMsgNoRoutes : kMsgNoWaypoints);
        return;
    }
    if (singleTrack) {
        std::vector<std::string> names;
        for (int i = 0; i < pointTable.count; i++)
            if (pointTable.records[i].NumberOfPoint == 1) names.push_back(pointTable.records[i].NameOfRouteOrTrack);
        int selected = -1;
        if (!chooseDownloadTrack(names, selected)) return;
        keepTrack(selected + 1);
    }
    writeDownloadFile(fileName, fileKind, objectKind, transferKind);
}

void uploadToDrive(TransferKind transferKind, FileKind fileKind) {
    const DriveDevice& drive = openedDrive();
    if (isReadOnly(drive)) {
        showError(kMsgReadOnly);
        return;
    }
    // These receivers take names and comments in mixed case with umlauts:
    // the file's texts go over as they are.
    bool carriesIds = false;
    NamingState naming;
    if (!readUploadFile(transferKind, fileKind, carriesIds, naming)) return;

    // Waypoints as they are, or as routes; track logs as tracks. The
    // receivers take names of any length: only repeated names change.
    const bool tracks = transferKind == TransferKind::Tracks;
    bool routeMode = false;
    if (!tracks) {
        makePointNamesUnique(naming, kNameSize - 1);
        routeMode = askUploadRouteMode(carriesIds);
    }
    if (tracks || routeMode) {
        sortPointTable();
        splitRoutesAndTracks(transferKind, false);
    }

    const std::string dir = targetDirectory(drive);
    if (dir.empty()) {
        char text[512];
        std::snprintf(text, sizeof text, kMsgNoTarget, driveInputLocation(drive).c_str());
        showError(driveStillThere(drive) ? text : kMsgGone);
        return;
    }
    const std::string name = newFileName(dir, std::time(nullptr));
    const std::string temp = dir + "/.wegmate-upload.tmp";
    const std::string target = dir + "/" + name;
    const ObjectKind objectKind = tracks || routeMode ? LineObjects : PointObjects;
    if (objectKind == LineObjects) countLinePoints(objectKind);
    setStatusLine((std::string(kStatusPrefix) + name).c_str());

    // The file goes out under a temporary name, is synced, takes its name
    // without replacing anything, and the directory is synced: after the
    // success box, unplugging loses nothing.
    bool ok = fileFormat(Gpx).write(temp.c_str(), objectKind, transferKind) == 1 && syncPath(temp, false);
    if (ok) {
        ok = renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
        if (!ok && errno == EINVAL && access(target.c_str(), F_OK) != 0)
            ok = std::rename(temp.c_str(), target.c_str()) == 0;
    }
    ok = ok && syncPath(dir, true) && driveStillThere(drive);
    if (!ok) {
        unlink(temp.c_str());
        showError(driveStillThere(drive) ? kMsgWriteFailed : kMsgGone);
        return;
    }
    char text[256];
    std::snprintf(text, sizeof text, "Übertragung erfolgreich beendet (%04d Punkte).\nDatei: %s", pointTable.count,
                  target.substr(drive.mountPoint.size() + 1).c_str());
    showInfo(text);
}
