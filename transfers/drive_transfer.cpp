// Download from and upload to a receiver that appears as a drive: the GPX
// files of its output locations (and for track logs its FIT activities) are
// read into the point table, and an
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
#include "formats/fit.h"
#include "formats/gpx.h"
#include "formats/reading.h"
#include "link/drive.h"
#include "link/drive_files.h"
#include "link/mtp.h"
#include "model/names.h"
#include "model/content.h"
#include "model/point_table.h"
#include "model/splitting.h"
#include "platform/atomic_file.h"
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
const char kMsgNoTargetOnUnit[] = "Der Zielordner %s auf dem GPS-Gerät fehlt.";
const char kMsgOutside[] =
    "Der Zielordner %s führt aus dem Garmin-Laufwerk hinaus (\"..\", Verknüpfung oder anderes \nDateisystem) "
    "und wird nicht benutzt.";
const char kMsgTempExists[] =
    "Auf dem Garmin-Laufwerk liegt schon %s (von einer abgebrochenen Übertragung?). \nBitte die Datei löschen "
    "und die Übertragung wiederholen.";
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

std::string lowerCase(std::string text) {
    for (char& c : text) c = (char)std::tolower((unsigned char)c);
    return text;
}

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
    const char* extension;
    // fd: the file opened inside the drive, closed by append.
    FileRead (*append)(int fd, const Wanted& wanted, const char* capacityMessage, std::string& message);
};

FileRead appendGpx(int fd, const Wanted& wanted, const char* capacityMessage, std::string& message) {
    FILE* file = boundedInputStream(fd);
    switch (appendGpxObjectsOf(file, wanted.waypoints, wanted.routes, wanted.tracks, capacityMessage, message)) {
    case GpxAppend::Read: return FileRead::Read;
    case GpxAppend::TableFull: return FileRead::TableFull;
    default: return FileRead::Fault;
    }
}

// A FIT activity: only track logs.
FileRead appendFit(int fd, const Wanted&, const char* capacityMessage, std::string& message) {
    FILE* file = boundedInputStream(fd);
    std::vector<uint8_t> bytes;
    bool ok = file != nullptr;
    if (file) {
        uint8_t chunk[1 << 16];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
        ok = !std::ferror(file);
        std::fclose(file);
    }
    if (!ok) {
        message = "Fehler beim Lesen der FIT-Eingabedatei.";
        return FileRead::Fault;
    }
    switch (appendFitTracksOf(bytes, capacityMessage, message)) {
    case FitAppend::Read: return FileRead::Read;
    case FitAppend::TableFull: return FileRead::TableFull;
    default: return FileRead::Fault;
    }
}

const DriveFileKind kGpxFiles = {".gpx", appendGpx};
const DriveFileKind kFitFiles = {".fit", appendFit};

struct DriveFile {
    std::string path;  // relative to the root, as found
    const DriveFileKind* kind;
    uint64_t size = 0;  // as a unit's seam lists it
};

// Where the files come from: a drive below its mount point (link/
// drive_files.h, nothing outside it is reached), or a unit's file seam
// (link/device_files.h) whose files are copied into memory to be read.
struct UnitFiles {
    const DriveDevice& device;
    const DeviceFiles* seam = nullptr;  // nullptr: the drive

    // The files of a location that end in extension, sorted, with their
    // paths relative to the root as found (and the sizes a seam lists).
    std::vector<DeviceFileEntry> list(const std::string& location, const char* extension) const {
        std::vector<DeviceFileEntry> paths;
        if (!seam) {
            const std::string dir = resolveDrivePath(device.mountPoint, location);
            if (dir.empty()) return paths;
            // Links are not followed, only regular files are listed.
            for (const std::string& name : listDriveFolder(device.mountPoint, location, extension))
                paths.push_back({(dir + "/" + name).substr(device.mountPoint.size() + 1)});
            return paths;
        }
        std::vector<DeviceFileEntry> entries;
        std::string error;
        if (!seam->list(seam->handle, location, entries, error)) return paths;
        const size_t suffix = std::strlen(extension);
        for (const DeviceFileEntry& entry : entries) {
            const size_t length = entry.name.size();
            if (!entry.folder && entry.name[0] != '.' && length > suffix &&
                strcasecmp(entry.name.c_str() + length - suffix, extension) == 0)
                paths.push_back({location + "/" + entry.name, false, entry.size});
        }
        std::sort(paths.begin(), paths.end(),
                  [](const DeviceFileEntry& a, const DeviceFileEntry& b) { return a.name < b.name; });
        return paths;
    }

