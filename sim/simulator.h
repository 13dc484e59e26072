#pragma once
// A Garmin receiver played in software, for tests and demonstrations.
//
// The simulator speaks the receiver's side of the binary protocol: product
// request and product data, protocol array, the transfer commands 7
// (waypoints), 4 (routes) and 6 (track logs) with records / data / transfer
// complete, and uploads (records, data, transfer complete) which it
// acknowledges and stores. It serves either
//   - a pseudo terminal: startPty() runs a thread that plays the receiver on
//     the pty master and returns the slave path (open it as a serial port,
//     e.g. with setSerialDeviceOverride(1, path) or from gpsbabel), or
//   - the USB driver seam in-process: installUsbDriver(&driver) with the
//     table from usbDriver(); the calls are answered synchronously.
//
//   Simulator sim(*findSimProfile("etrex"));
//   sim.generate(5, 2, 4, 1, 20);          // or sim.load("data.txt")
//   std::string tty = sim.startPty();
//   setSerialDeviceOverride(1, tty);       // COM1 is now the simulator
//   ... transfers ...
//   sim.stop();
//   SimUploadLog log = sim.uploadLog();    // what the host sent
//
// Positions are in degrees; texts are Windows-1252 bytes as the receiver
// stores them. Change data, profile, faults and pacing only while the
// simulator is not serving (before startPty or after stop); uploadLog() and
// counters may be read at any time.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/transport.h"

// ---------------------------------------------------------------- profiles

struct SimProtocol {
    char tag;        // 'P', 'L', 'A', 'D'
    int16_t number;  // 0, 1, 10, 100, 108 ...
};

enum class SimWaypointFormat { D100, D101, D102, D103, D104, D105, D106, D107, D108, D109, D110 };
enum class SimRouteHeaderFormat { D200, D201, D202 };
enum class SimTrackHeaderFormat { None, D310, D311, D312 };  // None: A300, no headers
enum class SimTrackPointFormat { D300, D301, D302, D303, D304 };

struct SimProfile {
    std::string name;  // "etrex", "gps76", "d100", "d110" ...
    uint16_t productId = 0;
    uint16_t version = 0;                // hundredths: 310 = 3.10
    std::string description;             // product description (first string of packet 255)
    bool sendsArray = true;              // answer with a protocol array (packet 253)
    bool sendsExtProduct = false;        // send packet 248 between 255 and 253
    int extProductPackets = 1;           // how many 248 packets, when sent at all
    std::vector<SimProtocol> protocols;  // the array as sent
    // Formats the simulator uses for its records (downloads and uploads).
    SimWaypointFormat waypointFormat = SimWaypointFormat::D108;
    SimRouteHeaderFormat routeHeaderFormat = SimRouteHeaderFormat::D202;
    bool routeLinks = true;  // A201 (links between route points) or A200
    SimTrackHeaderFormat trackHeaderFormat = SimTrackHeaderFormat::D310;
    SimTrackPointFormat trackPointFormat = SimTrackPointFormat::D301;
};

// "etrex":     eTrex Legend, array P000 L001 A010 A100 D108 A201 D202 D108
//              D210 A301 D310 D301 A500 D501 A600 D600 A700 D700 A800 D800
// Receivers without an array (the program takes its fallback lists; the
// protocols are filled in for tests that switch sendsArray on):
// "etrex2": "eTrex Software Version 2.15" (D108, A201/D202/D210,
//              A301/D310/D301)
// "gps76":     "GPS 76 Software Version 2.60" (D109, A201/D202/D210,
//              A301/D310/D301)
// "d100":      "GPS 12XL Software Version 4.60" (A100/D103, A200/D201,
//              A300/D300)
// With an array:
// "d110":      GPSMAP 60CSx, extended product data, A100/D110,
//              A201/D202/D110/D210, A301/D312/D304
// "gps38":     A100/D100, A200/D200, A300/D300
// "d101":      A100/D101, A201/D200/D210, A300/D300
// "d102":      A100/D102, A201/D201/D210, A301/D310/D302
// "d103":      A100/D103, A200/D201, A300/D300
// "d104":      A100/D104, A201/D202/D210, A301/D312/D303
// "d109":      A100/D109, A201/D202/D210, A301/D312/D302
// "d107":      A100/D107, A201/D202/D210, A302/D311/D304
// "d105":      A100/D105, A201/D201/D210, A300/D300
// "d106":      A100/D106, A201/D202/D210, A301/D310/D301
// Together they name every waypoint, route and track format the program
// reads and writes.
// nullptr for an unknown name.
const SimProfile* findSimProfile(const std::string& name);
std::vector<std::string> simProfileNames();

