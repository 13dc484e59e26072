// Download from and upload to a receiver that appears as a drive: the GPX
// files of its output locations are read into the point table, and an
// upload is one new GPX file in its input location.

#include "transfers/drive_transfer.h"
#include "model/helpers.h"

#include <algorithm>
#include <cctype>
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
#include "model/content.h"
#include "model/point_table.h"
#include "model/splitting.h"
#include "platform/platform.h"
#include "transfers/download.h"
#include "transfers/messages.h"
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
const char kMsgTakesNoGpx[] =
    "Das GPS-Gerät (%s) nimmt keine GPX-Dateien an. \nEs kann nichts an das GPS-Gerät gesendet werden.";
const char kMsgFileLeftOut[] = "Eine Datei des Garmin-Laufwerks ist fehlerhaft und wird ausgelassen:\n";
const char kMsgFilesLeftOut[] = "%d Dateien des Garmin-Laufwerks sind fehlerhaft und werden ausgelassen:\n";
const char kMsgTooManyFor[] =
    "Die Track-Aufzeichnungen des Garmin-Laufwerks haben mehr als %d Punkte; \nso viele fasst eine "
    "%s-Datei nicht. Bitte eine einzelne \nTrack-Aufzeichnung abrufen oder eine GPX-Datei wählen.";

// What a download takes from a file.
struct Wanted {
    bool waypoints = false;
    bool routes = false;
    bool tracks = false;
};

enum class FileRead { Read, Fault, TableFull };

// One kind of file that a receiver keeps its data in: which names it has,
// and how the wanted objects of one such file are appended to the table
// (message: what went wrong).
struct DriveFileKind {
    bool (*matches)(const char* name);
    FileRead (*append)(const std::string& path, const Wanted& wanted, const char* capacityMessage,
                       std::string& message);
};

bool hasGpxExtension(const char* name) {
    const size_t length = std::strlen(name);
    return length > 4 && strcasecmp(name + length - 4, ".gpx") == 0;
}

FileRead appendGpx(const std::string& path, const Wanted& wanted, const char* capacityMessage, std::string& message) {
    switch (
        appendGpxObjectsOf(path.c_str(), wanted.waypoints, wanted.routes, wanted.tracks, capacityMessage, message)) {
    case GpxAppend::Read: return FileRead::Read;
    case GpxAppend::TableFull: return FileRead::TableFull;
    default: return FileRead::Fault;
    }
}

const DriveFileKind kFileKinds[] = {{hasGpxExtension, appendGpx}};

struct DriveFile {
    std::string path;
    const DriveFileKind* kind;
};

const DriveFileKind* kindOfFile(const char* name) {
    for (const DriveFileKind& kind : kFileKinds)
        if (kind.matches(name)) return &kind;
    return nullptr;
}

