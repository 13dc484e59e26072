// The MTP unit's operations. Containers are little endian: length (4),
// type (2: 1 command, 2 data, 3 response), code (2), transaction id (4),
// then parameters or the data set.

#include "sim/mtp_responder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum : uint16_t {
    kGetDeviceInfo = 0x1001,
    kOpenSession = 0x1002,
    kCloseSession = 0x1003,
    kGetStorageIds = 0x1004,
    kGetStorageInfo = 0x1005,
    kGetObjectHandles = 0x1007,
    kGetObjectInfo = 0x1008,
    kGetObject = 0x1009,
    kDeleteObject = 0x100b,
    kSendObjectInfo = 0x100c,
    kSendObject = 0x100d,
    kGetDevicePropDesc = 0x1014,
    kGetDevicePropValue = 0x1015,
    kGetPartialObject = 0x101b,
    kGetObjectPropsSupported = 0x9801,
    kGetObjectPropDesc = 0x9802,
    kGetObjectPropValue = 0x9803,
    kGetObjectPropList = 0x9805,
};

enum : uint16_t {
    kOk = 0x2001,
    kGeneralError = 0x2002,
    kSessionNotOpen = 0x2003,
    kOperationNotSupported = 0x2005,
    kInvalidStorageId = 0x2008,
    kInvalidObjectHandle = 0x2009,
    kDevicePropNotSupported = 0x200a,
    kStoreFull = 0x200c,
    kNoValidObjectInfo = 0x2015,
    kDeviceBusy = 0x2019,
    kInvalidParentObject = 0x201a,
    kSessionAlreadyOpen = 0x201e,
    kInvalidObjectPropCode = 0xa801,
};

enum : uint16_t {
    kPropStorageId = 0xdc01,
    kPropObjectFormat = 0xdc02,
    kPropProtectionStatus = 0xdc03,
    kPropObjectSize = 0xdc04,
    kPropFileName = 0xdc07,
    kPropDateModified = 0xdc09,
    kPropParentObject = 0xdc0b,
    kPropName = 0xdc44,
    kDevicePropFriendlyName = 0xd402,
};

enum : uint16_t { kTypeU16 = 0x0004, kTypeU32 = 0x0006, kTypeU64 = 0x0008, kTypeString = 0xffff };

constexpr uint16_t kFormatUndefined = 0x3000;
constexpr uint16_t kFormatFolder = 0x3001;

const uint16_t kObjectProps[] = {kPropStorageId,  kPropObjectFormat,  kPropProtectionStatus, kPropObjectSize,
                                 kPropFileName,   kPropDateModified, kPropParentObject,     kPropName};

struct Writer {
    std::vector<uint8_t> b;
    void u8(uint8_t v) { b.push_back(v); }
    void u16(uint16_t v) {
        u8(v & 0xff);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    }
    void u64(uint64_t v) {
        u32((uint32_t)v);
        u32((uint32_t)(v >> 32));
    }
    // A PTP string: the count of UTF-16 units with the terminating zero,
    // then the units; an empty string is the count 0 alone. The names here
    // are ASCII or Latin-1.
    void str(const std::string& s) {
        if (s.empty()) {
            u8(0);
            return;
        }
        std::u16string units;
        for (size_t i = 0; i < s.size(); i++) {
            unsigned char c = (unsigned char)s[i];
            if (c >= 0xc0 && c < 0xe0 && i + 1 < s.size()) {
                units.push_back((char16_t)(((c & 0x1f) << 6) | ((unsigned char)s[++i] & 0x3f)));
            } else {
                units.push_back(c);
            }
        }
        u8((uint8_t)(units.size() + 1));
        for (char16_t c : units) u16(c);
        u16(0);
    }
    void u16s(const std::vector<uint16_t>& v) {
        u32((uint32_t)v.size());
        for (uint16_t x : v) u16(x);
    }
    void u32s(const std::vector<uint32_t>& v) {
        u32((uint32_t)v.size());
        for (uint32_t x : v) u32(x);
    }
};

