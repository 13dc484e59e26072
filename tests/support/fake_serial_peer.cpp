#include "tests/transfer/fake_serial_peer.h"

#include "link/link_clock.h"

namespace {

FakeSerialPeer* current = nullptr;

uint32_t fakeNow() {
    // Every look at the clock costs a millisecond, so that a loop that
    // waits for the clock always ends.
    return current->clockMs++;
}
int fakeRead(uint8_t* byte) { return current->readByte(byte); }
int fakeWrite(uint8_t byte) { return current->writeByte(byte); }

const LinkIo fakeIo = {fakeNow, fakeRead, fakeWrite};

}  // namespace

FakeSerialPeer::FakeSerialPeer() {
    current = this;
    installLinkIo(&fakeIo);
}

FakeSerialPeer::~FakeSerialPeer() {
    installLinkIo(nullptr);
    current = nullptr;
}

void FakeSerialPeer::reset() {
    frames.clear();
    written.clear();
    toHost_.clear();
    state_ = 0;
}

void FakeSerialPeer::sendBytes(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) toHost_.push_back(b);
}

void FakeSerialPeer::send(uint8_t id, const std::vector<uint8_t>& data) {
    unsigned sum = id + (unsigned)data.size();
    for (uint8_t b : data) sum += b;
    const uint8_t checksum = (uint8_t)(0x100 - (sum & 0xFF));
    std::vector<uint8_t> body;
    body.push_back((uint8_t)data.size());
    body.insert(body.end(), data.begin(), data.end());
    body.push_back(checksum);
    toHost_.push_back(16);
    toHost_.push_back(id);
    for (uint8_t b : body) {
        toHost_.push_back(b);
        if (b == 16) toHost_.push_back(16);
    }
    toHost_.push_back(16);
    toHost_.push_back(3);
}

int FakeSerialPeer::readByte(uint8_t* byte) {
    if (toHost_.empty()) {
        clockMs += 3000;  // the transport's read time-out
        return 0;
    }
    *byte = toHost_.front();
    toHost_.pop_front();
    return 1;
}

int FakeSerialPeer::writeByte(uint8_t byte) {
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