// ---------------------------------------------------------------- data

struct SimWaypoint {
    std::string name;  // identifier (D100 family: 6 characters used)
    std::string comment;
    double lat = 0.0;  // degrees
    double lon = 0.0;
    float altitude = 1e25f;  // metres, 1e25 = none
    uint32_t time = 0;       // seconds since 1989-12-31 00:00 UTC, 0 = none
    uint16_t symbol = 0;
    uint8_t display = 0;  // the program's Display1 code (D108: dspl)
    uint8_t color = 0;    // the program's Display2 code (D108: color)
};

struct SimRoute {
    int number = 0;    // D200/D201 route number
    std::string name;  // D201 comment / D202 ident
    std::vector<SimWaypoint> points;
};

struct SimTrackPoint {
    double lat = 0.0;
    double lon = 0.0;
    float altitude = 1e25f;
    uint32_t time = 0;
    bool newSegment = false;
};

struct SimTrack {
    std::string name;     // D310/D312 ident
    int index = 0;        // D311 index
    uint8_t display = 1;  // D310/D312 display flag
    uint8_t color = 0;    // D310/D312 colour
    std::vector<SimTrackPoint> points;
};

// One packet as it went over the link (application layer).
struct SimPacket {
    uint8_t id = 0;
    std::vector<uint8_t> data;
};

// What the host uploaded, decoded in the profile's formats.
struct SimUploadLog {
    int transfers = 0;                   // uploads that ended with transfer complete (12)
    int announcedRecords = 0;            // count of the last records packet (27), summed over transfers
    int recordPackets = 0;               // data packets received (35, 29, 30, 98, 99, 34)
    int transferCompleteCount = -1;      // uint16 of the last packet 12, -1 = none
    std::vector<SimWaypoint> waypoints;  // packets 35
    std::vector<SimRoute> routes;        // packets 29 + 30 (98 counted only)
    std::vector<SimTrack> tracks;        // packets 99 + 34 (A300: one track)
    int routeLinks = 0;                  // packets 98
    std::vector<SimPacket> packets;      // every upload packet in order (27 .. 12)
};

// ---------------------------------------------------------------- faults

enum class SimStage {
    None,
    ProductRequest,  // the product request goes unanswered (not even ACKed)
    ProductData,     // ACK the request, then wait before the product data
    ProtocolArray,   // wait before the protocol array (or extended data)
    Command,         // the transfer command goes unanswered
    Record,          // wait before the download record number silenceRecord
};

struct SimFaults {
    // NAK instead of ACK (and no handling) for nakBurst host packets,
    // starting with host packet number nakFrom (1-based; counts every packet
    // the host sent except its ACKs and NAKs, from startPty / installation).
    int nakBurst = 0;
    int nakFrom = 1;
    // Serial: the outgoing byte with this 0-based index (counted over the
    // whole session) is dropped, or XORed with 0xFF.
    long dropByteAt = -1;
    long corruptByteAt = -1;
    // Silence: at silenceStage, stay quiet for silenceMs (-1 = forever).
    // ProductRequest / Command: host packets of that kind are ignored while
    // the silence lasts (it starts with the first one). On USB, where the
    // simulator answers at once, a silence drops the answer from that stage
    // on (ProductData: the whole answer, ProtocolArray: 248 and 253, Record:
    // that record and everything after it), so the host's read fails.
    SimStage silenceStage = SimStage::None;
    int silenceMs = 0;
    int silenceRecord = 0;  // 0-based record index for SimStage::Record
    // Downloads: send transfer complete after this many data records
    // (-1 = after all of them): a premature end.
    int endAfterRecords = -1;
    // Added to the count of the records packet (27) of downloads.
    int recordsCountDelta = 0;
    // USB: protocol-layer packets (type 0, id 0x7F, no data) placed before
    // every application packet the simulator sends.
    int strayUsbPackets = 0;
    // USB: after this many driver read calls every call fails with -1, as
    // if the receiver had been pulled out (-1 = never).
    int usbUnplugAfterReads = -1;
    // USB: the driver's open() fails (no receiver attached).
    bool usbAbsent = false;
    // USB: the receiver misses the host's first N start-session packets.
    int usbLostStartSessions = 0;
    // USB: N stale packets (track points) wait on the bulk pipe when the
    // host opens the device, left over from an earlier session.
    int usbPendingAtOpen = 0;
};

// ---------------------------------------------------------------- simulator

