#pragma once
// A receiver played byte by byte behind the packet layer's serial I/O seam,
// for the exact sequences of the transfers: every frame the program writes
// is parsed and recorded, a test callback decides what goes back, and the
// fake clock jumps by the read time-out whenever the program waits for a
// byte that is not there, so time-outs cost no real time.

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

struct HostFrame {
    uint8_t id = 0;
    std::vector<uint8_t> data;
};

class FakeSerialPeer {
  public:
    FakeSerialPeer();   // installs itself as the link's serial I/O and clock
    ~FakeSerialPeer();  // restores the real ones
    FakeSerialPeer(const FakeSerialPeer&) = delete;
    FakeSerialPeer& operator=(const FakeSerialPeer&) = delete;

    // Called for every complete frame from the program; ACK frames included.
    std::function<void(const HostFrame&, FakeSerialPeer&)> onFrame;

    // Queues a packet (DLE framing, stuffing, checksum) for the program.
    void send(uint8_t id, const std::vector<uint8_t>& data);
    void sendAck(uint8_t id) { send(6, {id, 0}); }
    void sendNak(uint8_t id) { send(21, {id, 0}); }
    // Forgets the recorded frames and drops what the program has not read.
    void reset();
    // Raw bytes for the program.
    void sendBytes(const std::vector<uint8_t>& bytes);

    // Every frame the program wrote, in order, and the same without ACKs.
    std::vector<HostFrame> frames;
    std::vector<HostFrame> framesWithoutAcks() const;
    std::vector<uint8_t> frameIds() const;
    // Number of frames with this id.
    int count(uint8_t id) const;

    // Every byte the program wrote.
    std::vector<uint8_t> written;
    // Writes of frames with this id fail (0 returned) while set.
    int failWritesOfId = -1;
    uint32_t clockMs = 1000;

    // Implementation (called through the installed I/O table).
    int readByte(uint8_t* byte);
    int writeByte(uint8_t byte);

  private:
    void parse(uint8_t byte);
    std::deque<uint8_t> toHost_;
    int state_ = 0;
    bool skipDle_ = false;
    std::vector<uint8_t> body_;
    uint8_t frameId_ = 0;
};

// The usual receiver behaviour: ACK every packet that is not an ACK or NAK.
void ackEverything(const HostFrame& frame, FakeSerialPeer& peer);
