#pragma once
// A Garmin unit that speaks MTP (PTP with Microsoft's extension), at the
// level of the bulk containers: the host's command and data containers go
// in, the unit's data and response containers come out. Its storages are
// directories on disk: every file and folder below one is an object, files
// the host sends are written there and objects it deletes are removed.
//
//   MtpUnitConfig unit;
//   unit.storages.push_back({dir.path, "Interner Speicher", false});
//   MtpResponder r(unit);
//   r.bulkOut(command.data(), command.size());
//   std::vector<uint8_t> container;
//   while (r.takeBulkIn(container)) ...
//
// Not thread safe: the USB layer (sim/usbdevfs_mtp.h) serialises the calls.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct MtpStorageSpec {
    std::string directory;    // the storage's contents
    std::string description;  // "Internal Storage", "SD Card"
    bool removable = false;
    uint64_t capacity = 4000000000ull;
};

struct MtpUnitConfig {
    uint16_t productId = 0x4cda;
    std::string manufacturer = "Garmin";
    std::string model = "GPSMAP 66sr";
    std::string version = "8.70";
    std::string serial = "0000003996";
    std::vector<MtpStorageSpec> storages;

    // Behaviours of real units:
    // GetObjectPropList is offered (newer firmware) or not.
    bool objectPropList = true;
    // OpenSession is answered with Device_Busy this many times first (a
    // unit that is still starting up after it was plugged in).
    int busyOpens = 0;
    // The interface cannot be claimed: another program holds it.
    bool claimedElsewhere = false;
    // Full store: SendObjectInfo answers Store_Full (AtInfo), or it takes
    // the object and SendObject stores only the first half of the data and
    // answers Store_Full (AtData): the partial object stays visible.
    enum class StoreFull { No, AtInfo, AtData } storeFull = StoreFull::No;
    // The unit is pulled out in the middle of the object transfer
    // (GetObject, GetPartialObject, SendObject) after this many complete
    // ones: half of the data passes, then the unit is gone. -1 = never.
    int unplugAfterTransfers = -1;
};

class MtpResponder {
  public:
    explicit MtpResponder(const MtpUnitConfig& config);

    // A bulk OUT transfer of the host (a zero-length one included).
    void bulkOut(const uint8_t* data, size_t size);
    // The next container the unit has for the host, whole; false when none.
    bool takeBulkIn(std::vector<uint8_t>& container);
    // The unit was pulled out (see unplugAfterTransfers).
    bool gone() const { return gone_; }
    // The host let go of the interface or reset the device: the session
    // ends and a half-received data phase is dropped.
    void reset();

    const MtpUnitConfig& config() const { return config_; }
    // The operation codes the host sent, in order.
    const std::vector<uint16_t>& operations() const { return operations_; }

  private:
    struct Object {
        int storage = 0;
        std::string path;  // relative to the storage's directory
        uint32_t parent = 0;
        bool folder = false;
        uint16_t format = 0x3000;
    };
    void scan();
    void scanFolder(int storage, const std::string& relative, uint32_t parent);
    uint32_t handleFor(int storage, const std::string& relative, uint32_t parent, bool folder);
    std::string fullPath(const Object& o) const;
    void command(uint16_t code, uint32_t transaction, const std::vector<uint32_t>& params);
    void withData(uint16_t code, uint32_t transaction, const std::vector<uint32_t>& params,
                  const std::vector<uint8_t>& data);
    void respond(uint16_t code, uint32_t transaction, const std::vector<uint32_t>& params = {});
    void sendData(uint16_t code, uint32_t transaction, const std::vector<uint8_t>& payload);
    bool objectPropValue(uint32_t handle, uint16_t prop, std::vector<uint8_t>& out, uint16_t& type);

    MtpUnitConfig config_;
    bool sessionOpen_ = false;
    bool gone_ = false;
    int busyLeft_ = 0;
    int transfers_ = 0;
    bool pulling_ = false;  // the unit goes away in this transfer
    std::vector<uint16_t> operations_;
    std::vector<std::vector<uint8_t>> bulkIn_;
    size_t bulkInNext_ = 0;
    // A command waiting for its data phase.
    bool awaitingData_ = false;
    uint16_t pendingCode_ = 0;
    uint32_t pendingTransaction_ = 0;
    std::vector<uint32_t> pendingParams_;
    std::vector<uint8_t> dataPhase_;
    uint32_t dataLength_ = 0;
    // Objects by handle; handles stay the same for a path while the
    // responder lives.
    std::map<uint32_t, Object> objects_;
    std::map<std::string, uint32_t> handleOfPath_;  // "storage:path"
    uint32_t nextHandle_ = 1;
    uint32_t sendTarget_ = 0;  // the object SendObjectInfo announced
};
