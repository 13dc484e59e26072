// Fuzzing a whole download over the serial line: the receiver's packets
// come from the input, framed by this entry with correct stuffing and
// checksums so that the fuzzer works on the packet contents.
//   byte 0  protocol list (one of kProtocolLists)
//   byte 1  bits 0..1 transfer kind (7, 6, 7, 6), bits 2..3 file kind,
//           bit 4 object kind, bits 5..7 answers to the first questions
//   then    packets: id, size, size data bytes (cut at the input's end)
// The opening exchange gets its ACK first. The file goes to the scratch
// directory.

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "link/link_clock.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "transfers/download.h"
#include "model/point_table.h"

namespace {

const char* const kProtocolLists[] = {
    nullptr,
    "A100\r\nA201\r\nA301\r\nD108\r\nD202\r\nD210\r\nD301\r\nD310\r\n",
    "A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n",
    "\r\nA100\r\nD110\r\nA201\r\nD202\r\nD110\r\nD210\r\nA301\r\nD312\r\nD304",
    "\r\nA100\r\nD109\r\nA201\r\nD200\r\nA302\r\nD311\r\nD303",
    "\r\nA100\r\nD100\r\nA200\r\nD200\r\nA300\r\nD302",
    "\r\nA100\r\nD101\r\nD102\r\nA201\r\nD201\r\nA301\r\nD310\r\nD301",
    "\r\nA100\r\nD107\r\nD104\r\nA300\r\nD300",
};
constexpr int kLists = sizeof kProtocolLists / sizeof kProtocolLists[0];

std::vector<uint8_t> stream;
size_t streamPos = 0;
uint32_t fakeNow = 0;
unsigned answers = 0;
std::string outputPath;

uint32_t fakeClock() {
    fakeNow += 50;
    return fakeNow;
}

int readFromStream(uint8_t* byte) {
    if (streamPos >= stream.size()) return 0;
    *byte = stream[streamPos++];
    return 1;
}

int writeNowhere(uint8_t) { return 1; }

const LinkIo fuzzIo = {fakeClock, readFromStream, writeNowhere};

// A front end that answers questions from the input and saves to scratch.
void box(const char*, const char*, BoxIcon) {}
bool yesNo(QuestionId, const char*, const char*, int) {
    bool yes = answers & 1;
    answers >>= 1;
    return yes;
}
bool okCancel(QuestionId, const char*, const char*) { return false; }
bool openFile(const char*, FileFilter, std::string&) { return false; }
bool saveFile(const char*, FileFilter, const char*, std::string& fileName) {
    fileName = outputPath;
    return true;
}
void status(const char*) {}
void nothing() {}
void cursor(bool) {}
void pause(int) {}
bool initials(const InitialsDialog&, std::string&) { return false; }
bool routeTrackId(const RouteTrackIdDialog&, std::string&) { return false; }
bool trackSelect(const TrackSelectDialog&, int&) { return false; }
void deviceInfo(const char*, const char*) {}

void noCounts(long, long) {}

const Platform fuzzPlatform = {
    .messageBox = box,
    .askYesNo = yesNo,
    .askOkCancel = okCancel,
    .chooseFileToOpen = openFile,
    .chooseFileToSave = saveFile,
    .setStatusLine = status,
    .progress = noCounts,
    .pumpEvents = nothing,
    .repaintMainWindow = nothing,
    .setWaitCursor = cursor,
    .beep = nothing,
    .pause = pause,
    .initialsDialog = initials,
    .routeTrackIdDialog = routeTrackId,
    .trackSelectDialog = trackSelect,
    .deviceInfoDialog = deviceInfo,
};

}  // namespace

int fuzzDownload(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char* list = kProtocolLists[data[0] % kLists];
    if (list)
        setProtocolSet(list);
    else
        clearProtocolSet();
    static const TransferKind transferKinds[] = {TransferKind::Waypoints, TransferKind::Tracks, TransferKind::Waypoints,
                                                 TransferKind::Tracks};
    const TransferKind transferKind = transferKinds[data[1] & 3];
    const FileKind fileKind = static_cast<FileKind>(1 + ((data[1] >> 2) & 3) % 3);
    const ObjectKind objectKind = (data[1] & 16) ? LineObjects : PointObjects;
    answers = data[1] >> 5;
    outputPath = fuzzScratchDirectory() + (fileKind == MapInfoMif ? "/download.mif" : "/download.ovl");

    stream.clear();
    streamPos = 0;
    const uint8_t ack[2] = {kPidCommand, 0};
    appendSerialFrame(stream, kPidAck, ack, 2);
    size_t pos = 2;
    while (pos + 2 <= size) {
        uint8_t id = data[pos];
        size_t length = data[pos + 1];
        pos += 2;
        if (length > size - pos) length = size - pos;
        appendSerialFrame(stream, id, data + pos, (int)length);
        pos += length;
    }

    installLinkIo(&fuzzIo);
    installPlatform(&fuzzPlatform);
    downloadFromDevice(serialLink(1), transferKind, fileKind, objectKind);
    checkPointTable();
    installPlatform(nullptr);
    installLinkIo(nullptr);
    return 0;
}
