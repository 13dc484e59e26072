// The MTP link through libmtp, on units opened uncached: folders are listed
// one at a time, as the path to a file needs them.

#include "link/mtp.h"

#include "link/drive.h"
#include "platform/platform.h"

#include <libmtp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kMsgNoUnit[] = "Kein Garmin-Gerät mit MTP-Anschluss gefunden.";
const char kMsgSeveral[] = "Mehrere Garmin-Geräte mit MTP-Anschluss gefunden:\n";
const char kMsgSeveralEnd[] = "\nBitte eines davon über seine Seriennummer auswählen.";
const char kMsgNoSerial[] = "Kein Garmin-Gerät mit MTP-Anschluss und der Seriennummer ";
const char kMsgBusy[] =
    "Das GPS-Gerät (MTP) wird von einem anderen Programm benutzt (z. B. dem Dateimanager über GVfs oder KDE) "
    "oder antwortet nicht. \nHängen Sie das Gerät dort aus (\"Auswerfen\") oder beenden Sie das Programm, "
    "und versuchen Sie es erneut.";
const char kMsgNoXml[] = "Keine Gerätebeschreibung (Garmin/GarminDevice.xml) auf dem GPS-Gerät (MTP) gefunden.";
const char kMsgMissing[] = " fehlt auf dem GPS-Gerät (MTP).";
const char kMsgBroken[] = " \nDie Verbindung wurde unterbrochen oder das Gerät antwortet nicht.";
const char kMsgNotSent[] = " \nDie Daten wurden NICHT an das GPS-Gerät übertragen.";

struct Entry {
    uint32_t id = 0;
    DeviceFileEntry file;
};

bool sameNoCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::vector<std::string> parts(const std::string& path) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        if (slash > from) out.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    return out;
}

void initOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    LIBMTP_Init();
}

// libmtp reports what it detects on standard output; that belongs to the
// program (wegmate-cli's boxes), so it goes to standard error meanwhile.
struct StdoutToStderr {
    int saved;
    StdoutToStderr() {
        std::fflush(stdout);
        saved = dup(1);
        if (saved >= 0) dup2(2, 1);
    }
    ~StdoutToStderr() {
        std::fflush(stdout);
        if (saved >= 0) {
            dup2(saved, 1);
            close(saved);
        }
    }
};

// The raw devices of Garmin units detected now.
std::vector<LIBMTP_raw_device_t> detectGarmin() {
    initOnce();
    std::vector<LIBMTP_raw_device_t> out;
    LIBMTP_raw_device_t* raw = nullptr;
    int count = 0;
    StdoutToStderr quiet;
    if (LIBMTP_Detect_Raw_Devices(&raw, &count) == LIBMTP_ERROR_NONE) {
        for (int i = 0; i < count; i++)
            if (raw[i].device_entry.vendor_id == kGarminVendorId) out.push_back(raw[i]);
    }
    free(raw);
    return out;
}

// A unit that still starts up answers the session's opening with "busy";
// one that another program holds cannot be claimed. Both get a few more
// tries, about three seconds in all.
LIBMTP_mtpdevice_t* openRaw(LIBMTP_raw_device_t& raw) {
    StdoutToStderr quiet;
    for (int attempt = 0;; attempt++) {
        if (LIBMTP_mtpdevice_t* d = LIBMTP_Open_Raw_Device_Uncached(&raw)) return d;
        if (attempt == 3) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(500 * (attempt + 1)));
    }
}

std::string takeString(char* s) {
    std::string out = s ? s : "";
    free(s);
    return out;
}

}  // namespace

struct MtpRootState {
    struct MtpDevice* device = nullptr;
    uint32_t storage = 0;
    uint32_t folderId = LIBMTP_FILES_AND_FOLDERS_ROOT;
    std::map<uint32_t, std::vector<Entry>> listings;  // by folder id
};

struct MtpDevice {
    LIBMTP_mtpdevice_t* mtp = nullptr;
    std::string serial;
    std::string model;
    std::vector<std::unique_ptr<MtpRootState>> roots;
};

