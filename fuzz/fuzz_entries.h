#pragma once
// The fuzz entry points. Each takes one input of any length and must return
// 0 for every input; a fault shows up as a sanitizer report or an abort from
// FUZZ_CHECK. libFuzzer calls them through libfuzzer_main.cpp, and the
// corpus replay test calls them on every stored input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition) \
    do { \
        if (!(condition)) { \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort(); \
        } \
    } while (0)

// Byte 0 picks the record kind and format, byte 1 the route header count,
// the rest (at most 255 bytes) is the packet data.
int fuzzRecords(const uint8_t* data, size_t size);
// MIF text, the separator kFuzzMidSeparator, MID text.
int fuzzMifReader(const uint8_t* data, size_t size);
// Byte 0 picks transfer kind and question flag, the rest is the file.
int fuzzOvlAsciiReader(const uint8_t* data, size_t size);
// Byte 0 picks the transfer kind, the rest is the file.
int fuzzOvlBinaryReader(const uint8_t* data, size_t size);
// Byte 0 picks the transfer kind, the rest is the GPX file.
int fuzzGpxReader(const uint8_t* data, size_t size);
// Byte 0 picks reading or appending, the rest is the FIT file.
int fuzzFitReader(const uint8_t* data, size_t size);
// Waypoint records (selector, length, bytes) written by every file writer
// and read back.
int fuzzFileWriters(const uint8_t* data, size_t size);
// A whole serial download: protocol list, command choices, then the
// receiver's packets as id, size, data.
int fuzzDownload(const uint8_t* data, size_t size);
// A whole serial upload: protocol list, command choices, reply pattern,
// then the input file.
int fuzzUpload(const uint8_t* data, size_t size);
// The device identification: byte 0 showDialog, then the receiver's
// packets as id, size, data.
int fuzzDeviceQuery(const uint8_t* data, size_t size);
// A drive's GarminDevice.xml, also read as a mount table.
int fuzzDeviceXml(const uint8_t* data, size_t size);
// Byte 0 picks the receive time-out, the rest is the serial byte stream.
int fuzzSerialPacket(const uint8_t* data, size_t size);
// A stream of USB reads: each chunk is one length byte and its bytes.
int fuzzUsbPacket(const uint8_t* data, size_t size);

// Between the MIF and the MID half of a mif_reader input.
constexpr char kFuzzMidSeparator[] = "\n@@MID@@\n";
