// Fault matrix: every transfer (download and upload of waypoints, routes and
// track logs) on both links against the receiver simulator, with one fault
// injected per run. Each run goes through runCommand and must end with the
// documented messages, the status line back on "  Status:   Bereit.", the
// busy flag cleared, the link closed, and no new or damaged output file
// (downloads: a file already there keeps its content; uploads: the receiver
// holds an undamaged prefix of what was sent and no transfer complete).
//
// Faults come from the simulator (byte drop and inversion, NAK bursts,
// premature end, surplus records) or from the line below the program: the
// silences cut the receiver's bytes (serial) or packets (USB) from a chosen
// packet on, found in a fault-free reference run of the same transfer; a
// receiver that goes away is the simulator stopped in the middle of a serial
// transfer, or a USB cable that fails every call from a chosen call on.
//
// The link runs on a fake clock: an empty serial read advances it by the
// transport's 3000 ms, so the 5 s limits of the program expire at once, and
// the pauses of the program are only recorded. With WEGMATE_FAULT_TABLE set
// to a file, every run appends one line of the outcome table to it.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command.h"
#include "platform/platform.h"
#include "link/link_clock.h"
#include "link/protocol_set.h"
#include "link/serial_settings.h"
#include "link/link.h"
#include "link/transport.h"
#include "link/usb.h"
#include "sim/simulator.h"
#include "model/point_table.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"