struct Reader {
    const std::vector<uint8_t>& b;
    size_t at;
    bool bad = false;
    uint32_t get(int n) {
        if (at + n > b.size()) {
            bad = true;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < n; i++) v |= (uint32_t)b[at + i] << (8 * i);
        at += n;
        return v;
    }
    uint16_t u16() { return (uint16_t)get(2); }
    uint32_t u32() { return get(4); }
    std::string str() {
        unsigned n = get(1);
        std::string out;
        for (unsigned i = 0; i < n; i++) {
            uint16_t c = u16();
            if (c == 0) continue;
            if (c < 0x80) {
                out.push_back((char)c);
            } else if (c < 0x800) {
                out.push_back((char)(0xc0 | (c >> 6)));
                out.push_back((char)(0x80 | (c & 0x3f)));
            } else {
                out.push_back('?');
            }
        }
        return out;
    }
};

std::string isoTime(time_t t) {
    struct tm tmv;
    gmtime_r(&t, &tmv);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &tmv);
    return text;
}

std::string baseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

uint16_t formatOf(const std::string& name, bool folder) {
    if (folder) return kFormatFolder;
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return (char)std::tolower(c); });
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".xml") == 0) return 0xba82;  // XML document
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".txt") == 0) return 0x3004;  // text
    return kFormatUndefined;
}

}  // namespace

MtpResponder::MtpResponder(const MtpUnitConfig& config) : config_(config), busyLeft_(config.busyOpens) { scan(); }

uint32_t MtpResponder::handleFor(int storage, const std::string& relative, uint32_t parent, bool folder) {
    const std::string key = std::to_string(storage) + ":" + relative;
    auto it = handleOfPath_.find(key);
    uint32_t handle = it == handleOfPath_.end() ? nextHandle_++ : it->second;
    handleOfPath_[key] = handle;
    Object& o = objects_[handle];
    o.storage = storage;
    o.path = relative;
    o.parent = parent;
    o.folder = folder;
    o.format = formatOf(relative, folder);
    return handle;
}

void MtpResponder::scanFolder(int storage, const std::string& relative, uint32_t parent) {
    const std::string dir = config_.storages[storage].directory + (relative.empty() ? "" : "/" + relative);
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        const std::string child = relative.empty() ? n : relative + "/" + n;
        struct stat st;
        if (stat((dir + "/" + n).c_str(), &st) != 0) continue;
        const bool folder = S_ISDIR(st.st_mode);
        uint32_t h = handleFor(storage, child, parent, folder);
        if (folder) scanFolder(storage, child, h);
    }
}

// Takes the storages' contents as they are on disk now.
void MtpResponder::scan() {
    objects_.clear();
    for (size_t s = 0; s < config_.storages.size(); s++) scanFolder((int)s, "", 0);
    // Forget paths that went away.
    for (auto it = handleOfPath_.begin(); it != handleOfPath_.end();) {
        if (!objects_.count(it->second))
            it = handleOfPath_.erase(it);
        else
            ++it;
    }
}

std::string MtpResponder::fullPath(const Object& o) const {
    return config_.storages[o.storage].directory + "/" + o.path;
}

void MtpResponder::reset() {
    sessionOpen_ = false;
    awaitingData_ = false;
    dataPhase_.clear();
    bulkIn_.clear();
    bulkInNext_ = 0;
}

bool MtpResponder::takeBulkIn(std::vector<uint8_t>& container) {
    if (bulkInNext_ >= bulkIn_.size()) {
        bulkIn_.clear();
        bulkInNext_ = 0;
        return false;
    }
    container = std::move(bulkIn_[bulkInNext_++]);
    return true;
}

void MtpResponder::respond(uint16_t code, uint32_t transaction, const std::vector<uint32_t>& params) {
    Writer w;
    w.u32((uint32_t)(12 + 4 * params.size()));
    w.u16(3);
    w.u16(code);
    w.u32(transaction);
    for (uint32_t p : params) w.u32(p);
    bulkIn_.push_back(std::move(w.b));
}

void MtpResponder::sendData(uint16_t code, uint32_t transaction, const std::vector<uint8_t>& payload) {
    Writer w;
    w.u32((uint32_t)(12 + payload.size()));
    w.u16(2);
    w.u16(code);
    w.u32(transaction);
    w.b.insert(w.b.end(), payload.begin(), payload.end());
    bulkIn_.push_back(std::move(w.b));
}

