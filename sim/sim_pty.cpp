// The simulator on a pseudo terminal: DLE framing, ACK/NAK, pacing and the
// byte faults of the serial line.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "sim/sim_impl.h"

namespace {

constexpr uint8_t kDle = 16;
constexpr uint8_t kEtx = 3;
constexpr int kAckWaitMs = 4000;
constexpr int kSendAttempts = 3;
constexpr int kNakLimit = 20;
// 10 bits per byte at 9600 baud, in each direction.
constexpr auto kByteTime = std::chrono::microseconds(1042);

uint8_t checksumOf(uint8_t id, const std::vector<uint8_t>& data) {
    unsigned sum = id + (unsigned)data.size();
    for (uint8_t b : data) sum += b;
    return (uint8_t)(0x100 - (sum & 0xFF));
}

}  // namespace

std::string Simulator::startPty(const std::string& linkPath) {
    stop();
    SimPty& im = impl_->pty;
    int master = -1, slave = -1;
    char name[256];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return "";
    struct termios tio;
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    im.master = master;
    im.slave = slave;
    im.byteIndex = 0;
    im.inBuffer.clear();
    im.inPos = 0;
    im.inTimed = false;
    im.hostWireNext = SimClock::time_point();
    im.havePending = false;
    im.engine.silenceStarted = false;
    {
        std::lock_guard<std::mutex> lock(im.engine.mutex);
        im.engine.hostIds.clear();
    }
    hostPackets_ = 0;
    productRequests_ = 0;
    bytesSent_ = 0;
    bytesReceived_ = 0;
    slavePath_ = name;
    if (!linkPath.empty()) {
        unlink(linkPath.c_str());
        if (symlink(name, linkPath.c_str()) == 0) linkPath_ = linkPath;
    }
    im.draining = false;
    im.finished = false;
    im.running = true;
    im.thread = std::thread([&im] { im.serve(); });
    return slavePath_;
}

