#include "tests/support/fake_serial_peer.h"

#include "link/link_clock.h"

namespace {

FakeSerialPeer* current = nullptr;

uint32_t fakeNow() { return current->look(); }
int fakeRead(uint8_t* byte) { return current->readByte(byte); }
int fakeWrite(uint8_t byte) { return current->writeByte(byte); }

const LinkIo fakeIo = {fakeNow, fakeRead, fakeWrite};

}  // namespace

std::vector<uint8_t> frame(uint8_t id, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {16, id};
    unsigned sum = id + (unsigned)data.size();
    auto stuffed = [&](uint8_t b) {
        out.push_back(b);
        if (b == 16) out.push_back(16);
    };
    stuffed((uint8_t)data.size());
    for (uint8_t b : data) {
        stuffed(b);
        sum += b;
    }
    stuffed((uint8_t)(0x100 - (sum & 0xFF)));
    out.push_back(16);
    out.push_back(3);
    return out;
}

std::vector<uint8_t> ackFrame(uint8_t id) { return frame(6, {id, 0}); }

FakeSerialPeer::FakeSerialPeer(FakeClock clock) : now(clock.startMs), startMs(clock.startMs), clock(clock) {
    current = this;
    installLinkIo(&fakeIo);
}

FakeSerialPeer::~FakeSerialPeer() {
    installLinkIo(nullptr);
    current = nullptr;
}

void FakeSerialPeer::feed(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) incoming.push_back(b);
}

void FakeSerialPeer::feedSilence(int reads) {
    for (int i = 0; i < reads; i++) incoming.push_back(-1);
}

void FakeSerialPeer::reset() {
    frames.clear();
    written.clear();
    incoming.clear();
    state_ = 0;
}

std::vector<uint8_t> FakeSerialPeer::takeWritten() {
    std::vector<uint8_t> w = written;
    written.clear();
    return w;
}

uint32_t FakeSerialPeer::look() {
    const uint32_t seen = now;
    now += clock.lookMs;
    return seen;
}

int FakeSerialPeer::readByte(uint8_t* byte) {
    if (incoming.empty() || incoming.front() < 0) {
        if (!incoming.empty()) incoming.pop_front();
        now += clock.emptyReadMs;
        emptyReads++;
        return 0;
    }
    *byte = (uint8_t)incoming.front();
    incoming.pop_front();
    now += clock.byteReadMs;
    return 1;
}

int FakeSerialPeer::writeByte(uint8_t byte) {
    const int call = writeCalls++;
    if ((failWritesFrom >= 0 && call >= failWritesFrom) || call < failFirstWrites) {
        now += (uint32_t)failedWriteAdvanceMs;
        return 0;
    }
    // The id is the second byte of a frame: refuse the frame from there on.
    if (failWritesOfId >= 0 && ((state_ == 1 && byte == failWritesOfId) || (state_ >= 2 && frameId_ == failWritesOfId)))
        return 0;
    written.push_back(byte);
    parse(byte);
    return 1;
}

void FakeSerialPeer::parse(uint8_t byte) {
    switch (state_) {
    case 0:
        if (byte == 16) state_ = 1;
        break;
    case 1:
        frameId_ = byte;
        body_.clear();
        skipDle_ = false;
        state_ = 2;
        break;
    case 2:
        if (skipDle_) {
            skipDle_ = false;
            break;
        }
        body_.push_back(byte);
        if (byte == 16) skipDle_ = true;
        if (body_.size() == (size_t)body_[0] + 2) state_ = skipDle_ ? 5 : 3;
        break;
    case 5:  // the second byte of a stuffed checksum
        state_ = 3;
        break;
    case 3: state_ = byte == 16 ? 4 : 0; break;
    case 4:
        state_ = 0;
        if (byte == 3) {
            HostFrame frame;
            frame.id = frameId_;
            frame.data.assign(body_.begin() + 1, body_.end() - 1);
            frames.push_back(frame);
            if (onFrame) onFrame(frames.back(), *this);
        }
        break;
    }
}

std::vector<HostFrame> FakeSerialPeer::framesWithoutAcks() const {
    std::vector<HostFrame> result;
    for (const HostFrame& f : frames)
        if (f.id != 6) result.push_back(f);
    return result;
}

std::vector<uint8_t> FakeSerialPeer::frameIds() const {
    std::vector<uint8_t> ids;
    for (const HostFrame& f : frames) ids.push_back(f.id);
    return ids;
}

int FakeSerialPeer::count(uint8_t id) const {
    int n = 0;
    for (const HostFrame& f : frames)
        if (f.id == id) n++;
    return n;
}

void ackEverything(const HostFrame& frame, FakeSerialPeer& peer) {
    if (frame.id != 6 && frame.id != 21) peer.sendAck(frame.id);
}
