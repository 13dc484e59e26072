#pragma once
// A scripted USB driver; the serial side is the shared fake receiver.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/link_clock.h"
#include "link/link.h"
#include "link/transport.h"
#include "tests/support/fake_serial_peer.h"

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