void Simulator::stop() {
    SimPty& im = impl_->pty;
    if (im.thread.joinable()) {
        // Packets the host wrote before it closed the line (such as the
        // transfer complete of an upload, which gets no answer awaited) are
        // still handled.
        im.draining = true;
        SimClock::time_point limit = SimClock::now() + std::chrono::milliseconds(2000);
        while (!im.finished && SimClock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        im.running = false;
        im.thread.join();
    }
    im.running = false;
    if (im.master >= 0) close(im.master);
    if (im.slave >= 0) close(im.slave);
    im.master = im.slave = -1;
    if (!linkPath_.empty()) {
        unlink(linkPath_.c_str());
        linkPath_.clear();
    }
}

void SimPty::quietFor(int ms) {
    SimClock::time_point until = SimClock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    while (running && !draining && (ms < 0 || SimClock::now() < until))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int SimPty::readRawByte(uint8_t& byte, SimClock::time_point deadline) {
    for (;;) {
        if (inPos < inBuffer.size()) {
            if (sim.pacing && !draining) {
                // The host's bytes take their time on the line too: a byte
                // is there one byte time after the previous one, and no
                // earlier than one byte time after it was written.
                if (!inTimed) {
                    inDue = (hostWireNext > inArrival ? hostWireNext : inArrival) + kByteTime;
                    inTimed = true;
                }
                if (inDue > deadline) {
                    std::this_thread::sleep_until(deadline);
                    return 0;
                }
                std::this_thread::sleep_until(inDue);
                hostWireNext = inDue;
                inTimed = false;
            }
            byte = inBuffer[inPos++];
            return 1;
        }
        inBuffer.clear();
        inPos = 0;
        if (!running) return 0;
        SimClock::time_point now = SimClock::now();
        // While stopping, only what is already in the line counts.
        if (draining && deadline > now + std::chrono::milliseconds(50)) deadline = now + std::chrono::milliseconds(50);
        if (now >= deadline) return 0;
        long wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        if (wait > 50) wait = 50;
        if (wait < 1) wait = 1;
        struct pollfd pfd = {master, POLLIN, 0};
        int r = poll(&pfd, 1, (int)wait);
        if (r <= 0) continue;
        uint8_t chunk[512];
        ssize_t n = read(master, chunk, sizeof chunk);
        if (n > 0) {
            sim.bytesReceived_ += n;
            inBuffer.assign(chunk, chunk + n);
            inArrival = SimClock::now();
            inTimed = false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

int SimPty::readFrame(SimPacket& out, SimClock::time_point deadline, uint8_t& badId) {
    uint8_t b = 0;
    for (;;) {
        // Look for the leading DLE; anything else is line noise.
        if (!readRawByte(b, deadline)) return 0;
        if (b != kDle) continue;
        // A frame once begun is read to its end, even on a paced line
        // where it takes longer than the caller meant to wait for one.
        const SimClock::time_point frameEnd = SimClock::now() + std::chrono::milliseconds(1000);
        if (deadline < frameEnd) deadline = frameEnd;
        if (!readRawByte(b, deadline)) return 0;
        if (b == kEtx || b == kDle) continue;  // the tail of a frame, or a stray pair
        uint8_t id = b;
        bool broken = false;
        auto unstuffed = [&](uint8_t& v) -> bool {
            if (!readRawByte(v, deadline)) return false;
            if (v == kDle) {
                uint8_t second = 0;
                if (!readRawByte(second, deadline)) return false;
                if (second != kDle) broken = true;
            }
            return true;
        };
        uint8_t size = 0;
        if (!unstuffed(size)) return 0;
        if (broken) continue;
        std::vector<uint8_t> data;
        for (int i = 0; i < size && !broken; i++) {
            uint8_t v;
            if (!unstuffed(v)) return 0;
            data.push_back(v);
        }
        if (broken) continue;
        uint8_t sum = 0;
        if (!unstuffed(sum)) return 0;
        if (broken) continue;
        uint8_t dle = 0, etx = 0;
        if (!readRawByte(dle, deadline) || !readRawByte(etx, deadline)) return 0;
        if (dle != kDle || etx != kEtx) continue;
        if (sum != checksumOf(id, data)) {
            badId = id;
            return -1;
        }
        out.id = id;
        out.data = data;
        return 1;
    }
}

void SimPty::writeFrame(const SimPacket& packet) {
    std::vector<uint8_t> raw;
    raw.push_back(kDle);
    raw.push_back(packet.id);
    auto stuffed = [&](uint8_t v) {
        raw.push_back(v);
        if (v == kDle) raw.push_back(kDle);
    };
    stuffed((uint8_t)packet.data.size());
    for (uint8_t b : packet.data) stuffed(b);
    stuffed(checksumOf(packet.id, packet.data));
    raw.push_back(kDle);
    raw.push_back(kEtx);

    const SimFaults& f = sim.faults;
    std::vector<uint8_t> wire;
    for (uint8_t b : raw) {
        long index = byteIndex++;
        if (index == f.dropByteAt) continue;
        if (index == f.corruptByteAt) b ^= 0xFF;
        wire.push_back(b);
    }
    auto put = [&](const uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t w = write(master, p, n);
            if (w > 0) {
                p += w;
                n -= (size_t)w;
                sim.bytesSent_ += w;
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    };
    if (!sim.pacing) {
        put(wire.data(), wire.size());
        return;
    }
    // A byte reaches the host when its last bit has gone out.
    for (uint8_t b : wire) {
        SimClock::time_point now = SimClock::now();
        if (wireNext < now) wireNext = now;
        wireNext += kByteTime;
        std::this_thread::sleep_until(wireNext);
        put(&b, 1);
    }
}

void SimPty::sendAck(uint8_t id) { writeFrame(SimPacket{6, {id, 0}}); }

void SimPty::sendNak(uint8_t id) { writeFrame(SimPacket{21, {id, 0}}); }

bool SimPty::sendAwait(const SimPacket& packet) {
    if (draining) return false;  // nobody waits for more data
    int naks = 0;
    for (int attempt = 0; attempt < kSendAttempts && running;) {
        writeFrame(packet);
        SimClock::time_point deadline = SimClock::now() + std::chrono::milliseconds(kAckWaitMs);
        bool resend = false;
        while (running && !resend) {
            if (draining) return false;
            SimPacket in;
            uint8_t bad = 0;
            int r = readFrame(in, deadline, bad);
            if (r == 0) break;  // no answer in time
            if (r < 0) continue;
            engine.noteHostId(in.id);
            if (in.id == 6) {
                if (in.data.empty() || in.data[0] == packet.id) return true;
                continue;  // an ACK of something else (e.g. of packet 248)
            }
            if (in.id == 21) {
                if (++naks > kNakLimit) return false;
                resend = true;
                continue;
            }
            pending = in;  // the host has moved on
            havePending = true;
            return false;
        }
        if (!resend) attempt++;
    }
    // Nobody took the data: drop what still waits in the line.
    if (slave >= 0) tcflush(slave, TCIFLUSH);
    return false;
}

void SimPty::serve() {
    wireNext = SimClock::now();
    while (running) {
        SimPacket in;
        if (havePending) {
            in = pending;
            havePending = false;
        } else {
            uint8_t bad = 0;
            int r = readFrame(in, SimClock::now() + std::chrono::milliseconds(draining ? 50 : 200), bad);
            if (r == 0) {
                if (draining) break;
                continue;
            }
            if (r < 0) {
                engine.noteHostId(bad);
                sendNak(bad);
                continue;
            }
            engine.noteHostId(in.id);
        }
        handleSerial(in);
    }
    finished = true;
}

void SimPty::handleSerial(const SimPacket& in) {
    if (in.id == 6 || in.id == 21) return;  // nothing outstanding
    if (engine.countHostPacket(in.id)) {
        sendNak(in.id);
        return;
    }
    const SimFaults& f = sim.faults;
    if (in.id == 254) {
        if (engine.silencedAt(SimStage::ProductRequest)) return;
        sim.productRequests_++;
        sendAck(254);
        std::vector<SimPacket> answer = engine.productAnswer();
        for (const SimPacket& p : answer) {
            if (p.id == 255 && f.silenceStage == SimStage::ProductData) quietFor(f.silenceMs);
            if (p.id != 255 && f.silenceStage == SimStage::ProtocolArray) quietFor(f.silenceMs);
            if (!running) return;
            if (p.id == 248) {
                writeFrame(p);  // not acknowledged by every host
                continue;
            }
            if (!sendAwait(p)) return;
        }
        return;
    }
    if (in.id == 10) {
        if (engine.silencedAt(SimStage::Command)) return;
        int command = in.data.empty() ? -1 : in.data[0];
        sendAck(10);
        if (command == 7 || command == 4 || command == 6) {
            std::vector<SimPacket> seq = engine.downloadSequence(command);
            int record = 0;
            for (const SimPacket& p : seq) {
                if (engine.isDataRecord(p.id)) {
                    if (f.silenceStage == SimStage::Record && record == f.silenceRecord) quietFor(f.silenceMs);
                    record++;
                }
                if (!running || !sendAwait(p)) return;
            }
            return;
        }
        SimPacket answer;
        if (engine.otherAnswer(command, answer)) sendAwait(answer);
        return;
    }
    // Uploads are stored before the ACK goes out; anything unknown is
    // acknowledged too.
    if (engine.isUploadPacket(in.id)) engine.acceptUpload(in);
    sendAck(in.id);
}
