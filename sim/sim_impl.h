#pragma once
// Inside of the simulator: one protocol engine (the receiver's answers, the
// upload log, the faults of the protocol), and the two fronts that carry its
// packets, the pty server and the in-process USB driver. The fronts call the
// engine; the engine knows neither front.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/simulator.h"

using SimClock = std::chrono::steady_clock;

struct SimEngine {
    explicit SimEngine(Simulator& owner) : sim(owner) {}
    Simulator& sim;

    mutable std::mutex mutex;  // upload log, host ids, the USB front's queues
    SimUploadLog log;
    std::vector<uint8_t> hostIds;

    // Upload state.
    int uploadRouteHeaders = 0;
    bool uploadHasTrack = false;

    // Silence windows (ProductRequest / Command).
    bool silenceStarted = false;
    SimClock::time_point silenceUntil;

    // ---- engine (sim/simulator.cpp)
    // The answer to a product request: 255, then 248 and 253 per profile.
    std::vector<SimPacket> productAnswer() const;
    // 27, the records and 12 for command 7, 4 or 6 (faults applied).
    std::vector<SimPacket> downloadSequence(int command) const;
    // A date/time (14) or position (17) answer for commands 5 and 2.
    bool otherAnswer(int command, SimPacket& out) const;
    // An upload packet (27, 35, 29, 30, 98, 99, 34, 12).
    void acceptUpload(const SimPacket& packet);
    static bool isUploadPacket(uint8_t id);
    // Counts a host packet (not ACK/NAK); true when it is to be NAKed.
    bool countHostPacket(uint8_t id);
    void noteHostId(uint8_t id);
    // Silence of the ProductRequest / Command stage: true while the packet
    // is to be ignored.
    bool silencedAt(SimStage stage);
    // Index of the data record (0-based) a download packet stands for, -1
    // for 27 and 12.
    static bool isDataRecord(uint8_t id);
};

// The pty server (sim/sim_pty.cpp).
struct SimPty {
    explicit SimPty(SimEngine& e) : engine(e), sim(e.sim) {}
    SimEngine& engine;
    Simulator& sim;

    int master = -1;
    int slave = -1;
    std::thread thread;
    std::atomic<bool> running{false};
    // stop(): finish what the host has already sent, then end.
    std::atomic<bool> draining{false};
    std::atomic<bool> finished{false};
    long byteIndex = 0;
    SimClock::time_point wireNext;
    std::vector<uint8_t> inBuffer;
    size_t inPos = 0;
    // Pacing of the host's bytes: when the byte at inPos has come down the
    // line (valid while inTimed), and when the line is free for the next.
    bool inTimed = false;
    SimClock::time_point inArrival;
    SimClock::time_point inDue;
    SimClock::time_point hostWireNext;
    bool havePending = false;
    SimPacket pending;
    void serve();
    // 1 packet, 0 nothing before the deadline, -1 a frame with a bad
    // checksum (badId set).
    int readFrame(SimPacket& out, SimClock::time_point deadline, uint8_t& badId);
    int readRawByte(uint8_t& byte, SimClock::time_point deadline);
    void writeFrame(const SimPacket& packet);
    void sendAck(uint8_t id);
    void sendNak(uint8_t id);
    // Sends and waits for the ACK; false when it never came or the host
    // started something else (kept in pending).
    bool sendAwait(const SimPacket& packet);
    void handleSerial(const SimPacket& packet);
    // Sleeps, waking early when the simulator stops; ms -1 = until stop.
    void quietFor(int ms);
};

// The in-process USB driver (sim/sim_usb.cpp); its queues are guarded by
// the engine's mutex.
struct SimUsb {
    explicit SimUsb(SimEngine& e) : engine(e), sim(e.sim) {}
    SimEngine& engine;
    Simulator& sim;

    bool usbOpen = false;
    int usbReads = 0;
    int startSessionsSeen = 0;
    std::deque<std::vector<uint8_t>> interruptQueue;  // chunks of at most 64 bytes
    std::deque<std::vector<uint8_t>> bulkQueue;       // empty vector = zero-length read
    std::vector<std::vector<uint8_t>> usbWriteLog;
    void usbReset();
    void usbQueueAnswer(const std::vector<SimPacket>& packets);
    int usbInterruptRead(uint8_t* buffer, int capacity);
    int usbBulkRead(uint8_t* buffer, int capacity);
    int usbBulkWrite(const uint8_t* buffer, int length);
};

struct Simulator::Impl {
    explicit Impl(Simulator& owner) : engine(owner), pty(engine), usb(engine) {}
    SimEngine engine;
    SimPty pty;
    SimUsb usb;
};
