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
#include "link/drive_files.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/splitting.h"
#include "platform/atomic_file.h"
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
const char kMsgOutside[] =
    "Der Zielordner %s führt aus dem Garmin-Laufwerk hinaus (\"..\", Verknüpfung oder anderes \nDateisystem) "
    "und wird nicht benutzt.";
const char kMsgTempExists[] =
    "Auf dem Garmin-Laufwerk liegt schon %s (von einer abgebrochenen Übertragung?). \nBitte die Datei löschen "
    "und die Übertragung wiederholen.";
const char kMsgWriteFailed[] =
    "Fehler beim Schreiben auf das Garmin-Laufwerk. \nDie Daten wurden NICHT an das GPS-Gerät übertragen.";
const char kMsgGone[] = "Das Garmin-Laufwerk ist nicht mehr erreichbar. \nDie Übertragung wurde abgebrochen.";

// The GPX files of the receiver's output locations, each once, oldest
// places first: the loose files, the archive, the current track log.
std::vector<std::string> outputFiles(const DriveDevice& drive) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    for (const std::string& location : driveOutputLocations(drive)) {
        // Links are not followed: the path as found names each file once.
        const std::string dir = resolveDrivePath(drive.mountPoint, location);
        if (dir.empty()) continue;
        for (const std::string& name : listDriveFolder(drive.mountPoint, location, ".gpx")) {
            const std::string path = dir + "/" + name;
            if (seen.insert(path).second) files.push_back(path);
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

// Writes all of text to fd and syncs it. The temporary file is ours alone:
// made new (O_EXCL), never through a link.
bool writeAndSync(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += (size_t)wrote;
    }
    return fileSystemCalls().fsync(fd) == 0;
}

// "Wegmate_YYYYMMDD_HHMMSS.gpx", with "_2", "_3" ... from the n-th on, the
// first such name that does not exist in dirFd (in any case of its letters).
std::string newFileName(int dirFd, std::time_t now, int& n) {
    struct tm local;
    localtime_r(&now, &local);
    char stem[64];
    std::strftime(stem, sizeof stem, "Wegmate_%Y%m%d_%H%M%S", &local);
    for (;; n++) {
        std::string name = stem;
        if (n > 1) name += "_" + std::to_string(n);
        name += ".gpx";
        if (findDriveEntry(dirFd, name).empty()) return name;
    }
}

// Puts the temporary file in place under a new name without replacing
// anything: a name taken meanwhile makes it try the next one. "" on failure.
std::string placeUpload(int dirFd, const char* temp, std::time_t now) {
    int n = 1;
    for (int attempt = 0; attempt < 100; attempt++, n++) {
        const std::string name = newFileName(dirFd, now, n);
        if (fileSystemCalls().renameat2(dirFd, temp, dirFd, name.c_str(), RENAME_NOREPLACE) == 0) return name;
        if (errno == EEXIST) continue;
        // A file system without RENAME_NOREPLACE: a plain rename onto a name
        // that is still free.
        struct stat st;
        if (errno != EINVAL || fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return "";
        return fileSystemCalls().renameat2(dirFd, temp, dirFd, name.c_str(), 0) == 0 ? name : "";
    }
    return "";
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
        const int fd = openDriveFile(drive.mountPoint, file.substr(drive.mountPoint.size() + 1));
        FILE* gpx = fd < 0 ? nullptr : fdopen(fd, "rb");
        if (!gpx && fd >= 0) close(fd);
        if (!appendGpxObjects(gpx, transferKind == TransferKind::Waypoints && !routeMode, routeMode,
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
    // the file's texts go over as they are, not cut to the serial units'
    // character set.
    bool carriesIds = false;
    {
        KeepFileTextsWhileReading keepTexts;
        if (!readUploadFile(transferKind, fileKind, carriesIds)) return;
    }

    // Waypoints as they are, or as routes; track logs as tracks. The
    // receivers take names of any length: only repeated names change.
    const bool tracks = transferKind == TransferKind::Tracks;
    bool routeMode = false;
    if (!tracks) {
        makePointNamesUnique(kNameSize - 1);
        routeMode = askUploadRouteMode(carriesIds);
    }
    if (tracks || routeMode) {
        sortPointTable();
        splitRoutesAndTracks(transferKind, false);
    }

    // The input location, its missing parts made; only inside the drive.
    const std::string location = driveInputLocation(drive);
    std::string dir;
    const int dirFd = openDriveFolder(drive.mountPoint, location, true, &dir);
    if (dirFd < 0) {
        const bool outside = errno == EINVAL || errno == ELOOP || errno == EXDEV;
        char text[512];
        std::snprintf(text, sizeof text, outside ? kMsgOutside : kMsgNoTarget, location.c_str());
        showError(driveStillThere(drive) ? text : kMsgGone);
        return;
    }
    const ObjectKind objectKind = tracks || routeMode ? LineObjects : PointObjects;
    if (objectKind == LineObjects) countLinePoints(objectKind);
    const std::time_t now = std::time(nullptr);
    int first = 1;
    setStatusLine((std::string(kStatusPrefix) + newFileName(dirFd, now, first)).c_str());

    // The file goes out under a temporary name, is synced, takes its name
    // without replacing anything, and the directory is synced: after the
    // success box, unplugging loses nothing.
    const char* const temp = ".wegmate-upload.tmp";
    const int fd = openat(dirFd, temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) {
        close(dirFd);
        char text[512];
        std::snprintf(text, sizeof text, kMsgTempExists, (location + "/" + temp).c_str());
        showError(text);
        return;
    }
    bool ok = fd >= 0 && writeAndSync(fd, gpxDocument(objectKind, transferKind));
    if (fd >= 0 && close(fd) != 0) ok = false;
    const std::string name = ok ? placeUpload(dirFd, temp, now) : "";
    ok = !name.empty() && fileSystemCalls().fsync(dirFd) == 0 && driveStillThere(drive);
    if (!ok) {
        if (fd >= 0 && name.empty()) unlinkat(dirFd, temp, 0);
        close(dirFd);
        showError(driveStillThere(drive) ? kMsgWriteFailed : kMsgGone);
        return;
    }
    close(dirFd);
    const std::string target = dir + "/" + name;
    char text[512];
    std::snprintf(text, sizeof text, "Übertragung erfolgreich beendet (%04d Punkte).\nDatei: %s", pointTable.count,
                  target.substr(drive.mountPoint.size() + 1).c_str());
    showInfo(text);
}
