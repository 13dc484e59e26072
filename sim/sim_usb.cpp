// The simulator behind the USB driver seam, in-process: the host's calls are
// answered at once from queues filled when the host writes. A read with
// nothing queued stands for a wait that ran out (-1).

#include <cstring>

#include "sim/sim_impl.h"

namespace {

constexpr uint8_t kStrayId = 0x7F;

std::vector<uint8_t> usbBytes(uint8_t type, uint16_t id, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(12 + data.size(), 0);
    out[0] = type;
    out[4] = (uint8_t)id;
    out[5] = (uint8_t)(id >> 8);
    uint32_t n = (uint32_t)data.size();
    for (int i = 0; i < 4; i++) out[8 + i] = (uint8_t)(n >> (8 * i));
    if (!data.empty()) std::memcpy(out.data() + 12, data.data(), data.size());
    return out;
}

SimUsb* usbOf(void* context) { return static_cast<SimUsb*>(context); }

int driverOpen(void* context) {
    SimUsb* im = usbOf(context);
    if (im->sim.faults.usbAbsent) return 0;
    std::lock_guard<std::mutex> lock(im->engine.mutex);
    im->usbOpen = true;
    im->interruptQueue.clear();
    im->bulkQueue.clear();
    im->startSessionsSeen = 0;
    for (int i = 0; i < im->sim.faults.usbPendingAtOpen; i++)
        im->bulkQueue.push_back(usbBytes(20, 34, std::vector<uint8_t>(24, (uint8_t)i)));
    if (im->sim.faults.usbPendingAtOpen > 0) im->bulkQueue.push_back({});
    return 1;
}

void driverClose(void* context) {
    SimUsb* im = usbOf(context);
    std::lock_guard<std::mutex> lock(im->engine.mutex);
    im->usbOpen = false;
}

uint32_t driverPacketSize(void* context) { return usbOf(context)->sim.usbPacketSize; }

// Answers come at once: the time-out only matters when nothing is queued.
int driverInterruptRead(void* context, uint8_t* buffer, int capacity, unsigned) {
    return usbOf(context)->usbInterruptRead(buffer, capacity);
}

int driverBulkRead(void* context, uint8_t* buffer, int capacity, unsigned) {
    return usbOf(context)->usbBulkRead(buffer, capacity);
}

int driverBulkWrite(void* context, const uint8_t* buffer, int length) {
    return usbOf(context)->usbBulkWrite(buffer, length);
}

}  // namespace

UsbDriver Simulator::usbDriver() {
    impl_->usb.usbReset();
    return UsbDriver{driverOpen,     driverClose,     driverPacketSize, driverInterruptRead,
                     driverBulkRead, driverBulkWrite, &impl_->usb,      nullptr};
}

void SimUsb::usbReset() {
    std::lock_guard<std::mutex> lock(engine.mutex);
    usbOpen = false;
    usbReads = 0;
    interruptQueue.clear();
    bulkQueue.clear();
    usbWriteLog.clear();
    engine.hostIds.clear();
    engine.silenceStarted = false;
    sim.hostPackets_ = 0;
    sim.productRequests_ = 0;
}

// Caller holds the mutex.
void SimUsb::usbQueueAnswer(const std::vector<SimPacket>& packets) {
    const int strays = sim.faults.strayUsbPackets;
    if (sim.usbInterruptOnly) {
        auto queueChunks = [&](const std::vector<uint8_t>& bytes) {
            size_t at = 0;
            for (;;) {
                size_t n = bytes.size() - at < 64 ? bytes.size() - at : 64;
                interruptQueue.emplace_back(bytes.begin() + (long)at, bytes.begin() + (long)(at + n));
                at += n;
                if (n < 64) break;  // a short chunk (also an empty one) ends the packet
            }
        };
        for (const SimPacket& p : packets) {
            for (int s = 0; s < strays; s++) queueChunks(usbBytes(0, kStrayId, {}));
            queueChunks(usbBytes(20, p.id, p.data));
        }
        return;
    }
    if (sim.usbBurstPerPacket) {
        for (const SimPacket& p : packets) {
            interruptQueue.push_back(usbBytes(0, 2, {}));
            for (int s = 0; s < strays; s++) bulkQueue.push_back(usbBytes(0, kStrayId, {}));
            bulkQueue.push_back(usbBytes(20, p.id, p.data));
            bulkQueue.push_back({});
        }
        return;
    }
    interruptQueue.push_back(usbBytes(0, 2, {}));  // data available
    for (const SimPacket& p : packets) {
        for (int s = 0; s < strays; s++) bulkQueue.push_back(usbBytes(0, kStrayId, {}));
        bulkQueue.push_back(usbBytes(20, p.id, p.data));
    }
    bulkQueue.push_back({});  // end of the bulk data
}

