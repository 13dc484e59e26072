#pragma once
// Scratch files for the entries whose code under test reads files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A private directory for this process, created on first use and removed
// with its files at exit.
const std::string& fuzzScratchDirectory();
// Writes the bytes to <scratch>/<name> and returns the full path ("" when
// writing failed).
std::string writeFuzzFile(const char* name, const uint8_t* data, size_t size);

// Aborts unless every record 0..count-1 of the PointTable keeps the table's
// rules: count within capacity, texts terminated within 50 characters, the
// 0/1 flags 0 or 1.
void checkPointTable();

// Appends the serial frame of one packet (DLE, id, size, data, checksum,
// DLE, ETX, with DLE stuffing) to stream.
void appendSerialFrame(std::vector<uint8_t>& stream, uint8_t id, const uint8_t* data, int size);
