#pragma once
// A scripted serial line on a fake clock, and a scripted USB driver.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/link_clock.h"
#include "link/transport.h"

// Serial bytes on a fake clock. An empty read (queue empty, or a -1 entry)
// advances the clock by the transport's 3000 ms; a byte read advances it by
// 1 ms. Installed for the lifetime of the object.
struct FakeLine {
    FakeLine();
    ~FakeLine();
    FakeLine(const FakeLine&) = delete;
    FakeLine& operator=(const FakeLine&) = delete;

    void feed(const std::vector<uint8_t>& bytes);
    void feedSilence(int reads = 1);  // empty reads
    std::vector<uint8_t> takeWritten();

    std::deque<int> incoming;
    std::vector<uint8_t> written;
    uint32_t now = 100000;
    uint32_t startMs = 100000;
    int emptyReads = 0;
    uint32_t emptyReadAdvanceMs = 3000;  // the clock advance of an empty read
    // Writes: the 0-based indexes of write calls that fail, and the clock
    // advance of a failed write.
    int failWritesFrom = -1;  // every write from this call on fails
    int failFirstWrites = 0;  // the first calls fail
    int writeCalls = 0;
    int failedWriteAdvanceMs = 1000;
    uint32_t elapsed() const { return now - startMs; }
};

// A framed serial packet (DLE stuffing, checksum) as the receiver sends it.
std::vector<uint8_t> frame(uint8_t id, const std::vector<uint8_t>& data);
std::vector<uint8_t> ackFrame(uint8_t id);

// USB driver that plays back scripted chunks.
struct ScriptedUsb {
    ScriptedUsb();   // installs itself
    ~ScriptedUsb();  // restores the default driver
    ScriptedUsb(const ScriptedUsb&) = delete;
    ScriptedUsb& operator=(const ScriptedUsb&) = delete;

    // {0xEE} entries: the call fails; {0xDD}: the receiver is gone.
    std::deque<std::vector<uint8_t>> interrupt;
    std::deque<std::vector<uint8_t>> bulk;
    std::vector<std::vector<uint8_t>> writes;
    int failWritesFrom = -1;
    bool openOk = true;
    uint32_t packetSize = 64;
    int interruptCalls = 0;
    int bulkCalls = 0;
    int closeCalls = 0;
    // Optional fake clock (a FakeLine's now) advanced by every read call.
    uint32_t* clockMs = nullptr;
    uint32_t readAdvanceMs = 0;
    UsbDriver table;

    // A USB packet: header + data.
    static std::vector<uint8_t> packet(uint8_t type, uint16_t id, const std::vector<uint8_t>& data);
    void queueInterruptPacket(const std::vector<uint8_t>& bytes);  // chunked by 64
};
