// Fuzzing the device identification over the serial line: the receiver's
// answers come from the input as packets (id, size, data), framed by this
// entry; the product request gets its ACK first.
//   byte 0  bit 0: showDialog
// Afterwards the protocol list in force must be a terminated text that the
// format choices can search.

#include <cstring>
#include <vector>

#include "fuzz_entries.h"
#include "fuzz_support.h"
#include "link/device_info.h"
#include "link/link_clock.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "records/record_formats.h"

namespace {

std::vector<uint8_t> stream;
size_t streamPos = 0;
uint32_t fakeNow = 0;

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

}  // namespace

int fuzzDeviceQuery(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int showDialog = data[0] & 1;
    stream.clear();
    streamPos = 0;
    const uint8_t ack[2] = {kPidProductRqst, 0};
    appendSerialFrame(stream, kPidAck, ack, 2);
    size_t pos = 1;
    while (pos + 2 <= size) {
        uint8_t id = data[pos];
        size_t length = data[pos + 1];
        pos += 2;
        if (length > size - pos) length = size - pos;
        appendSerialFrame(stream, id, data + pos, (int)length);
        pos += length;
    }
    installLinkIo(&fuzzIo);
    int result = queryDeviceInfo(serialLink(1), showDialog);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(std::strlen(deviceDescriptionText()) < 1500);
    if (result == 1) FUZZ_CHECK(protocolSet() != nullptr);
    // Every format choice works on whatever list is in force.
    (void)downloadWaypointFormat(protocolSet());
    (void)uploadRouteHeaderFormat(protocolSet());
    installLinkIo(nullptr);
    return 0;
}