namespace {

// ---------------------------------------------------------------- messages

const char* const kNoAnswer = "GPS-Gerät antwortet nicht.";
const char* const kConnect = "Fehler beim Aufbau der Verbindung zum GPS-Gerät.";
const char* const kSerialRead = "Fehler beim Einlesen vom seriellen Anschluss.";
const char* const kSerialWrite = "Fehler bei Ausgabe zum seriellen Anschluss.";
const char* const kChecksum = "Prüfsummenfehler in empfangenem Datenpacket.";
const char* const kUsbRead = "Fehler bei Lesen vom USB-Anschluss.";
const char* const kUsbWrite = "Fehler bei Ausgabe zum USB-Anschluss.";
const char* const kTransfer = "Übertragungsfehler.";
// An upload that ends after the receiver took records says so.
const char* const kTransferPartly =
    "Übertragungsfehler.\nDas GPS-Gerät kann jetzt einen Teil der gesendeten Daten enthalten.";
const char* const kPremature = "Übertragungsfehler. \nDer Datentransfer wurde vorzeitig beendet. ";

// ---------------------------------------------------------------- the matrix

enum class Link { Usb, Serial };
enum class Kind { Waypoints, Routes, Tracks };
enum class Fault {
    None,
    SilenceBeforeProductData,
    SilenceAfterCommand,
    SilenceMidRecords,
    SilenceBeforeComplete,
    DroppedByte,
    FlippedByte,
    Nak4,
    Nak10,
    Nak11,
    PrematureEnd,
    ExtraRecords,
    ReceiverGone,
};

struct Case {
    Link link;
    bool upload;
    Kind kind;
    Fault fault;
};

const char* linkName(Link l) { return l == Link::Usb ? "usb" : "serial"; }
const char* kindName(Kind k) { return k == Kind::Waypoints ? "waypoints" : k == Kind::Routes ? "routes" : "tracks"; }
const char* faultName(Fault f) {
    switch (f) {
    case Fault::None: return "none";
    case Fault::SilenceBeforeProductData: return "silence_before_product_data";
    case Fault::SilenceAfterCommand: return "silence_after_command";
    case Fault::SilenceMidRecords: return "silence_mid_records";
    case Fault::SilenceBeforeComplete: return "silence_before_transfer_complete";
    case Fault::DroppedByte: return "dropped_byte";
    case Fault::FlippedByte: return "inverted_byte";
    case Fault::Nak4: return "nak_burst_4";
    case Fault::Nak10: return "nak_burst_10";
    case Fault::Nak11: return "nak_burst_11";
    case Fault::PrematureEnd: return "premature_end";
    case Fault::ExtraRecords: return "extra_records";
    case Fault::ReceiverGone: return "receiver_gone";
    }
    return "?";
}

// Why a combination does not run, or nullptr.
const char* notApplicable(const Case& c) {
    const bool serialOnly = c.fault == Fault::DroppedByte || c.fault == Fault::FlippedByte || c.fault == Fault::Nak4 ||
                            c.fault == Fault::Nak10 || c.fault == Fault::Nak11;
    if (c.link == Link::Usb && serialOnly) return "USB carries no byte framing and no ACK/NAK";
    if (c.upload && (c.fault == Fault::PrematureEnd || c.fault == Fault::ExtraRecords))
        return "the receiver sends no records in an upload";
    if (c.link == Link::Usb && c.upload &&
        (c.fault == Fault::SilenceAfterCommand || c.fault == Fault::SilenceMidRecords ||
         c.fault == Fault::SilenceBeforeComplete))
        return "a USB upload reads no replies after the device query";
    return nullptr;
}

std::string caseName(const Case& c) {
    return std::string(linkName(c.link)) + "_" + (c.upload ? "upload_" : "download_") + kindName(c.kind) + "_" +
           faultName(c.fault);
}

// The documented outcome: the boxes in order (the last one is the
// transfer's own message; a success box when the transfer recovers).
std::vector<std::string> expectedBoxes(const Case& c, int points) {
    char success[96];
    std::snprintf(
        success, sizeof success,
        c.upload ? "Übertragung erfolgreich beendet (%04d Punkte)." : "Übertragung erfolgreich beendet (%05d Punkte).",
        points);
    const bool serial = c.link == Link::Serial;
    switch (c.fault) {
    case Fault::None:
    case Fault::Nak4: return {success};
    case Fault::SilenceBeforeProductData:
        // The device query fails at the product data (its own message is
        // silent, the packet layer's is not); a receiver that did not
        // identify itself gets no transfer at all.
        if (serial) return {kSerialRead, kConnect};
        return {kUsbRead, kConnect};
    case Fault::SilenceAfterCommand:
        if (serial) return {kConnect};
        return {kUsbRead};
    case Fault::SilenceMidRecords:
    case Fault::SilenceBeforeComplete:
        if (serial) return {kSerialRead};
        return {kUsbRead};
    case Fault::DroppedByte:
        // The frame runs one byte short: its closing DLE is read as the
        // checksum, which does not match.
    case Fault::FlippedByte: return {kChecksum};
    case Fault::Nak10:
        // The command of a download is tried five times; a record of an
        // upload is repeated up to ten times.
        if (c.upload) return {success};
        return {kConnect};
    case Fault::Nak11:
        if (c.upload) return {kTransferPartly};
        return {kConnect};
    case Fault::PrematureEnd:
    case Fault::ExtraRecords: return {kPremature};
    case Fault::ReceiverGone:
        if (serial)
            return c.upload ? std::vector<std::string>{kSerialWrite, kTransferPartly}
                            : std::vector<std::string>{kSerialRead};
        return c.upload ? std::vector<std::string>{kUsbWrite, kTransferPartly} : std::vector<std::string>{kUsbRead};
    }
    return {};
}

bool recovers(const Case& c) {
    return c.fault == Fault::None || c.fault == Fault::Nak4 || (c.upload && c.fault == Fault::Nak10);
}

// ---------------------------------------------------------------- front end

// The scripted front end answers every question with its standing answers;
// the pumps between packets are counted here, and may pull the receiver.
struct PumpWatch {
    int pumps = 0;
    int busyPumps = 0;
    int goneAtPump = -1;
    Simulator* sim = nullptr;
};

void watchPump(void* context) {
    PumpWatch& watch = *static_cast<PumpWatch*>(context);
    watch.pumps++;
    if (transferBusy) watch.busyPumps++;
    if (watch.goneAtPump >= 0 && watch.pumps == watch.goneAtPump && watch.sim) watch.sim->stop();
}

// ---------------------------------------------------------------- serial line on a fake clock

// A frame as the program received it: where its leading DLE was in the
// byte stream, its id and first data byte.
struct Frame {
    long offset;
    uint8_t id;
    int firstData;
};

struct SerialLine {
    int watchFd = -1;     // our own descriptor of the pty, to see whether bytes wait
    uint32_t skewMs = 0;  // fake time added to the real clock
    long delivered = 0;   // bytes handed to the program
    long cutAt = -1;      // from this byte on the receiver is silent
    std::vector<Frame> frames;
    // frame parser
    int state = 0;  // 0 outside, 1 after the leading DLE, 2 inside, 3 inside after a DLE
    int dataIndex = 0;