    // A descriptor to read the file from, or -1 (message: why, "" for a
    // file of the drive that is refused or gone).
    int open(const DriveFile& file, std::string& message) const {
        if (!seam) return openDriveFile(device.mountPoint, file.path);
        // The bound of every input file, before a byte is copied.
        if (file.size > (uint64_t)kMaxInputFileSize) {
            message = "Die Datei ist größer als 256 MB und wird nicht gelesen.";
            return -1;
        }
        const std::string& path = file.path;
        std::string bytes;
        if (!seam->read(seam->handle, path, bytes, message)) return -1;
        FILE* copy = std::tmpfile();
        if (copy && std::fwrite(bytes.data(), 1, bytes.size(), copy) == bytes.size() && std::fflush(copy) == 0) {
            const int fd = dup(fileno(copy));
            std::fclose(copy);
            if (fd >= 0 && lseek(fd, 0, SEEK_SET) == 0) return fd;
            if (fd >= 0) close(fd);
        } else if (copy) {
            std::fclose(copy);
        }
        message = "Fehler beim Lesen der Datei.";
        return -1;
    }

    // A message of the drive as it reads for a unit reached through its seam.
    std::string said(const std::string& text) const {
        if (!seam) return text;
        std::string out = text;
        for (const auto& [drive, other] : {std::pair<std::string, std::string>{"dem Garmin-Laufwerk", "dem GPS-Gerät (MTP)"},
                                           {"des Garmin-Laufwerks", "des GPS-Geräts (MTP)"}})
            for (size_t at = out.find(drive); at != std::string::npos; at = out.find(drive, at + other.size()))
                out.replace(at, drive.size(), other);
        return out;
    }

    // false when a drive was pulled; a unit's seam reports that itself.
    bool stillThere() const {
        if (seam) return true;
        return !device.xmlPath.empty() && access(device.xmlPath.c_str(), F_OK) == 0;
    }
};

