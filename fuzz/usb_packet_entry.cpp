// Fuzzing the USB packet reader and Packet::receive over USB. A fake
// driver opens a session and then answers every interrupt or bulk read
// with the next chunk of the input: one length byte and that many bytes
// (cut to the read's capacity). A length byte of 0 is an empty read; the
// end of the input is a failed read.

#include <cstring>

#include "fuzz_entries.h"
#include "link/link_clock.h"
#include "link/packet.h"
#include "link/link.h"
#include "link/transport.h"
#include "link/usb.h"

namespace {

const uint8_t* streamData = nullptr;
size_t streamSize = 0;
size_t streamPos = 0;
bool sessionAnswered = false;
int bulkReads = 0;
uint32_t fakeNow = 0;

// Every bulk read pauses 10 ms in the transport; a few per input are enough.
constexpr int kMaxBulkReads = 2;

uint32_t fakeClock() {
    fakeNow += 50;
    return fakeNow;
}

int noSerialRead(uint8_t*) { return 0; }
int noSerialWrite(uint8_t) { return 0; }
const LinkIo fuzzIo = {fakeClock, noSerialRead, noSerialWrite};

int chunk(uint8_t* buffer, int capacity) {
    if (streamPos >= streamSize) return -1;
    size_t length = streamData[streamPos++];
    if (length > streamSize - streamPos) length = streamSize - streamPos;
    size_t copied = length > (size_t)capacity ? (size_t)capacity : length;
    std::memcpy(buffer, streamData + streamPos, copied);
    streamPos += length;
    return (int)copied;
}

int fakeOpen(void*) { return 1; }
void fakeClose(void*) {}
uint32_t fakePacketSize(void*) { return 64; }

int fakeInterruptRead(void*, uint8_t* buffer, int capacity, unsigned) {
    if (!sessionAnswered) {
        // Session started: protocol layer, id 6, 4 data bytes.
        sessionAnswered = true;
        std::memset(buffer, 0, 16);
        buffer[4] = kUsbPidSessionStarted;
        buffer[8] = 4;
        return 16;
    }
    return chunk(buffer, capacity);
}

int fakeBulkRead(void*, uint8_t* buffer, int capacity, unsigned) {
    if (++bulkReads > kMaxBulkReads) return -1;
    return chunk(buffer, capacity);
}

int fakeBulkWrite(void*, const uint8_t*, int length) { return length; }

const UsbDriver fuzzDriver = {fakeOpen,     fakeClose,     fakePacketSize, fakeInterruptRead,
                              fakeBulkRead, fakeBulkWrite, nullptr,        nullptr};

}  // namespace

int fuzzUsbPacket(const uint8_t* data, size_t size) {
    installLinkIo(&fuzzIo);
    installUsbDriver(&fuzzDriver);
    streamData = data;
    streamSize = size;
    streamPos = 0;
    sessionAnswered = false;
    bulkReads = 0;
    FUZZ_CHECK(openUsbDevice() == 1);
    while (streamPos < streamSize && bulkReads <= kMaxBulkReads) {
        Packet packet;
        std::memset(static_cast<void*>(&packet), 0xA5, sizeof packet);
        int ok = packet.receive(usbLink(), 1, 5.0);
        FUZZ_CHECK(ok == 0 || ok == 1);
        if (!ok) continue;
        // A valid packet: its checksum matches its bytes.
        unsigned sum = packet.id + packet.size;
        for (int i = 0; i < packet.size; i++) sum += packet.data[i];
        FUZZ_CHECK((uint8_t)(sum + packet.checksum) == 0);
    }
    usbDrainPending();
    closeLink();
    installUsbDriver(nullptr);
    installLinkIo(nullptr);
    return 0;
}