namespace {

// The entries of a folder by its id, listed once and remembered.
bool listFolder(MtpRootState& s, uint32_t folder, std::vector<Entry>*& out) {
    auto it = s.listings.find(folder);
    if (it != s.listings.end()) {
        out = &it->second;
        return true;
    }
    LIBMTP_mtpdevice_t* mtp = s.device->mtp;
    LIBMTP_Clear_Errorstack(mtp);
    LIBMTP_file_t* files = LIBMTP_Get_Files_And_Folders(mtp, s.storage, folder);
    if (!files && LIBMTP_Get_Errorstack(mtp)) {
        LIBMTP_Clear_Errorstack(mtp);
        return false;
    }
    std::vector<Entry> entries;
    while (files) {
        LIBMTP_file_t* next = files->next;
        Entry e;
        e.id = files->item_id;
        e.file.name = files->filename ? files->filename : "";
        e.file.folder = files->filetype == LIBMTP_FILETYPE_FOLDER;
        e.file.size = files->filesize;
        entries.push_back(e);
        LIBMTP_destroy_file_t(files);
        files = next;
    }
    out = &(s.listings[folder] = std::move(entries));
    return true;
}

const Entry* findEntry(const std::vector<Entry>& entries, const std::string& name, bool folder) {
    for (const Entry& e : entries)
        if (e.file.folder == folder && sameNoCase(e.file.name, name)) return &e;
    return nullptr;
}

// The id of a folder below the root's folder; false with the message.
bool resolveFolder(MtpRootState& s, const std::string& path, uint32_t& id, std::string& error) {
    id = s.folderId;
    std::string walked;
    for (const std::string& part : parts(path)) {
        std::vector<Entry>* entries = nullptr;
        if (!listFolder(s, id, entries)) {
            error = "Fehler beim Lesen des Ordners " + (walked.empty() ? std::string("/") : walked) +
                    " vom GPS-Gerät (MTP)." + kMsgBroken;
            return false;
        }
        walked += (walked.empty() ? "" : "/") + part;
        const Entry* e = findEntry(*entries, part, true);
        if (!e) {
            error = "Der Ordner " + walked + kMsgMissing;
            return false;
        }
        id = e->id;
    }
    return true;
}

int mtpList(void* handle, const std::string& folder, std::vector<DeviceFileEntry>& out, std::string& error) {
    MtpRootState& s = *static_cast<MtpRootState*>(handle);
    uint32_t id = 0;
    if (!resolveFolder(s, folder, id, error)) return 0;
    std::vector<Entry>* entries = nullptr;
    if (!listFolder(s, id, entries)) {
        error = "Fehler beim Lesen des Ordners " + folder + " vom GPS-Gerät (MTP)." + kMsgBroken;
        return 0;
    }
    out.clear();
    for (const Entry& e : *entries) out.push_back(e.file);
    return 1;
}

uint16_t putBytes(void*, void* priv, uint32_t length, unsigned char* data, uint32_t* taken) {
    static_cast<std::string*>(priv)->append(reinterpret_cast<const char*>(data), length);
    *taken = length;
    return LIBMTP_HANDLER_RETURN_OK;
}

int mtpRead(void* handle, const std::string& path, std::string& bytes, std::string& error) {
    MtpRootState& s = *static_cast<MtpRootState*>(handle);
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    uint32_t id = 0;
    std::vector<Entry>* entries = nullptr;
    if (!resolveFolder(s, folder, id, error)) return 0;
    if (!listFolder(s, id, entries)) {
        error = "Fehler beim Lesen des Ordners " + folder + " vom GPS-Gerät (MTP)." + kMsgBroken;
        return 0;
    }
    const Entry* e = findEntry(*entries, name, false);
    if (!e) {
        error = "Die Datei " + path + kMsgMissing;
        return 0;
    }
    bytes.clear();
    LIBMTP_Clear_Errorstack(s.device->mtp);
    const int r = LIBMTP_Get_File_To_Handler(s.device->mtp, e->id, putBytes, &bytes, nullptr, nullptr);
    LIBMTP_Clear_Errorstack(s.device->mtp);
    if (r != 0 || bytes.size() != e->file.size) {
        bytes.clear();
        error = "Fehler beim Lesen der Datei " + path + " vom GPS-Gerät (MTP)." + kMsgBroken;
        return 0;
    }
    return 1;
}

struct Source {
    const std::string* bytes;
    size_t at = 0;
};

uint16_t getBytes(void*, void* priv, uint32_t wanted, unsigned char* data, uint32_t* given) {
    Source& src = *static_cast<Source*>(priv);
    const size_t n = std::min<size_t>(wanted, src.bytes->size() - src.at);
    std::memcpy(data, src.bytes->data() + src.at, n);
    src.at += n;
    *given = (uint32_t)n;
    return LIBMTP_HANDLER_RETURN_OK;
}

// The unit said its store is full (before or during the copy).
bool storeFull(LIBMTP_mtpdevice_t* mtp) {
    for (LIBMTP_error_t* e = LIBMTP_Get_Errorstack(mtp); e; e = e->next) {
        if (e->errornumber == LIBMTP_ERROR_STORAGE_FULL) return true;
        if (e->error_text && (strstr(e->error_text, "200c") || strstr(e->error_text, "Store Full"))) return true;
    }
    return false;
}

int mtpStore(void* handle, const std::string& folder, const std::string& name, const std::string& bytes,
             std::string& error) {
    MtpRootState& s = *static_cast<MtpRootState*>(handle);
    const std::string path = folder.empty() ? name : folder + "/" + name;
    uint32_t id = 0;
    std::vector<Entry>* entries = nullptr;
    if (!resolveFolder(s, folder, id, error)) return 0;
    if (!listFolder(s, id, entries)) {
        error = "Fehler beim Lesen des Ordners " + folder + " vom GPS-Gerät (MTP)." + kMsgBroken;
        return 0;
    }
    for (const Entry& e : *entries) {
        if (sameNoCase(e.file.name, name)) {
            error = "Die Datei " + path + " gibt es auf dem GPS-Gerät (MTP) schon; sie wird nicht ersetzt.";
            return 0;
        }
    }
    LIBMTP_mtpdevice_t* mtp = s.device->mtp;
    LIBMTP_file_t* file = LIBMTP_new_file_t();
    file->filename = strdup(name.c_str());
    file->filesize = bytes.size();
    file->filetype = LIBMTP_FILETYPE_UNKNOWN;
    file->parent_id = id == LIBMTP_FILES_AND_FOLDERS_ROOT ? 0 : id;
    file->storage_id = s.storage;
    Source src{&bytes};
    LIBMTP_Clear_Errorstack(mtp);
    const int r = LIBMTP_Send_File_From_Handler(mtp, getBytes, &src, file, nullptr, nullptr);
    const uint32_t made = file->item_id;
    LIBMTP_destroy_file_t(file);
    s.listings.erase(id);
    if (r == 0) {
        // The unit took it: it must hold all of it.
        LIBMTP_file_t* meta = LIBMTP_Get_Filemetadata(mtp, made);
        const bool whole = meta && meta->filesize == bytes.size();
        if (meta) LIBMTP_destroy_file_t(meta);
        LIBMTP_Clear_Errorstack(mtp);
        if (whole) return 1;
    }
    const bool full = r != 0 && storeFull(mtp);
    LIBMTP_Clear_Errorstack(mtp);
    error = full ? std::string("Der Speicher des GPS-Geräts (MTP) ist voll. Die Datei ") + path +
                       " konnte nicht geschrieben werden." + kMsgNotSent
                 : "Fehler beim Schreiben der Datei " + path + " auf das GPS-Gerät (MTP)." + kMsgNotSent;
    // What the unit shows of the failed copy is removed: exactly the
    // object this copy made, nothing else.
    if (!listFolder(s, id, entries)) {
        LIBMTP_Clear_Errorstack(mtp);
        error += " \nAuf dem GPS-Gerät kann eine unvollständige Datei " + path +
                 " geblieben sein; bitte dort löschen.";
        return 0;
    }
    const Entry* partial = nullptr;
    for (const Entry& e : *entries)
        if (made != 0 && e.id == made) partial = &e;
    if (partial) {
        const bool removed = LIBMTP_Delete_Object(mtp, made) == 0;
        LIBMTP_Clear_Errorstack(mtp);
        s.listings.erase(id);
        error += removed ? " \nDie unvollständige Datei " + path + " wurde vom GPS-Gerät gelöscht."
                         : " \nAuf dem GPS-Gerät ist eine unvollständige Datei " + path +
                               " geblieben; bitte dort löschen.";
    }
    return 0;
}

}  // namespace