class Simulator {
  public:
    explicit Simulator(const SimProfile& profile);
    ~Simulator();  // stops serving
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    SimProfile profile;
    std::vector<SimWaypoint> waypoints;
    std::vector<SimRoute> routes;
    std::vector<SimTrack> tracks;
    SimFaults faults;
    // Serial: both directions run no faster than a 9600 baud 8N1 line
    // (960 bytes/s each way): the simulator's bytes go out paced, and the
    // host's bytes count as received only when they would have come down
    // the line.
    bool pacing = false;
    // Raw records: uploads are kept as the record packets the host sent,
    // without decoding them, and a download of the same kind serves them
    // back byte for byte (records packet, the kept packets, transfer
    // complete) in place of the data above. The upload log then holds
    // only the packets, counters and transfers.
    bool rawRecords = false;
    std::vector<SimPacket> rawWaypoints;  // packets 35
    std::vector<SimPacket> rawRoutes;     // packets 29, 30, 98 in order
    std::vector<SimPacket> rawTracks;     // packets 99, 34 in order
    // Uploaded records are also added to the data (waypoints with the same
    // name replaced), so a later download returns them.
    bool storeUploads = true;
    // USB: send application packets on the interrupt pipe in 64-byte chunks
    // instead of "data available" + bulk pipe.
    bool usbInterruptOnly = false;
    // USB: every packet as a burst of its own (data available, the packet on
    // the bulk pipe, a zero-length read) instead of one burst per answer.
    bool usbBurstPerPacket = false;
    // USB: the packet size the driver reports.
    uint32_t usbPacketSize = 64;

    // Replaces the data: nWaypoints waypoints "WP0001".., nRoutes routes
    // with pointsPerRoute points, nTracks tracks "TRACK01".. with
    // pointsPerTrack points (a new segment every 50 points). Deterministic.
    void generate(int nWaypoints, int nRoutes, int pointsPerRoute, int nTracks, int pointsPerTrack);
    // The simulator's own text format, one record per line, tab-separated:
    //   W <name> <comment> <lat> <lon> <alt> <time> <symbol> <display> <color>
    //   R <number> <name>            (route; its points follow as P lines)
    //   P <name> <comment> <lat> <lon> <alt> <time> <symbol> <display> <color>
    //   T <index> <name> <display> <color>   (track; its points follow)
    //   S <lat> <lon> <alt> <time> <newSegment 0|1>
    // Lines starting with '#' and empty lines are skipped. load() replaces
    // the data; both return false on a file error or a malformed line.
    bool load(const std::string& path);
    bool save(const std::string& path) const;

    // Serial: opens a pty, serves it on a thread, returns the slave path
    // ("" on failure). linkPath non-empty: also creates a symlink there.
    std::string startPty(const std::string& linkPath = "");
    // Handles what the host has already written (e.g. the transfer complete
    // of an upload), then ends the thread and closes the pty. Compare the
    // upload log after stop().
    void stop();
    std::string ptyPath() const { return slavePath_; }

    // USB: a driver table bound to this simulator, for installUsbDriver().
    // Resets the USB side (session, queues, counters) when taken.
    UsbDriver usbDriver();
    // USB wire emulation: the next chunk the receiver has ready on the
    // interrupt pipe (at most 64 bytes, empty = a zero-length packet) or on
    // the bulk pipe (one whole packet, empty = the end of the bulk data).
    // 1 taken, 0 nothing ready, -1 the receiver was pulled out.
    int usbTakeChunk(bool bulk, std::vector<uint8_t>& chunk);
    // USB: what the host wrote, every write including zero-length ones.
    std::vector<std::vector<uint8_t>> usbWrites() const;

    SimUploadLog uploadLog() const;
    void clearUploadLog();
    // Host packets received (ACK/NAK excluded) and product requests seen.
    int hostPackets() const { return hostPackets_; }
    int productRequests() const { return productRequests_; }
    // Serial bytes sent to the host.
    long bytesSent() const { return bytesSent_; }
    // Serial bytes received from the host.
    long bytesReceived() const { return bytesReceived_; }
    // The ids of every packet the host sent, ACK/NAK included, in order.
    std::vector<uint8_t> hostPacketIds() const;

    // Implementation (used by the serving code in sim/*.cpp).
    struct Impl;
    std::unique_ptr<Impl> impl_;

  private:
    std::string slavePath_;
    std::string linkPath_;
    std::atomic<int> hostPackets_{0};
    std::atomic<int> productRequests_{0};
    std::atomic<long> bytesSent_{0};
    std::atomic<long> bytesReceived_{0};
    friend struct Impl;
    friend struct SimEngine;
    friend struct SimPty;
    friend struct SimUsb;
};