void MtpResponder::bulkOut(const uint8_t* data, size_t size) {
    if (gone_ || size == 0) return;  // a zero-length packet ends a data phase
    if (awaitingData_) {
        if (dataPhase_.empty() && size >= 12) dataLength_ = data[0] | data[1] << 8 | data[2] << 16 | (uint32_t)data[3] << 24;
        dataPhase_.insert(dataPhase_.end(), data, data + size);
        if (dataPhase_.size() >= dataLength_) {
            awaitingData_ = false;
            std::vector<uint8_t> payload(dataPhase_.begin() + 12, dataPhase_.end());
            dataPhase_.clear();
            withData(pendingCode_, pendingTransaction_, pendingParams_, payload);
        }
        return;
    }
    std::vector<uint8_t> b(data, data + size);
    Reader r{b, 0};
    const uint32_t length = r.u32();
    const uint16_t type = r.u16();
    const uint16_t code = r.u16();
    const uint32_t transaction = r.u32();
    if (r.bad || type != 1 || length > size) return;  // not a command: dropped
    std::vector<uint32_t> params;
    while (r.at + 4 <= length) params.push_back(r.u32());
    operations_.push_back(code);
    const bool transfer = code == kGetObject || code == kGetPartialObject || code == kSendObject;
    pulling_ = transfer && sessionOpen_ && transfers_++ == config_.unplugAfterTransfers;
    if (pulling_ && code != kSendObject) {
        // Half of the object leaves before the unit goes away.
        command(code, transaction, params);
        if (!bulkIn_.empty() && bulkIn_.front()[4] == 2) {
            std::vector<uint8_t>& data = bulkIn_.front();
            data.resize(12 + (data.size() - 12) / 2);
        }
        bulkIn_.resize(std::min<size_t>(bulkIn_.size(), 1));
        gone_ = true;
        return;
    }
    if (code == kSendObjectInfo || code == kSendObject) {
        awaitingData_ = true;
        pendingCode_ = code;
        pendingTransaction_ = transaction;
        pendingParams_ = params;
        dataPhase_.clear();
        dataLength_ = 12;
        return;
    }
    command(code, transaction, params);
}

bool MtpResponder::objectPropValue(uint32_t handle, uint16_t prop, std::vector<uint8_t>& out, uint16_t& type) {
    auto it = objects_.find(handle);
    if (it == objects_.end()) return false;
    const Object& o = it->second;
    struct stat st = {};
    stat(fullPath(o).c_str(), &st);
    Writer w;
    switch (prop) {
    case kPropStorageId: type = kTypeU32, w.u32((uint32_t)((o.storage + 1) << 16 | 1)); break;
    case kPropObjectFormat: type = kTypeU16, w.u16(o.format); break;
    case kPropProtectionStatus: type = kTypeU16, w.u16(0); break;
    case kPropObjectSize: type = kTypeU64, w.u64(o.folder ? 0 : (uint64_t)st.st_size); break;
    case kPropFileName:
    case kPropName: type = kTypeString, w.str(baseName(o.path)); break;
    case kPropDateModified: type = kTypeString, w.str(isoTime(st.st_mtime)); break;
    case kPropParentObject: type = kTypeU32, w.u32(o.parent); break;
    default: return false;
    }
    out = std::move(w.b);
    return true;
}

