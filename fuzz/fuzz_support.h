#pragma once
// Scratch files for the entries whose code under test reads files.

#include <cstddef>
#include <cstdint>
#include <string>

// A private directory for this process, created on first use and removed
// with its files at exit.
const std::string& fuzzScratchDirectory();
// Writes the bytes to <scratch>/<name> and returns the full path ("" when
// writing failed).
std::string writeFuzzFile(const char* name, const uint8_t* data, size_t size);