std::vector<MtpUnitInfo> findMtpUnits() {
    std::vector<MtpUnitInfo> out;
    for (const LIBMTP_raw_device_t& raw : detectGarmin()) {
        MtpUnitInfo u;
        u.busNumber = (int)raw.bus_location;
        u.deviceNumber = raw.devnum;
        u.productId = raw.device_entry.product_id;
        if (raw.device_entry.product) u.listedName = raw.device_entry.product;
        out.push_back(u);
    }
    return out;
}

MtpDevice* openMtpDevice(const std::string& serial, std::string& error) {
    std::vector<LIBMTP_raw_device_t> raws = detectGarmin();
    if (raws.empty()) {
        error = kMsgNoUnit;
        return nullptr;
    }
    std::vector<std::string> seen;
    bool unopened = false;
    for (LIBMTP_raw_device_t& raw : raws) {
        LIBMTP_mtpdevice_t* mtp = openRaw(raw);
        if (!mtp) {
            unopened = true;
            continue;
        }
        auto* d = new MtpDevice;
        d->mtp = mtp;
        d->serial = takeString(LIBMTP_Get_Serialnumber(mtp));
        d->model = takeString(LIBMTP_Get_Modelname(mtp));
        if ((serial.empty() && raws.size() == 1) || (!serial.empty() && d->serial == serial)) return d;
        seen.push_back(d->model + " (Seriennummer " + d->serial + ")");
        closeMtpDevice(d);
    }
    if (!serial.empty() || raws.size() == 1) {
        error = unopened ? kMsgBusy : kMsgNoSerial + serial + " gefunden.";
        return nullptr;
    }
    std::string list;
    for (const std::string& s : seen) list += (list.empty() ? "" : "\n") + s;
    if (unopened) list += (list.empty() ? "" : "\n") + std::string("(ein weiteres Gerät ist belegt)");
    error = kMsgSeveral + list + kMsgSeveralEnd;
    return nullptr;
}