// The data files of the receiver's output locations, each once, oldest
// places first: the loose files, the archive, the current track log; within
// a location by name (the archive's names are the times of the logs). Track
// downloads also read the FIT activities.
std::vector<DriveFile> outputFiles(const UnitFiles& unit, bool tracks) {
    std::vector<DriveFile> files;
    std::set<std::string> seen;
    auto add = [&](const std::vector<std::string>& locations, const DriveFileKind& kind) {
        for (const std::string& location : locations)
            // The path as found names each file once (links are not
            // followed); a unit's paths are matched in any case.
            for (const DeviceFileEntry& entry : unit.list(location, kind.extension)) {
                const std::string& path = entry.name;
                if (seen.insert(unit.seam ? lowerCase(path) : path).second) files.push_back({path, &kind, entry.size});
            }
    };
    add(driveOutputLocations(unit.device), kGpxFiles);
    if (tracks) add(driveActivityLocations(unit.device), kFitFiles);
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

bool driveStillThere(const DriveDevice& drive) { return UnitFiles{drive}.stillThere(); }

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
// first such name that is not taken (in any case of its letters).
template <class Taken>
std::string newFileName(const Taken& taken, std::time_t now, int& n) {
    struct tm local;
    localtime_r(&now, &local);
    char stem[64];
    std::strftime(stem, sizeof stem, "Wegmate_%Y%m%d_%H%M%S", &local);
    for (;; n++) {
        std::string name = stem;
        if (n > 1) name += "_" + std::to_string(n);
        name += ".gpx";
        if (!taken(name)) return name;
    }
}

std::string newFileName(int dirFd, std::time_t now, int& n) {
    return newFileName([dirFd](const std::string& name) { return !findDriveEntry(dirFd, name).empty(); }, now, n);
}

// The files of a download read one at a time into the table, numbered on
// from one file to the next. A file that cannot be read is left out and
// remembered; a full table or a drive that went away ends the reading.
struct DriveReading {
    const UnitFiles& unit;
    TransferKind transferKind;
    bool routeMode;
    Wanted wanted;
    const char* capacityMessage = kCapacityError;
    int lineCount = 0;
    std::vector<std::string> faults;  // "path: message" of the files left out

    DriveReading(const UnitFiles& unit, TransferKind transferKind, bool routeMode)
        : unit(unit), transferKind(transferKind), routeMode(routeMode) {}

    // Appends the objects of one file to the table; false after the message
    // when the reading has to end.
    bool read(const DriveFile& file) {
        if (!unit.stillThere()) {
            showError(kMsgGone);
            return false;
        }
        const std::string& shown = file.path;
        setStatusLine((kStatusPrefix + shown).c_str());
        const int first = pointTable.count;
        std::string message;
        const int fd = unit.open(file, message);
        if (fd < 0) {
            // A drive's file refused (a link, no regular file) or gone
            // meanwhile; a unit's file that could not be copied.
            if (!message.empty()) faults.push_back(shown + ": " + message);
            pumpEvents();
            return true;
        }
        switch (file.kind->append(fd, wanted, capacityMessage, message)) {
        case FileRead::Read: numberNewRecords(first, transferKind, routeMode, lineCount); break;
        case FileRead::Fault:
            if (!unit.stillThere()) {
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
        if (!unit.stillThere()) {
            showError(kMsgGone);
            return false;
        }
        if (faults.empty()) return true;
        char head[160];
        std::snprintf(head, sizeof head, kMsgFilesLeftOut, (int)faults.size());
        std::string text = faults.size() == 1 ? kMsgFileLeftOut : head;
        for (const std::string& fault : faults) text += fault + "\n";
        text.pop_back();
        showWarning(unit.said(text).c_str());
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
        showError(reading.unit.said(kMsgNoTracks).c_str());
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
        showError(reading.unit.said(kMsgNoTracks).c_str());
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
        showError(reading.unit.said(kMsgNoTracks).c_str());
        return;
    }
    writeDownloadFile(fileName, fileKind, objectKind, TransferKind::Tracks);
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

namespace {

void downloadFromUnit(const UnitFiles& unit, TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    std::string fileName;
    if (!chooseDownloadFile(fileKind, fileName)) return;
    platform().repaintMainWindow();

    const bool routeMode = transferKind == TransferKind::Waypoints && askDownloadRouteMode();
    const bool singleTrack = transferKind == TransferKind::Tracks && askDownloadSingleTrack();

    const std::vector<DriveFile> files = outputFiles(unit, transferKind == TransferKind::Tracks);
    if (files.empty()) {
        showError(unit.said(unit.stillThere() ? kMsgNoGpxFiles : kMsgGone).c_str());
        return;
    }
    DriveReading reading(unit, transferKind, routeMode);
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
    const std::string capacityText = unit.said(capacity);
    if (transferKind == TransferKind::Tracks) reading.capacityMessage = capacityText.c_str();
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
        showError(unit.said(noObjectsMessage(transferKind, routeMode)).c_str());
        return;
    }
    writeDownloadFile(fileName, fileKind, objectKind, transferKind, routeMode);
}

// The upload file read and made ready for the unit's GPX: false after the
// message (or the user's no).
bool prepareUpload(const UnitFiles& unit, TransferKind transferKind, FileKind fileKind, ObjectKind& objectKind) {
    const DriveDevice& drive = unit.device;
    if (!driveCapabilities(drive).gpxIn) {
        char text[512];
        std::snprintf(text, sizeof text, kMsgTakesNoGpx,
                      drive.description.empty() ? drive.mountPoint.c_str() : drive.description.c_str());
        showError(text);
        return false;
    }
    if (!unit.seam && isReadOnly(drive)) {
        showError(kMsgReadOnly);
        return false;
    }
    // These receivers take names and comments in mixed case with umlauts:
    // the file's texts go over as they are.
    bool carriesIds = false;
    NamingState naming;
    if (!readUploadFile(transferKind, fileKind, carriesIds, naming)) return false;

    // Waypoints as they are, or as routes; track logs as tracks. The
    // receivers take names of any length: only repeated names change.
    const bool tracks = transferKind == TransferKind::Tracks;
    bool routeMode = false;
    if (!tracks) {
        routeMode = askUploadRouteMode(carriesIds);
        if (routeMode && !leaveWaypointsOutOfRoutes()) return false;
        makePointNamesUnique(naming, kNameSize - 1);
    }
    if (tracks || routeMode) {
        sortPointTable();
        splitRoutesAndTracks(transferKind, false);
    }
    objectKind = tracks || routeMode ? LineObjects : PointObjects;
    if (objectKind == LineObjects) countLinePoints(objectKind);
    return true;
}

// One new GPX file through the unit's seam, under a name the folder does
// not hold yet; the seam never replaces a file.
void uploadThroughSeam(const UnitFiles& unit, TransferKind transferKind, FileKind fileKind) {
    ObjectKind objectKind = PointObjects;
    if (!prepareUpload(unit, transferKind, fileKind, objectKind)) return;
    const DeviceFiles& seam = *unit.seam;
    const std::string location = driveInputLocation(unit.device);
    std::vector<DeviceFileEntry> entries;
    std::string error;
    if (!seam.list(seam.handle, location, entries, error)) {
        char text[512];
        std::snprintf(text, sizeof text, kMsgNoTargetOnUnit, location.c_str());
        showError(text);
        return;
    }
    std::set<std::string> taken;
    for (const DeviceFileEntry& entry : entries) taken.insert(lowerCase(entry.name));
    const std::time_t now = std::time(nullptr);
    int n = 1;
    const std::string name =
        newFileName([&taken](const std::string& name) { return taken.count(lowerCase(name)) > 0; }, now, n);
    setStatusLine((std::string(kStatusPrefix) + name).c_str());
    if (!seam.store(seam.handle, location, name, gpxDocument(objectKind, transferKind), error)) {
        showError((error + "\nDie Daten wurden NICHT an das GPS-Gerät übertragen.").c_str());
        return;
    }
    char text[512];
    std::snprintf(text, sizeof text, "Übertragung erfolgreich beendet (%04d Punkte).\nDatei: %s", pointTable.count,
                  (location + "/" + name).c_str());
    showInfo(text);
}

}  // namespace

void downloadFromDrive(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    downloadFromUnit(UnitFiles{openedDrive()}, transferKind, fileKind, objectKind);
}

void downloadFromMtp(TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    const DeviceFiles seam = openedMtpRoots().front().files;
    downloadFromUnit(UnitFiles{openedMtpUnit(), &seam}, transferKind, fileKind, objectKind);
}

void uploadToMtp(TransferKind transferKind, FileKind fileKind) {
    const DeviceFiles seam = openedMtpRoots().front().files;
    uploadThroughSeam(UnitFiles{openedMtpUnit(), &seam}, transferKind, fileKind);
}

void uploadToDrive(TransferKind transferKind, FileKind fileKind) {
    const DriveDevice& drive = openedDrive();
    ObjectKind objectKind = PointObjects;
    if (!prepareUpload(UnitFiles{drive}, transferKind, fileKind, objectKind)) return;

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