int SimUsb::usbInterruptRead(uint8_t* buffer, int capacity) {
    std::lock_guard<std::mutex> lock(engine.mutex);
    usbReads++;
    const int unplug = sim.faults.usbUnplugAfterReads;
    if (!usbOpen || (unplug >= 0 && usbReads > unplug)) return -1;
    if (interruptQueue.empty()) return -1;
    std::vector<uint8_t> chunk = interruptQueue.front();
    interruptQueue.pop_front();
    int n = (int)chunk.size() < capacity ? (int)chunk.size() : capacity;
    if (n > 0) std::memcpy(buffer, chunk.data(), (size_t)n);
    return n;
}

int SimUsb::usbBulkRead(uint8_t* buffer, int capacity) {
    std::lock_guard<std::mutex> lock(engine.mutex);
    usbReads++;
    const int unplug = sim.faults.usbUnplugAfterReads;
    if (!usbOpen || (unplug >= 0 && usbReads > unplug)) return -1;
    if (bulkQueue.empty()) return -1;
    std::vector<uint8_t> packet = bulkQueue.front();
    bulkQueue.pop_front();
    int n = (int)packet.size() < capacity ? (int)packet.size() : capacity;
    if (n > 0) std::memcpy(buffer, packet.data(), (size_t)n);
    return n;
}

int Simulator::usbTakeChunk(bool bulk, std::vector<uint8_t>& chunk) {
    SimUsb& im = impl_->usb;
    std::lock_guard<std::mutex> lock(im.engine.mutex);
    std::deque<std::vector<uint8_t>>& queue = bulk ? im.bulkQueue : im.interruptQueue;
    const int unplug = faults.usbUnplugAfterReads;
    if (unplug >= 0 && im.usbReads >= unplug) return -1;
    if (!im.usbOpen || queue.empty()) return 0;
    im.usbReads++;
    chunk = queue.front();
    queue.pop_front();
    return 1;
}

int SimUsb::usbBulkWrite(const uint8_t* buffer, int length) {
    std::vector<SimPacket> answer;
    SimPacket in;
    bool application = false;
    {
        std::lock_guard<std::mutex> lock(engine.mutex);
        const int unplug = sim.faults.usbUnplugAfterReads;
        if (!usbOpen || (unplug >= 0 && usbReads > unplug)) return -1;
        usbWriteLog.emplace_back(buffer, buffer + length);
        if (length < 12) return length;
        uint8_t type = buffer[0];
        uint16_t id = (uint16_t)(buffer[4] | (buffer[5] << 8));
        uint32_t size = (uint32_t)buffer[8] | ((uint32_t)buffer[9] << 8) | ((uint32_t)buffer[10] << 16) |
                        ((uint32_t)buffer[11] << 24);
        if (size > (uint32_t)(length - 12)) size = (uint32_t)(length - 12);
        if (type == 0 && id == 5) {
            if (startSessionsSeen++ < sim.faults.usbLostStartSessions) return length;
            interruptQueue.push_back(usbBytes(0, 6, {0x78, 0x56, 0x34, 0x12}));
            return length;
        }
        if (type != 20) return length;
        in.id = (uint8_t)id;
        in.data.assign(buffer + 12, buffer + 12 + size);
        engine.hostIds.push_back(in.id);
        application = true;
    }
    if (!application) return length;
    sim.hostPackets_++;
    const SimFaults& f = sim.faults;
    if (in.id == 254) {
        if (engine.silencedAt(SimStage::ProductRequest) || f.silenceStage == SimStage::ProductData) return length;
        sim.productRequests_++;
        answer = engine.productAnswer();
        if (f.silenceStage == SimStage::ProtocolArray && answer.size() > 1) answer.resize(1);
    } else if (in.id == 10) {
        if (engine.silencedAt(SimStage::Command)) return length;
        int command = in.data.empty() ? -1 : in.data[0];
        if (command == 7 || command == 4 || command == 6) {
            answer = engine.downloadSequence(command);
            if (f.silenceStage == SimStage::Record) {
                // The receiver goes quiet before that record: nothing after it comes.
                std::vector<SimPacket> cut;
                int record = 0;
                for (const SimPacket& p : answer) {
                    if (engine.isDataRecord(p.id) && record++ == f.silenceRecord) break;
                    cut.push_back(p);
                }
                answer = cut;
            }
        } else {
            SimPacket other;
            if (engine.otherAnswer(command, other)) answer.push_back(other);
        }
    } else if (engine.isUploadPacket(in.id)) {
        engine.acceptUpload(in);
        return length;
    }
    if (!answer.empty()) {
        std::lock_guard<std::mutex> lock(engine.mutex);
        usbQueueAnswer(answer);
    }
    return length;
}