void closeMtpDevice(MtpDevice* device) {
    if (!device) return;
    if (device->mtp) LIBMTP_Release_Device(device->mtp);
    delete device;
}

std::string mtpSerialNumber(const MtpDevice* device) { return device->serial; }
std::string mtpModelName(const MtpDevice* device) { return device->model; }

std::vector<MtpGarminRoot> mtpGarminRoots(MtpDevice* device, std::string& error) {
    std::vector<MtpGarminRoot> out;
    device->roots.clear();
    LIBMTP_Clear_Errorstack(device->mtp);
    if (LIBMTP_Get_Storage(device->mtp, LIBMTP_STORAGE_SORTBY_NOTSORTED) != 0) {
        LIBMTP_Clear_Errorstack(device->mtp);
        error = std::string("Fehler beim Lesen der Speicher des GPS-Geräts (MTP).") + kMsgBroken;
        return out;
    }
    for (LIBMTP_devicestorage_t* st = device->mtp->storage; st; st = st->next) {
        auto state = std::make_unique<MtpRootState>();
        state->device = device;
        state->storage = st->id;
        // Garmin/ at the root, else one folder deeper (Primary/GARMIN).
        std::vector<std::pair<uint32_t, std::string>> candidates = {{LIBMTP_FILES_AND_FOLDERS_ROOT, ""}};
        std::vector<Entry>* top = nullptr;
        if (!listFolder(*state, LIBMTP_FILES_AND_FOLDERS_ROOT, top)) continue;
        if (!findEntry(*top, "Garmin", true))
            for (const Entry& e : *top)
                if (e.file.folder) candidates.push_back({e.id, e.file.name});
        for (const auto& [folderId, folderName] : candidates) {
            state->folderId = folderId;
            std::string ignored;
            uint32_t garmin = 0;
            if (!resolveFolder(*state, "Garmin", garmin, ignored)) continue;
            std::vector<Entry>* entries = nullptr;
            if (!listFolder(*state, garmin, entries)) continue;
            const Entry* xml = findEntry(*entries, "GarminDevice.xml", false);
            if (!xml) continue;
            const Entry* g = findEntry(state->listings[folderId], "Garmin", true);
            MtpGarminRoot root;
            root.storageId = st->id;
            root.storageName = st->StorageDescription ? st->StorageDescription : "";
            root.folder = folderName;
            root.xmlPath = (g ? g->file.name : std::string("Garmin")) + "/" + xml->file.name;
            root.files = {state.get(), "MTP", mtpList, mtpRead, mtpStore};
            out.push_back(root);
            device->roots.push_back(std::move(state));
            break;
        }
    }
    if (out.empty()) error = kMsgNoXml;
    return out;
}

