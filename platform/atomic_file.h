#pragma once
// Replacing a user's file safely: everything is written to a temporary file
// in the same directory, which is renamed over the target only when it was
// written completely. A failed write leaves the old file (or none) in place.

#include <cstdio>
#include <string>

struct AtomicFile {
    FILE* file = nullptr;
    std::string path;      // the target
    std::string tempPath;  // the temporary file beside it
    bool failed = false;   // a write through atomicWrite() fell short
};

// Creates the temporary file ("wb"). 1 on success. A symbolic link is
// followed: the file it leads to is replaced and the link stays. A name that
// is a device, a FIFO or a socket is refused.
int atomicOpen(AtomicFile& target, const char* path);
// fwrite that remembers a short write. 1 when all bytes were written.
int atomicWrite(AtomicFile& target, const void* data, size_t size);
// fputs-style helper for text lines (no conversion of line ends).
int atomicPuts(AtomicFile& target, const char* text);
// Flushes, syncs and closes the temporary file, then renames it over the
// target. Fails (and removes the temporary file) when any write failed.
int atomicCommit(AtomicFile& target);
// Closes and removes the temporary file; the target is untouched.
void atomicAbort(AtomicFile& target);
// Commits several files only when all of them were written: each is closed
// and checked first, then all are renamed. 1 on success; on failure every
// temporary file is removed and no target is touched.
int atomicCommitAll(AtomicFile* const* targets, int count);
