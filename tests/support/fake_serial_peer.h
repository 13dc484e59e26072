#pragma once
// A receiver played byte by byte behind the packet layer's serial I/O seam,
// on a fake clock: the test queues the bytes the program reads (or silent
// reads), every frame the program writes is parsed and recorded, and a test
// callback may answer each one. An empty read advances the clock by the
// transport's read time-out, so time-outs cost no real time. Installed as the
// link's serial I/O and clock for the lifetime of the object.

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

struct HostFrame {
    uint8_t id = 0;
    std::vector<uint8_t> data;
};

// A framed serial packet (DLE stuffing, checksum) as the receiver sends it.
std::vector<uint8_t> frame(uint8_t id, const std::vector<uint8_t>& data);
std::vector<uint8_t> ackFrame(uint8_t id);

// How the fake clock of a FakeSerialPeer moves.
struct FakeClock {
    uint32_t startMs = 100000;
    uint32_t lookMs = 0;          // every look at the clock
    uint32_t byteReadMs = 1;      // every byte read
    uint32_t emptyReadMs = 3000;  // every empty read (the read time-out)
};

class FakeSerialPeer {
  public:
    explicit FakeSerialPeer(FakeClock clock = {});
    ~FakeSerialPeer();
    FakeSerialPeer(const FakeSerialPeer&) = delete;
    FakeSerialPeer& operator=(const FakeSerialPeer&) = delete;

    // Bytes for the program; a -1 entry is one empty read.
    void feed(const std::vector<uint8_t>& bytes);
    void feedSilence(int reads = 1);
    // Queues a packet for the program.
    void send(uint8_t id, const std::vector<uint8_t>& data) { feed(frame(id, data)); }
    void sendAck(uint8_t id) { send(6, {id, 0}); }
    void sendNak(uint8_t id) { send(21, {id, 0}); }
    // Forgets the recorded frames and drops what the program has not read.
    void reset();

    // Called for every complete frame from the program; ACK frames included.
    std::function<void(const HostFrame&, FakeSerialPeer&)> onFrame;
    // Every frame the program wrote, in order, and the same without ACKs.
    std::vector<HostFrame> frames;
    std::vector<HostFrame> framesWithoutAcks() const;
    std::vector<uint8_t> frameIds() const;
    int count(uint8_t id) const;  // frames with this id

    // Every byte the program wrote; takeWritten() hands them over and forgets them.
    std::vector<uint8_t> written;
    std::vector<uint8_t> takeWritten();

    std::deque<int> incoming;
    uint32_t now;
    uint32_t startMs;
    uint32_t elapsed() const { return now - startMs; }
    FakeClock clock;
    int emptyReads = 0;

    // Failing writes: every write call from this index on, the first calls,
    // or the writes of frames with this id. A failed write by index advances
    // the clock by failedWriteAdvanceMs.
    int failWritesFrom = -1;
    int failFirstWrites = 0;
    int failWritesOfId = -1;
    int writeCalls = 0;
    int failedWriteAdvanceMs = 1000;

    // Implementation (called through the installed I/O table).
    uint32_t look();
    int readByte(uint8_t* byte);
    int writeByte(uint8_t byte);

  private:
    void parse(uint8_t byte);
    int state_ = 0;
    bool skipDle_ = false;
    std::vector<uint8_t> body_;
    uint8_t frameId_ = 0;
};

// The usual receiver behaviour: ACK every packet that is not an ACK or NAK.
void ackEverything(const HostFrame& frame, FakeSerialPeer& peer);
