// Fuzzing a whole serial upload of a hostile input file: the reader, the
// point names, the sorting, the splitting and the record encoders.
//   byte 0  protocol list (as in the download target)
//   byte 1  bit 0 transfer kind (7, 6), bits 1..2 file kind, bits 3..7
//           answers to the questions in turn
//   byte 2  replies: bit i set = the i-th reply (cyclic) is a NAK, else ACK
//   then    the file (MIF text, kFuzzMidSeparator, MID text for MIF)
// The route/track id dialog is confirmed with its preset, the initials
// dialog is cancelled.

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "link/link_clock.h"
#include "link/protocol_set.h"
#include "model/point_table.h"
#include "transfers/upload.h"

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

uint32_t fakeNow = 0;
unsigned answers = 0;
uint8_t nakPattern = 0;
int replyCount = 0;
uint8_t reply[8];
int replyPos = 8;
std::string inputPath;

uint32_t fakeClock() {
    fakeNow += 50;
    return fakeNow;
}

// Every read that finds no reply under way starts the next ACK or NAK frame.
int replyByte(uint8_t* byte) {
    if (replyPos >= 8) {
        const bool nak = (nakPattern >> (replyCount++ % 8)) & 1;
        const uint8_t id = nak ? 21 : 6;
        // DLE id size data(2) checksum DLE ETX; the data never holds a DLE.
        const uint8_t sum = (uint8_t)(id + 2 + 0);
        const uint8_t frame[8] = {16, id, 2, 0, 0, (uint8_t)(0x100 - sum), 16, 3};
        std::memcpy(reply, frame, 8);
        replyPos = 0;
    }
    *byte = reply[replyPos++];
    return 1;
}

int writeNowhere(uint8_t) { return 1; }

const LinkIo fuzzIo = {fakeClock, replyByte, writeNowhere};

void box(const char*, const char*, BoxIcon) {}
bool yesNo(QuestionId, const char*, const char*, int) {
    bool yes = answers & 1;
    answers >>= 1;
    return yes;
}
bool okCancel(QuestionId, const char*, const char*) { return false; }
bool openFile(const char*, FileFilter, std::string& fileName) {
    fileName = inputPath;
    return true;
}
bool saveFile(const char*, FileFilter, const char*, std::string&) { return false; }
void status(const char*) {}
void nothing() {}
void cursor(bool) {}
void pause(int) {}
bool initials(const InitialsDialog&, std::string&) { return false; }
bool routeTrackId(const RouteTrackIdDialog&, std::string&) { return true; }
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

int fuzzUpload(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const char* list = kProtocolLists[data[0] % kLists];
    if (list)
        setProtocolSet(list);
    else
        clearProtocolSet();
    const TransferKind transferKind = (data[1] & 1) ? TransferKind::Tracks : TransferKind::Waypoints;
    const FileKind fileKind = static_cast<FileKind>(1 + ((data[1] >> 1) & 3) % 3);
    answers = data[1] >> 3;
    nakPattern = data[2];
    replyCount = 0;
    replyPos = 8;

    const uint8_t* file = data + 3;
    const size_t length = size - 3;
    if (fileKind == MapInfoMif) {
        const size_t separatorLength = sizeof kFuzzMidSeparator - 1;
        size_t mifLength = length, midStart = length;
        for (size_t i = 0; i + separatorLength <= length; i++) {
            if (std::memcmp(file + i, kFuzzMidSeparator, separatorLength) == 0) {
                mifLength = i;
                midStart = i + separatorLength;
                break;
            }
        }
        inputPath = writeFuzzFile("upload.mif", file, mifLength);
        FUZZ_CHECK(!writeFuzzFile("upload.mid", file + midStart, length - midStart).empty());
    } else {
        inputPath = writeFuzzFile("upload.ovl", file, length);
    }
    FUZZ_CHECK(!inputPath.empty());

    installLinkIo(&fuzzIo);
    installPlatform(&fuzzPlatform);
    uploadToDevice(serialLink(1), transferKind, fileKind);
    checkPointTable();
    installPlatform(nullptr);
    installLinkIo(nullptr);
    return 0;
}