namespace {

std::string chosenSerial;
MtpDevice* openedDevice = nullptr;
DriveDevice openedDescription;
std::vector<MtpGarminRoot> openedRoots;
std::string openedLabel;

// The XML read by the drive's parser: it takes a root directory, so the
// bytes go to a private temporary one for the time of the reading.
std::string parseGarminDevice(const std::string& xml, DriveDevice& device) {
    const char* tmp = std::getenv("TMPDIR");
    std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/wegmate-mtp-XXXXXX";
    if (!mkdtemp(root.data())) return "Fehler beim Lesen der Gerätebeschreibung GarminDevice.xml.";
    const std::string dir = root + "/Garmin", file = dir + "/GarminDevice.xml";
    std::string error = "Fehler beim Lesen der Gerätebeschreibung GarminDevice.xml.";
    if (mkdir(dir.c_str(), 0700) == 0) {
        if (FILE* f = std::fopen(file.c_str(), "wb")) {
            const bool written = std::fwrite(xml.data(), 1, xml.size(), f) == xml.size();
            if (std::fclose(f) == 0 && written) error = readGarminDevice(root, device);
            unlink(file.c_str());
        }
        rmdir(dir.c_str());
    }
    rmdir(root.c_str());
    return error;
}

}  // namespace

void setMtpSerial(const std::string& serial) { chosenSerial = serial; }

int openMtpPort() {
    closeMtpPort();
    std::string error;
    openedDevice = openMtpDevice(chosenSerial, error);
    if (!openedDevice) {
        showError(error.c_str());
        return 0;
    }
    openedRoots = mtpGarminRoots(openedDevice, error);
    std::string xml;
    if (!openedRoots.empty()) {
        DeviceFiles& f = openedRoots.front().files;
        if (f.read(f.handle, openedRoots.front().xmlPath, xml, error)) error = parseGarminDevice(xml, openedDescription);
    }
    if (!error.empty()) {
        showError(error.c_str());
        closeMtpPort();
        return 0;
    }
    const MtpGarminRoot& root = openedRoots.front();
    openedLabel = mtpModelName(openedDevice) + " (Seriennummer " + mtpSerialNumber(openedDevice) + "), " +
                  root.storageName + (root.folder.empty() ? "" : ", " + root.folder);
    openedDescription.mountPoint = "MTP: " + openedLabel;
    return 1;
}

void closeMtpPort() {
    openedRoots.clear();
    openedDescription = DriveDevice();
    closeMtpDevice(openedDevice);
    openedDevice = nullptr;
}

const DriveDevice& openedMtpUnit() { return openedDescription; }
const std::vector<MtpGarminRoot>& openedMtpRoots() { return openedRoots; }

std::string mtpDescriptionText() {
    // The drive's text, with the unit in its first line instead of a
    // mount point.
    std::string text = driveDescriptionText(openedDescription);
    const size_t end = text.find("\r\n");
    return "Garmin-Gerät (MTP): " + openedLabel + text.substr(end == std::string::npos ? text.size() : end);
}