void MtpResponder::command(uint16_t code, uint32_t transaction, const std::vector<uint32_t>& params) {
    auto param = [&](size_t i) { return i < params.size() ? params[i] : 0u; };
    if (code == kGetDeviceInfo) {
        Writer w;
        w.u16(100);
        w.u32(6);  // Microsoft's extension
        w.u16(100);
        w.str("microsoft.com: 1.0;");
        w.u16(0);
        std::vector<uint16_t> ops = {kGetDeviceInfo,    kOpenSession,       kCloseSession,    kGetStorageIds,
                                     kGetStorageInfo,   kGetObjectHandles,  kGetObjectInfo,   kGetObject,
                                     kDeleteObject,     kSendObjectInfo,    kSendObject,      kGetDevicePropDesc,
                                     kGetDevicePropValue, kGetPartialObject, kGetObjectPropsSupported,
                                     kGetObjectPropDesc, kGetObjectPropValue};
        if (config_.objectPropList) ops.push_back(kGetObjectPropList);
        w.u16s(ops);
        w.u16s({0x4002, 0x4003, 0x4004});  // object added, removed, store added
        w.u16s({kDevicePropFriendlyName});
        w.u16s({});
        w.u16s({kFormatUndefined, kFormatFolder, 0x3004, 0xba82});
        w.str(config_.manufacturer);
        w.str(config_.model);
        w.str(config_.version);
        w.str(config_.serial);
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    if (code == kOpenSession) {
        if (busyLeft_ > 0) {
            busyLeft_--;
            respond(kDeviceBusy, transaction);
            return;
        }
        if (sessionOpen_) {
            respond(kSessionAlreadyOpen, transaction, {1});
            return;
        }
        sessionOpen_ = true;
        scan();
        respond(kOk, transaction);
        return;
    }
    if (!sessionOpen_) {
        respond(kSessionNotOpen, transaction);
        return;
    }
    switch (code) {
    case kCloseSession: sessionOpen_ = false; respond(kOk, transaction); return;
    case kGetStorageIds: {
        Writer w;
        std::vector<uint32_t> ids;
        for (size_t s = 0; s < config_.storages.size(); s++) ids.push_back((uint32_t)((s + 1) << 16 | 1));
        w.u32s(ids);
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetStorageInfo: {
        const uint32_t id = param(0);
        const size_t s = (id >> 16) - 1;
        if ((id & 0xffff) != 1 || s >= config_.storages.size()) {
            respond(kInvalidStorageId, transaction);
            return;
        }
        const MtpStorageSpec& spec = config_.storages[s];
        Writer w;
        w.u16(spec.removable ? 4 : 3);
        w.u16(2);  // generic hierarchical
        w.u16(0);  // read and write
        w.u64(spec.capacity);
        w.u64(spec.capacity / 2);
        w.u32(0xffffffff);
        w.str(spec.description);
        w.str("");
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetObjectHandles: {
        const uint32_t storage = param(0), parent = param(2);
        std::vector<uint32_t> handles;
        for (const auto& [h, o] : objects_) {
            if (storage != 0xffffffff && storage != 0 && (uint32_t)((o.storage + 1) << 16 | 1) != storage) continue;
            if (parent == 0xffffffff ? o.parent != 0 : parent != 0 && o.parent != parent) continue;
            handles.push_back(h);
        }
        if (parent != 0 && parent != 0xffffffff && !objects_.count(parent)) {
            respond(kInvalidParentObject, transaction);
            return;
        }
        Writer w;
        w.u32s(handles);
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetObjectInfo: {
        auto it = objects_.find(param(0));
        if (it == objects_.end()) {
            respond(kInvalidObjectHandle, transaction);
            return;
        }
        const Object& o = it->second;
        struct stat st = {};
        stat(fullPath(o).c_str(), &st);
        Writer w;
        w.u32((uint32_t)((o.storage + 1) << 16 | 1));
        w.u16(o.format);
        w.u16(0);
        w.u32(o.folder ? 0 : (uint32_t)std::min<uint64_t>((uint64_t)st.st_size, 0xffffffffu));
        w.u16(0);
        for (int i = 0; i < 6; i++) w.u32(0);  // thumbnail and image fields
        w.u32(o.parent);
        w.u16(o.folder ? 1 : 0);  // generic folder
        w.u32(0);
        w.u32(0);
        w.str(baseName(o.path));
        w.str("");
        w.str(isoTime(st.st_mtime));
        w.str("");
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetObject:
    case kGetPartialObject: {
        auto it = objects_.find(param(0));
        if (it == objects_.end() || it->second.folder) {
            respond(kInvalidObjectHandle, transaction);
            return;
        }
        std::vector<uint8_t> bytes;
        if (FILE* f = fopen(fullPath(it->second).c_str(), "rb")) {
            uint8_t buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
            fclose(f);
        } else {
            respond(kGeneralError, transaction);
            return;
        }
        if (code == kGetPartialObject) {
            const size_t from = std::min<size_t>(param(1), bytes.size());
            const size_t n = std::min<size_t>(param(2), bytes.size() - from);
            bytes = std::vector<uint8_t>(bytes.begin() + (long)from, bytes.begin() + (long)(from + n));
            sendData(code, transaction, bytes);
            respond(kOk, transaction, {(uint32_t)n});
            return;
        }
        sendData(code, transaction, bytes);
        respond(kOk, transaction);
        return;
    }
    case kDeleteObject: {
        auto it = objects_.find(param(0));
        if (it == objects_.end()) {
            respond(kInvalidObjectHandle, transaction);
            return;
        }
        const std::string path = fullPath(it->second);
        if ((it->second.folder ? rmdir(path.c_str()) : unlink(path.c_str())) != 0) {
            respond(kGeneralError, transaction);
            return;
        }
        scan();
        respond(kOk, transaction);
        return;
    }
    case kGetDevicePropDesc:
    case kGetDevicePropValue: {
        if (param(0) != kDevicePropFriendlyName) {
            respond(kDevicePropNotSupported, transaction);
            return;
        }
        Writer w;
        if (code == kGetDevicePropDesc) {
            w.u16(kDevicePropFriendlyName);
            w.u16(kTypeString);
            w.u8(0);  // read only
            w.str(config_.model);
            w.str(config_.model);
            w.u8(0);
        } else {
            w.str(config_.model);
        }
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetObjectPropsSupported: {
        Writer w;
        w.u16s(std::vector<uint16_t>(std::begin(kObjectProps), std::end(kObjectProps)));
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetObjectPropDesc: {
        const uint16_t prop = (uint16_t)param(0);
        if (std::find(std::begin(kObjectProps), std::end(kObjectProps), prop) == std::end(kObjectProps)) {
            respond(kInvalidObjectPropCode, transaction);
            return;
        }
        Writer w;
        w.u16(prop);
        uint16_t type = prop == kPropObjectSize ? kTypeU64
                        : prop == kPropObjectFormat || prop == kPropProtectionStatus
                            ? kTypeU16
                            : prop == kPropStorageId || prop == kPropParentObject ? kTypeU32 : kTypeString;
        w.u16(type);
        w.u8(prop == kPropFileName ? 1 : 0);
        if (type == kTypeU16) w.u16(0);
        if (type == kTypeU32) w.u32(0);
        if (type == kTypeU64) w.u64(0);
        if (type == kTypeString) w.str("");
        w.u32(0);  // group
        w.u8(0);   // no form
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    case kGetObjectPropValue: {
        std::vector<uint8_t> value;
        uint16_t type = 0;
        if (!objects_.count(param(0))) {
            respond(kInvalidObjectHandle, transaction);
            return;
        }
        if (!objectPropValue(param(0), (uint16_t)param(1), value, type)) {
            respond(kInvalidObjectPropCode, transaction);
            return;
        }
        sendData(code, transaction, value);
        respond(kOk, transaction);
        return;
    }
    case kGetObjectPropList: {
        if (!config_.objectPropList) break;
        const uint32_t handle = param(0), prop = param(2), depth = param(4);
        std::vector<uint32_t> handles;
        if (handle == 0xffffffff || handle == 0) {
            if (depth == 0xffffffff || handle == 0)
                for (const auto& [h, o] : objects_) handles.push_back(h);
            else if (depth == 1)
                for (const auto& [h, o] : objects_)
                    if (o.parent == 0) handles.push_back(h);
        } else {
            if (!objects_.count(handle)) {
                respond(kInvalidObjectHandle, transaction);
                return;
            }
            handles.push_back(handle);
            if (depth == 1)
                for (const auto& [h, o] : objects_)
                    if (o.parent == handle) handles.push_back(h);
        }
        Writer body;
        uint32_t count = 0;
        for (uint32_t h : handles) {
            for (uint16_t p : kObjectProps) {
                if (prop != 0xffffffff && prop != p) continue;
                std::vector<uint8_t> value;
                uint16_t type = 0;
                if (!objectPropValue(h, p, value, type)) continue;
                body.u32(h);
                body.u16(p);
                body.u16(type);
                body.b.insert(body.b.end(), value.begin(), value.end());
                count++;
            }
        }
        Writer w;
        w.u32(count);
        w.b.insert(w.b.end(), body.b.begin(), body.b.end());
        sendData(code, transaction, w.b);
        respond(kOk, transaction);
        return;
    }
    default: break;
    }
    respond(kOperationNotSupported, transaction);
}

void MtpResponder::withData(uint16_t code, uint32_t transaction, const std::vector<uint32_t>& params,
                            const std::vector<uint8_t>& data) {
    if (pulling_) {
        // Pulled out while the data came in: nothing is stored completely.
        if (code == kSendObject && sendTarget_ && objects_.count(sendTarget_)) {
            if (FILE* f = fopen(fullPath(objects_[sendTarget_]).c_str(), "wb")) {
                fwrite(data.data(), 1, data.size() / 2, f);
                fclose(f);
            }
        }
        gone_ = true;
        return;
    }
    if (!sessionOpen_) {
        respond(kSessionNotOpen, transaction);
        return;
    }
    auto param = [&](size_t i) { return i < params.size() ? params[i] : 0u; };
    if (code == kSendObjectInfo) {
        const uint32_t storageId = param(0) == 0 ? 0x00010001 : param(0);
        const size_t s = (storageId >> 16) - 1;
        if ((storageId & 0xffff) != 1 || s >= config_.storages.size()) {
            respond(kInvalidStorageId, transaction);
            return;
        }
        uint32_t parent = param(1) == 0xffffffff ? 0 : param(1);
        std::string dir;
        if (parent != 0) {
            auto it = objects_.find(parent);
            if (it == objects_.end() || !it->second.folder || it->second.storage != (int)s) {
                respond(kInvalidParentObject, transaction);
                return;
            }
            dir = it->second.path;
        }
        Reader r{data, 0};
        r.u32();
        const uint16_t format = r.u16();
        r.u16();
        r.u32();  // size
        r.u16();
        for (int i = 0; i < 6; i++) r.u32();
        r.u32();
        r.u16();
        r.u32();
        r.u32();
        const std::string name = r.str();
        if (r.bad || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
            respond(kNoValidObjectInfo, transaction);
            return;
        }
        if (config_.storeFull == MtpUnitConfig::StoreFull::AtInfo) {
            respond(kStoreFull, transaction);
            return;
        }
        const std::string relative = dir.empty() ? name : dir + "/" + name;
        const std::string path = config_.storages[s].directory + "/" + relative;
        const bool folder = format == kFormatFolder;
        // The object exists from now on, empty until SendObject fills it.
        if (folder ? mkdir(path.c_str(), 0755) != 0 : false) {
            respond(kGeneralError, transaction);
            return;
        }
        if (!folder) {
            FILE* f = fopen(path.c_str(), "wb");
            if (!f) {
                respond(kGeneralError, transaction);
                return;
            }
            fclose(f);
        }
        const uint32_t handle = handleFor((int)s, relative, parent, folder);
        sendTarget_ = folder ? 0 : handle;
        respond(kOk, transaction, {storageId, parent == 0 ? 0xffffffff : parent, handle});
        return;
    }
    // SendObject
    if (!sendTarget_ || !objects_.count(sendTarget_)) {
        respond(kNoValidObjectInfo, transaction);
        return;
    }
    const bool full = config_.storeFull == MtpUnitConfig::StoreFull::AtData;
    FILE* f = fopen(fullPath(objects_[sendTarget_]).c_str(), "wb");
    if (!f) {
        respond(kGeneralError, transaction);
        return;
    }
    const size_t n = full ? data.size() / 2 : data.size();
    const bool written = fwrite(data.data(), 1, n, f) == n;
    fclose(f);
    sendTarget_ = 0;
    respond(full ? kStoreFull : written ? kOk : kGeneralError, transaction);
}
