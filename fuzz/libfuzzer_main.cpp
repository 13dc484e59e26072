// The libFuzzer entry of one fuzz target; WEGMATE_FUZZ_ENTRY names the
// function of fuzz_entries.h that the target runs.

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return WEGMATE_FUZZ_ENTRY(data, size); }