    void note(uint8_t b) {
        const long offset = delivered;
        switch (state) {
        case 0:
            if (b == 16) state = 1;
            break;
        case 1:
            frames.push_back({offset - 1, b, -1});
            state = 2;
            dataIndex = -1;  // the size byte comes first
            break;
        case 2:
            if (b == 16) {
                state = 3;
                break;
            }
            take(b);
            break;
        case 3:
            if (b == 3) {
                state = 0;
            } else {
                take(b);  // a stuffed 16
                state = 2;
            }
            break;
        }
    }
    void take(uint8_t b) {
        if (dataIndex == 0 && !frames.empty()) frames.back().firstData = b;
        dataIndex++;
    }
};
SerialLine* line = nullptr;

uint32_t fakeNow() { return monotonicMs() + line->skewMs; }

int lineRead(uint8_t* byte) {
    if (line->cutAt >= 0 && line->delivered >= line->cutAt) {
        line->skewMs += 3000;
        return 0;
    }
    struct pollfd pfd = {line->watchFd, POLLIN, 0};
    // A generous real wait: only a silent or busy simulator costs it, and
    // the silences of the matrix are cut above without waiting.
    if (poll(&pfd, 1, 2000) > 0 && (pfd.revents & POLLIN)) {
        const int n = serialReadByteFromPort(byte);
        if (n == 1) {
            line->note(*byte);
            line->delivered++;
            return 1;
        }
    }
    // Nothing within the transport's read time-out (on the fake clock).
    line->skewMs += 3000;
    return 0;
}

int lineWrite(uint8_t byte) {
    const int n = serialWriteByteToPort(byte);
    if (n != 1) line->skewMs += 500;
    return n;
}

const LinkIo fakeLineIo = {fakeNow, lineRead, lineWrite};

// ---------------------------------------------------------------- USB cable

struct UsbCable {
    UsbDriver inner{};
    bool inPacket = false;          // inside an interrupt packet of several chunks
    int packetsRead = 0;            // packets handed to the program
    std::vector<uint16_t> readIds;  // their ids (type 0 packets too)
    std::vector<uint8_t> writeIds;  // application packets the program wrote
    int readCutAt = -1;             // reads fail from this packet on
    int goneAtRead = -1;            // every call fails from this packet on
    int goneAtWrite = -1;           // every call fails from this application write on
    bool gone = false;
};
UsbCable* cable = nullptr;

int cableOpen(void*) { return cable->gone ? 0 : cable->inner.open(cable->inner.context); }
void cableClose(void*) { cable->inner.close(cable->inner.context); }
uint32_t cablePacketSize(void*) { return cable->inner.packetSize(cable->inner.context); }
int cableInterruptRead(void*, uint8_t* buffer, int capacity, unsigned timeoutMs) {
    if (!cable->inPacket) {
        if (cable->goneAtRead >= 0 && cable->packetsRead >= cable->goneAtRead) cable->gone = true;
        if (cable->gone) return -1;
        if (cable->readCutAt >= 0 && cable->packetsRead >= cable->readCutAt) return -1;
    }
    if (cable->gone) return -1;
    const int n = cable->inner.interruptRead(cable->inner.context, buffer, capacity, timeoutMs);
    if (n < 0) return n;
    if (!cable->inPacket && n >= 6) cable->readIds.push_back((uint16_t)(buffer[4] | (buffer[5] << 8)));
    cable->inPacket = n == 64;
    if (!cable->inPacket) cable->packetsRead++;
    return n;
}
int cableBulkRead(void*, uint8_t*, int, unsigned) { return -1; }  // everything comes on the interrupt pipe
int cableBulkWrite(void*, const uint8_t* buffer, int length) {
    if (cable->gone) return -1;
    if (length >= 12 && buffer[0] == 20) {
        if (cable->goneAtWrite >= 0 && (int)cable->writeIds.size() >= cable->goneAtWrite) {
            cable->gone = true;
            return -1;
        }
        cable->writeIds.push_back(buffer[4]);
    }
    return cable->inner.bulkWrite(cable->inner.context, buffer, length);
}

const UsbDriver cableDriver = {cableOpen,     cableClose,     cablePacketSize, cableInterruptRead,
                               cableBulkRead, cableBulkWrite, nullptr,         nullptr};

// ---------------------------------------------------------------- data and files

void generate(Simulator& sim, Kind kind) {
    if (kind == Kind::Waypoints) sim.generate(12, 0, 0, 0, 0);
    if (kind == Kind::Routes) sim.generate(0, 2, 6, 0, 0);
    if (kind == Kind::Tracks) sim.generate(0, 0, 0, 2, 30);
}

int pointsOf(const Simulator& sim, Kind kind) {
    int n = 0;
    if (kind == Kind::Waypoints) n = (int)sim.waypoints.size();
    for (const SimRoute& r : sim.routes) n += kind == Kind::Routes ? (int)r.points.size() : 0;
    for (const SimTrack& t : sim.tracks) n += kind == Kind::Tracks ? (int)t.points.size() : 0;
    return n;
}

// A point as the receiver stored it, for the prefix comparison of uploads.
struct Stored {
    std::string name;
    double lat, lon;
};

std::vector<Stored> storedPoints(const SimUploadLog& log, Kind kind) {
    std::vector<Stored> out;
    if (kind == Kind::Waypoints)
        for (const SimWaypoint& w : log.waypoints) out.push_back({w.name, w.lat, w.lon});
    if (kind == Kind::Routes)
        for (const SimRoute& r : log.routes)
            for (const SimWaypoint& w : r.points) out.push_back({w.name, w.lat, w.lon});
    if (kind == Kind::Tracks)
        for (const SimTrack& t : log.tracks)
            for (const SimTrackPoint& p : t.points) out.push_back({"", p.lat, p.lon});
    return out;
}

std::vector<Stored> sourcePoints(const Simulator& sim, Kind kind) {
    std::vector<Stored> out;
    if (kind == Kind::Waypoints)
        for (const SimWaypoint& w : sim.waypoints) out.push_back({w.name, w.lat, w.lon});
    if (kind == Kind::Routes)
        for (const SimRoute& r : sim.routes)
            for (const SimWaypoint& w : r.points) out.push_back({w.name, w.lat, w.lon});
    if (kind == Kind::Tracks)
        for (const SimTrack& t : sim.tracks)
            for (const SimTrackPoint& p : t.points) out.push_back({"", p.lat, p.lon});
    return out;
}

// ---------------------------------------------------------------- one run

struct Outcome {
    std::vector<std::string> boxes;
    std::vector<std::string> statuses;
    std::string lastStatus;
    bool busyAfter = true;
    bool linkOpenAfter = true;
    int busyPumps = 0;
    std::vector<Frame> frames;       // serial: frames the program received
    std::vector<uint16_t> usbReads;  // USB: packets the program read
    std::vector<uint8_t> usbWrites;  // USB: application packets it wrote
    SimUploadLog log;
};

struct Injection {
    long cutAtByte = -1;  // serial silence
    int readCutAt = -1;   // USB silence
    int goneAtRead = -1;  // USB cable failing
    int goneAtWrite = -1;
    int goneAtPump = -1;  // serial: simulator stopped at this pump
};

Outcome runOnce(const Case& c, Simulator& sim, const std::string& input, const std::string& output,
                const Injection& inj) {
    // Route mode when routes are wanted; every other question: No (all
    // tracks, one track log).
    const bool routes = c.kind == Kind::Routes;
    ScriptedPlatform front(
        {.yesNo = [routes](QuestionId id) { return id == QuestionId::RouteMode && routes; },
         .openFile = input,
         .saveFile = output,
         .initials = "KB"});
    PumpWatch watch{.goneAtPump = inj.goneAtPump, .sim = &sim};
    front.onPump = watchPump;
    front.onPumpContext = &watch;
    clearProtocolSet();  // as at program start: nothing known of the receiver yet

    SerialLine serial;
    UsbCable usb;
    Port port = kUsbPort;
    if (c.link == Link::Serial) {
        const std::string tty = sim.startPty();
        EXPECT_FALSE(tty.empty());
        serial.watchFd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(serial.watchFd, 0);
        serial.cutAt = inj.cutAtByte;
        line = &serial;
        installLinkIo(&fakeLineIo);
        setSerialDeviceOverride(1, tty);
        port = comPort(1);
    } else {
        sim.usbInterruptOnly = true;
        usb.inner = sim.usbDriver();
        usb.readCutAt = inj.readCutAt;
        usb.goneAtRead = inj.goneAtRead;
        usb.goneAtWrite = inj.goneAtWrite;
        cable = &usb;
        installUsbDriver(&cableDriver);
    }

    runCommand(c.upload ? (c.kind == Kind::Tracks ? UploadTracks : UploadWaypoints)
                        : (c.kind == Kind::Tracks ? DownloadTracks : DownloadWaypoints),
               port, MapInfoMif, PointObjects);

    Outcome out;
    out.boxes = front.boxTexts();
    out.lastStatus = front.lastStatus();
    for (const std::string& status : front.statusTexts())
        if (out.statuses.empty() || out.statuses.back() != status) out.statuses.push_back(status);
    out.busyAfter = transferBusy;
    out.linkOpenAfter = serialPortOpen() || usbLinkOpen();
    out.busyPumps = watch.busyPumps;
    if (c.link == Link::Serial) {
        installLinkIo(nullptr);
        sim.stop();
        setSerialDeviceOverride(1, "");
        close(serial.watchFd);
        out.frames = serial.frames;
        line = nullptr;
    } else {
        installUsbDriver(nullptr);
        out.usbReads = usb.readIds;
        out.usbWrites = usb.writeIds;
        cable = nullptr;
    }
    out.log = sim.uploadLog();
    return out;
}

// Index of the n-th frame (serial) with this id, -1 when none.
long frameOffset(const std::vector<Frame>& frames, uint8_t id, int nth, int firstData = -1) {
    for (const Frame& f : frames)
        if (f.id == id && (firstData < 0 || f.firstData == firstData) && nth-- == 0) return f.offset;
    return -1;
}

bool isRecordId(uint8_t id) { return id == 35 || id == 29 || id == 30 || id == 98 || id == 99 || id == 34; }

// The program-received frames / packets that are download records.
std::vector<long> recordFrameOffsets(const std::vector<Frame>& frames) {
    std::vector<long> out;
    for (const Frame& f : frames)
        if (isRecordId(f.id)) out.push_back(f.offset);
    return out;
}

// ACK frames the receiver sent for the program's upload records, in order.
std::vector<long> uploadAckOffsets(const std::vector<Frame>& frames) {
    std::vector<long> out;
    for (const Frame& f : frames)
        if (f.id == 6 && f.firstData >= 0 && isRecordId((uint8_t)f.firstData)) out.push_back(f.offset);
    return out;
}

int indexOf(const std::vector<uint16_t>& ids, uint16_t id, int nth = 0) {
    for (size_t i = 0; i < ids.size(); i++)
        if (ids[i] == id && nth-- == 0) return (int)i;
    return -1;
}

std::string oneLine(const std::vector<std::string>& boxes) {
    std::string out;
    for (const std::string& b : boxes) {
        if (!out.empty()) out += " + ";
        std::string t = b;
        for (size_t at; (at = t.find('\n')) != std::string::npos;) t.replace(at, 1, "\\n");
        out += "\"" + t + "\"";
    }
    return out.empty() ? "(none)" : out;
}

// Place of a combination in the full matrix, for the order of the table.
int matrixIndex(const Case& c);

void appendTableLine(const Case& c, const std::string& text) {
    const char* path = std::getenv("WEGMATE_FAULT_TABLE");
    if (!path || !*path) return;
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return;
    const std::string lineText = std::to_string(matrixIndex(c)) + "\t" + text + "\n";
    if (write(fd, lineText.data(), lineText.size()) < 0) {}
    close(fd);
}

// ---------------------------------------------------------------- the test

void PrintTo(const Case& c, std::ostream* os) { *os << caseName(c); }

std::vector<Case> allCombinations();

class FaultMatrix : public ::testing::TestWithParam<Case> {
  public:
    // The combinations that do not apply are no tests; the table lists them.
    static void SetUpTestSuite() {
        for (const Case& c : allCombinations())
            if (const char* why = notApplicable(c)) appendTableLine(c, caseName(c) + "\tn/a\t" + why);
    }
};

TEST_P(FaultMatrix, EndsWithTheDocumentedMessageAndLeavesNoDamage) {
    const Case c = GetParam();
    ASSERT_EQ(notApplicable(c), nullptr);
    TempDir temp("faults");
    const std::string dir = temp.path;
    ASSERT_FALSE(dir.empty());
    const std::string inputDir = dir + "/in";
    const std::string outputDir = dir + "/out";
    ASSERT_EQ(mkdir(inputDir.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(outputDir.c_str(), 0700), 0);

    // The receiver's data; for uploads the file to send, written by a
    // fault-free download from a first receiver.
    Simulator source(*findSimProfile("etrex"));
    generate(source, c.kind);
    const int points = pointsOf(source, c.kind);
    std::string input;
    if (c.upload) {
        input = inputDir + "/send.mif";
        const Outcome made = runOnce({Link::Usb, false, c.kind, Fault::None}, source, "", input, {});
        ASSERT_EQ(made.boxes, expectedBoxes({Link::Usb, false, c.kind, Fault::None}, points));
    }

    auto receiver = [&]() {
        auto sim = std::make_unique<Simulator>(*findSimProfile("etrex"));
        if (c.upload) {
            sim->storeUploads = false;
        } else {
            generate(*sim, c.kind);
        }
        return sim;
    };

    // The fault-free reference run: where the packets are.
    const std::string output = outputDir + "/result.mif";
    const std::string outputMid = outputDir + "/result.mid";
    Outcome reference;
    {
        auto sim = receiver();
        reference = runOnce({c.link, c.upload, c.kind, Fault::None}, *sim, input, output, {});
        ASSERT_EQ(reference.boxes, expectedBoxes({c.link, c.upload, c.kind, Fault::None}, points))
            << "fault-free reference run failed";
        std::remove(output.c_str());
        std::remove(outputMid.c_str());
    }

    // The fault.
    auto sim = receiver();
    Injection inj;
    SimFaults& f = sim->faults;
    const bool serial = c.link == Link::Serial;
    const std::vector<long> records =
        c.upload ? uploadAckOffsets(reference.frames) : recordFrameOffsets(reference.frames);
    const size_t middle = records.size() / 2;
    int usbFirstRecord = -1;
    if (!serial && !c.upload) usbFirstRecord = indexOf(reference.usbReads, 27) + 1;
    const int usbRecords = serial || c.upload ? 0 : indexOf(reference.usbReads, 12) - usbFirstRecord;
    switch (c.fault) {
    case Fault::None: break;
    case Fault::SilenceBeforeProductData:
        if (serial)
            inj.cutAtByte = frameOffset(reference.frames, 255, 0);
        else
            inj.readCutAt = indexOf(reference.usbReads, 255);
        break;
    case Fault::SilenceAfterCommand:
        // Download: the command 10 gets no ACK (serial) or no records
        // packet (USB). Upload: the records packet 27 gets no ACK.
        if (serial)
            inj.cutAtByte = frameOffset(reference.frames, 6, 0, c.upload ? 27 : 10);
        else
            inj.readCutAt = indexOf(reference.usbReads, 27);
        break;
    case Fault::SilenceMidRecords:
        if (serial)
            inj.cutAtByte = records.at(middle);
        else
            inj.readCutAt = usbFirstRecord + usbRecords / 2;
        break;
    case Fault::SilenceBeforeComplete:
        // Download: the transfer complete 12 never comes. Upload: the ACK of
        // the last record never comes.
        if (serial)
            inj.cutAtByte = c.upload ? records.back() : frameOffset(reference.frames, 12, 0);
        else
            inj.readCutAt = indexOf(reference.usbReads, 12);
        break;
    case Fault::DroppedByte:
        // Inside the middle record (download) or the ACK of the middle record (upload).
        f.dropByteAt = records.at(middle) + (c.upload ? 3 : 4);
        break;
    case Fault::FlippedByte: f.corruptByteAt = records.at(middle) + (c.upload ? 3 : 4); break;
    case Fault::Nak4:
    case Fault::Nak10:
    case Fault::Nak11:
        f.nakBurst = c.fault == Fault::Nak4 ? 4 : c.fault == Fault::Nak10 ? 10 : 11;
        // Host packets: 1 the product request, 2 the command or the records
        // packet, 3 the first record of an upload; the burst starts with the
        // download command or the upload's second record (a point, after a
        // route or track header).
        f.nakFrom = c.upload ? 4 : 2;
        break;
    case Fault::PrematureEnd: f.endAfterRecords = (int)(serial ? middle : usbRecords / 2); break;
    case Fault::ExtraRecords: f.recordsCountDelta = -1; break;
    case Fault::ReceiverGone:
        if (serial) {
            inj.goneAtPump = c.upload ? points / 2 : (int)middle;
        } else if (c.upload) {
            // Application writes: 254, 27, then the records.
            inj.goneAtWrite = 2 + (int)(reference.usbWrites.size() - 3) / 2;
        } else {
            inj.goneAtRead = usbFirstRecord + usbRecords / 2;
        }
        break;
    }

    // A file of the same name is already there (downloads).
    const std::string before = "earlier content of the output file\r\n";
    if (!c.upload) {
        writeFile(output, before);
        writeFile(outputMid, before);
    }
    const std::string filesBefore = dirListing(outputDir);

    const Outcome out = runOnce(c, *sim, input, output, inj);
    const std::vector<std::string> expected = expectedBoxes(c, points);

    EXPECT_EQ(out.boxes, expected);
    EXPECT_EQ(out.lastStatus, "  Status:   Bereit.");
    EXPECT_FALSE(out.busyAfter);
    EXPECT_FALSE(out.linkOpenAfter);
    ASSERT_FALSE(out.statuses.empty());
    EXPECT_EQ(out.statuses.front(), "  Status:   Bitte warten.");
    if (recovers(c)) {
        EXPECT_GT(out.busyPumps, 0) << "the window was not kept alive during the transfer";
    }

    std::string fileState;
    std::string stored;
    if (!c.upload) {
        const bool same = readFile(output) == before && readFile(outputMid) == before;
        const bool newFiles = dirListing(outputDir) != filesBefore;
        if (recovers(c)) {
            EXPECT_NE(readFile(output), before) << "the download did not write its file";
            fileState = "written";
        } else {
            EXPECT_TRUE(same) << "a failed download changed the existing file";
            EXPECT_FALSE(newFiles) << "a failed download left a new file";
            fileState = same && !newFiles ? "unchanged, no new file" : "DAMAGED";
        }
    } else {
        const std::vector<Stored> sent = sourcePoints(source, c.kind);
        const std::vector<Stored> got = storedPoints(out.log, c.kind);
        const double semicircle = 180.0 / 2147483648.0;
        ASSERT_LE(got.size(), sent.size()) << "the receiver got more points than were sent";
        bool prefix = true;
        for (size_t i = 0; i < got.size(); i++) {
            if (got[i].name != sent[i].name || std::abs(got[i].lat - sent[i].lat) > 1.5 * semicircle ||
                std::abs(got[i].lon - sent[i].lon) > 1.5 * semicircle)
                prefix = false;
        }
        EXPECT_TRUE(prefix) << "the receiver holds points that differ from the file";
        if (recovers(c)) {
            EXPECT_EQ(out.log.transfers, 1);
            EXPECT_EQ(got.size(), sent.size());
        } else {
            EXPECT_EQ(out.log.transfers, 0) << "a failed upload sent its transfer complete";
        }
        fileState = std::to_string(got.size()) + " of " + std::to_string(sent.size()) + " points, " +
                    (out.log.transfers ? "transfer complete" : "no transfer complete") + (prefix ? "" : ", DAMAGED");
    }
    const bool ok =
        out.boxes == expected && out.lastStatus == "  Status:   Bereit." && !out.busyAfter && !out.linkOpenAfter;
    appendTableLine(c, caseName(c) + "\t" + (ok ? "ok" : "MISMATCH") + "\t" + oneLine(out.boxes) + "\t" +
                           out.lastStatus + "\t" + (out.linkOpenAfter ? "link open" : "closed") + "\t" + fileState);
}

// A receiver that does not answer the device query leaves no protocol list
// in force (as at program start). On USB the opening exchange of a
// transfer is a plain write and an upload reads no reply, so nothing else
// would notice it: the upload is not started, and records of a download
// decoded without the receiver's formats are not written.
TEST(UnansweredDeviceQuery, UsbUploadIsNotStarted) {
    for (Kind kind : {Kind::Waypoints, Kind::Tracks}) {
        SCOPED_TRACE(kindName(kind));
        TempDir temp("faults");
        const std::string dir = temp.path;
        ASSERT_FALSE(dir.empty());
        Simulator source(*findSimProfile("etrex"));
        generate(source, kind);
        const int points = pointsOf(source, kind);
        const std::string input = dir + "/send.mif";
        const Outcome made = runOnce({Link::Usb, false, kind, Fault::None}, source, "", input, {});
        ASSERT_EQ(made.boxes, expectedBoxes({Link::Usb, false, kind, Fault::None}, points));

        Simulator target(*findSimProfile("etrex"));
        target.storeUploads = false;
        Injection inj;
        inj.readCutAt = 1;  // after the session start: no product data, no protocol array
        const Outcome out = runOnce({Link::Usb, true, kind, Fault::SilenceBeforeProductData}, target, input, "", inj);
        EXPECT_EQ(out.boxes, (std::vector<std::string>{kUsbRead, kConnect}));
        EXPECT_TRUE(out.log.packets.empty()) << "records went to a receiver that never identified itself";
        EXPECT_EQ(out.lastStatus, "  Status:   Bereit.");
        EXPECT_FALSE(out.linkOpenAfter);
    }
}

// A USB receiver that ignores the product request but serves the transfer
// command: its D108 waypoints would be read in the D100 layout.
TEST(UnansweredDeviceQuery, UsbDownloadWritesNoFile) {
    TempDir temp("faults");
    const std::string dir = temp.path;
    ASSERT_FALSE(dir.empty());
    Simulator sim(*findSimProfile("etrex"));
    generate(sim, Kind::Waypoints);
    sim.faults.silenceStage = SimStage::ProductRequest;
    sim.faults.silenceMs = -1;
    const std::string output = dir + "/result.mif";
    const Outcome out =
        runOnce({Link::Usb, false, Kind::Waypoints, Fault::SilenceBeforeProductData}, sim, "", output, {});
    EXPECT_EQ(out.boxes, (std::vector<std::string>{kUsbRead, kConnect}));
    EXPECT_EQ(temp.entries(), 0) << "a file was written from records in guessed layouts";
    EXPECT_EQ(out.lastStatus, "  Status:   Bereit.");
    EXPECT_FALSE(out.linkOpenAfter);
}

std::vector<Case> allCombinations() {
    std::vector<Case> cases;
    const Fault faults[] = {Fault::SilenceBeforeProductData,
                            Fault::SilenceAfterCommand,
                            Fault::SilenceMidRecords,
                            Fault::SilenceBeforeComplete,
                            Fault::DroppedByte,
                            Fault::FlippedByte,
                            Fault::Nak4,
                            Fault::Nak10,
                            Fault::Nak11,
                            Fault::PrematureEnd,
                            Fault::ExtraRecords,
                            Fault::ReceiverGone};
    for (Link link : {Link::Serial, Link::Usb})
        for (bool upload : {false, true})
            for (Kind kind : {Kind::Waypoints, Kind::Routes, Kind::Tracks})
                for (Fault fault : faults) cases.push_back({link, upload, kind, fault});
    return cases;
}

int matrixIndex(const Case& c) {
    const std::vector<Case> all = allCombinations();
    for (size_t i = 0; i < all.size(); i++)
        if (all[i].link == c.link && all[i].upload == c.upload && all[i].kind == c.kind && all[i].fault == c.fault)
            return (int)i;
    return -1;
}

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (const Case& c : allCombinations())
        if (!notApplicable(c)) cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllTransfers, FaultMatrix, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return caseName(info.param); });

}  // namespace
