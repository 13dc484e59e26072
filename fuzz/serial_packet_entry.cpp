// Fuzzing Packet::receive on a serial byte stream. Byte 0 picks the
// receive time-out and whether errors are reported; the rest is what the
// line delivers. The clock is a fake one that moves on with every look, so
// time-outs end at once. Every packet received is sent again and must come
// back unchanged through a second receive.

#include <cstring>

#include "fuzz_entries.h"
#include "link/link_clock.h"
#include "link/packet.h"

namespace {

const uint8_t* streamData = nullptr;
size_t streamSize = 0;
size_t streamPos = 0;
uint32_t fakeNow = 0;

uint8_t echo[600];
size_t echoSize = 0;
bool echoOverflow = false;

uint32_t fakeClock() {
    fakeNow += 50;
    return fakeNow;
}

int readFromStream(uint8_t* byte) {
    if (streamPos >= streamSize) return 0;
    *byte = streamData[streamPos++];
    return 1;
}

int writeToEcho(uint8_t byte) {
    if (echoSize >= sizeof echo) {
        echoOverflow = true;
        return 1;
    }
    echo[echoSize++] = byte;
    return 1;
}

const LinkIo fuzzIo = {fakeClock, readFromStream, writeToEcho};

}  // namespace

int fuzzSerialPacket(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const double timeouts[] = {0.0, 0.5, 1.0, 5.0};
    const double timeout = timeouts[data[0] & 3];
    const int reportErrors = (data[0] >> 2) & 1;
    installLinkIo(&fuzzIo);

    streamData = data + 1;
    streamSize = size - 1;
    streamPos = 0;
    while (streamPos < streamSize) {
        size_t before = streamPos;
        Packet packet;
        std::memset(static_cast<void*>(&packet), 0xA5, sizeof packet);
        int ok = packet.receive(serialLink(1), reportErrors, timeout);
        FUZZ_CHECK(ok == 0 || ok == 1);
        FUZZ_CHECK(streamPos > before || streamPos == streamSize);
        if (!ok) continue;

        // The same packet through send and receive again.
        echoSize = 0;
        echoOverflow = false;
        FUZZ_CHECK(packet.send(serialLink(1), reportErrors) == 1);
        FUZZ_CHECK(!echoOverflow);
        const uint8_t* savedData = streamData;
        size_t savedSize = streamSize, savedPos = streamPos;
        streamData = echo;
        streamSize = echoSize;
        streamPos = 0;
        Packet again;
        std::memset(static_cast<void*>(&again), 0x5A, sizeof again);
        FUZZ_CHECK(again.receive(serialLink(1), reportErrors, timeout) == 1);
        FUZZ_CHECK(streamPos == echoSize);
        FUZZ_CHECK(again.id == packet.id && again.size == packet.size);
        FUZZ_CHECK(std::memcmp(again.data, packet.data, packet.size) == 0);
        FUZZ_CHECK(again.checksum == packet.checksum);
        streamData = savedData;
        streamSize = savedSize;
        streamPos = savedPos;
    }
    installLinkIo(nullptr);
    return 0;
}