// The data files of the receiver's output locations, each once, oldest
// places first: the loose files, the archive, the current track log; within
// a location by name (the archive's names are the times of the logs).
std::vector<DriveFile> outputFiles(const DriveDevice& drive) {
    std::vector<DriveFile> files;
    std::set<std::string> seen;
    for (const std::string& location : driveOutputLocations(drive)) {
        const std::string dir = resolveDrivePath(drive.mountPoint, location);
        if (dir.empty()) continue;
        DIR* handle = opendir(dir.c_str());
        if (!handle) continue;
        std::vector<std::string> names;
        while (dirent* entry = readdir(handle))
            if (entry->d_name[0] != '.' && kindOfFile(entry->d_name)) names.push_back(entry->d_name);
        closedir(handle);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = dir + "/" + name;
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            char* real = realpath(path.c_str(), nullptr);
            const std::string key = real ? real : path;
            std::free(real);
            if (seen.insert(key).second) files.push_back({path, kindOfFile(name.c_str())});
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

// The files of a download read one at a time into the table, numbered on
// from one file to the next. A file that cannot be read is left out and
// remembered; a full table or a drive that went away ends the reading.
struct DriveReading {
    const DriveDevice& drive;
    TransferKind transferKind;
    bool routeMode;
    Wanted wanted;
    const char* capacityMessage = kCapacityError;
    int lineCount = 0;
    std::vector<std::string> faults;  // "path: message" of the files left out

    DriveReading(const DriveDevice& drive, TransferKind transferKind, bool routeMode)
        : drive(drive), transferKind(transferKind), routeMode(routeMode) {}

    // Appends the objects of one file to the table; false after the message
    // when the reading has to end.
    bool read(const DriveFile& file) {
        if (!driveStillThere(drive)) {
            showError(kMsgGone);
            return false;
        }
        const std::string shown = file.path.substr(drive.mountPoint.size() + 1);
        setStatusLine((kStatusPrefix + shown).c_str());
        const int first = pointTable.count;
        std::string message;
        switch (file.kind->append(file.path, wanted, capacityMessage, message)) {
        case FileRead::Read: numberNewRecords(first, transferKind, routeMode, lineCount); break;
        case FileRead::Fault:
            if (!driveStillThere(drive)) {
                showError(kMsgGone);
                return false;
            }
            faults.push_back(shown + ": " + message);
            break;
        case FileRead::TableFull:
            // One file beyond the table: it is named.
            if (capacityMessage == kCapacityError) message += "\nDatei: " + shown;
            showError(message.c_str());
            return false;
        }
        pumpEvents();
        return true;
    }

    // The end of the reading: a drive pulled meanwhile gives no file at all
    // (false after the message); the files left out are named in one warning.
    bool finish() {
        if (!driveStillThere(drive)) {
            showError(kMsgGone);
            return false;
        }
        if (faults.empty()) return true;
        char head[160];
        std::snprintf(head, sizeof head, kMsgFilesLeftOut, (int)faults.size());
        std::string text = faults.size() == 1 ? kMsgFileLeftOut : head;
        for (const std::string& fault : faults) text += fault + "\n";
        text.pop_back();
        showWarning(text.c_str());
        faults.clear();
        return true;
    }
};

const char* noObjectsMessage(TransferKind transferKind, bool routeMode) {
    return transferKind == TransferKind::Tracks ? kMsgNoTracks : routeMode ? kMsgNoRoutes : kMsgNoWaypoints;
}

// Every track log into a GPX file, file by file: the table holds one file at
// a time, never the whole drive.
void writeTracksInParts(DriveReading& reading, const std::vector<DriveFile>& files, const std::string& fileName,
                        ObjectKind objectKind) {
    GpxWriting writing;
    if (!beginGpxWriting(writing, fileName.c_str())) {
        showError(kWriteError);
        return;
    }
    DownloadChecks checks;
    bool written = true;
    // A selection counts the tracks over all files.
    const std::vector<std::string> entries = selectionEntries(transferSelection);
    std::vector<bool> used(entries.size(), false);
    int tracksBefore = 0;
    for (const DriveFile& file : files) {
        pointTable.reset();
        if (!reading.read(file)) {
            abortGpxWriting(writing);
            pointTable.reset();
            return;
        }
        if (!entries.empty()) {
            const std::vector<ContentItem> items = listContent(pointTable, TransferKind::Tracks);
            std::vector<bool> chosen(items.size());
            for (size_t i = 0; i < items.size(); i++)
                chosen[i] = itemSelected(items[i], tracksBefore + items[i].number, entries, used);
            tracksBefore += (int)items.size();
            keepChosenItems(pointTable, items, chosen);
        }
        if (pointTable.count == 0) continue;
        addDownloadChecks(checks, FileKind::Gpx, objectKind);
        written = writeGpxPart(writing, objectKind, TransferKind::Tracks) && written;
    }
    pointTable.reset();
    if (!reading.finish() || !reportUnusedEntry(entries, used)) {
        abortGpxWriting(writing);
        return;
    }
    if (checks.records == 0) {
        abortGpxWriting(writing);
        showError(kMsgNoTracks);
        return;
    }
    if (!reportDownloadChecks(checks, FileKind::Gpx)) {
        abortGpxWriting(writing);
        return;
    }
    if (finishGpxWriting(writing) && written)
        reportDownloadWritten(checks.written);
    else
        showError(kWriteError);
}

// One track log chosen from the names of all files: every file is read for
// its names, then only the file of the chosen one again.
void downloadOneTrack(DriveReading& reading, const std::vector<DriveFile>& files, const std::string& fileName,
                      FileKind fileKind, ObjectKind objectKind) {
    std::vector<std::string> names;
    std::vector<size_t> fileOf;      // of each track
    std::vector<int> firstNumberOf;  // the number of each file's first track, less one
    for (size_t f = 0; f < files.size(); f++) {
        pointTable.reset();
        firstNumberOf.push_back(reading.lineCount);
        if (!reading.read(files[f])) {
            pointTable.reset();
            return;
        }
        for (int i = 0; i < pointTable.count; i++)
            if (pointTable.records[i].NumberOfPoint == 1) {
                names.push_back(pointTable.records[i].NameOfRouteOrTrack);
                fileOf.push_back(f);
            }
    }
    pointTable.reset();
    if (!reading.finish()) return;
    if (names.empty()) {
        showError(kMsgNoTracks);
        return;
    }
    int selected = -1;
    if (!chooseDownloadTrack(names, selected)) return;
    const size_t f = fileOf[(size_t)selected];
    reading.lineCount = firstNumberOf[f];
    if (!reading.read(files[f]) || !reading.finish()) {
        pointTable.reset();
        return;
    }
    keepTrack(selected + 1);
    if (pointTable.count == 0) {
        showError(kMsgNoTracks);
        return;
    }
    writeDownloadFile(fileName, fileKind, objectKind, TransferKind::Tracks);
}

}  // namespace

void downloadFromDrive(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    const DriveDevice& drive = openedDrive();
    std::string fileName;
    if (!chooseDownloadFile(fileKind, fileName)) return;
    platform().repaintMainWindow();

    const bool routeMode = transferKind == TransferKind::Waypoints && askDownloadRouteMode();
    const bool singleTrack = transferKind == TransferKind::Tracks && askDownloadSingleTrack();

    const std::vector<DriveFile> files = outputFiles(drive);
    if (files.empty()) {
        showError(driveStillThere(drive) ? kMsgNoGpxFiles : kMsgGone);
        return;
    }
    DriveReading reading(drive, transferKind, routeMode);
    reading.wanted.waypoints = transferKind == TransferKind::Waypoints && !routeMode;
    reading.wanted.routes = routeMode;
    reading.wanted.tracks = transferKind == TransferKind::Tracks;
    pointTable.reset();
    if (singleTrack) {
        downloadOneTrack(reading, files, fileName, fileKind, objectKind);
        return;
    }
    if (transferKind == TransferKind::Tracks && fileKind == FileKind::Gpx) {
        writeTracksInParts(reading, files, fileName, objectKind);
        return;
    }

    // The other files hold what the table holds, which is also what the
    // program reads back from them.
    char capacity[400];
    std::string type = fileFormat(fileKind).extension;
    for (char& c : type) c = (char)std::toupper((unsigned char)c);
    std::snprintf(capacity, sizeof capacity, kMsgTooManyFor, kMaxPoints, type.c_str());
    if (transferKind == TransferKind::Tracks) reading.capacityMessage = capacity;
    for (const DriveFile& file : files)
        if (!reading.read(file)) {
            pointTable.reset();
            return;
        }
    if (!reading.finish()) {
        pointTable.reset();
        return;
    }
    if (pointTable.count == 0) {
        showError(noObjectsMessage(transferKind, routeMode));
        return;
    }
    writeDownloadFile(fileName, fileKind, objectKind, transferKind, routeMode);
}

void uploadToDrive(TransferKind transferKind, FileKind fileKind) {
    const DriveDevice& drive = openedDrive();
    if (!driveCapabilities(drive).gpxIn) {
        char text[512];
        std::snprintf(text, sizeof text, kMsgTakesNoGpx,
                      drive.description.empty() ? drive.mountPoint.c_str() : drive.description.c_str());
        showError(text);
        return;
    }
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
        routeMode = askUploadRouteMode(carriesIds);
        if (routeMode && !leaveWaypointsOutOfRoutes()) return;
        makePointNamesUnique(kNameSize - 1);
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
