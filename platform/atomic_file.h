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
// is a device, a FIFO or a socket is refused, and so is a file the user may
// not write (as cp refuses it: root may write every file).
int atomicOpen(AtomicFile& target, const char* path);
// Why the last atomicOpen refused its target, as the German message to
// show, or nullptr when it did not refuse it (then only the generic write
// error applies).
const char* atomicRefusal();
// The file a name leads to: symbolic links followed, also one whose target
// does not exist yet. Empty after too many links.
std::string followFileLinks(std::string path);
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

// The calls that make a written file durable and put it in place, for every
// writer of files (this one and the drive upload). Tests replace them to see
// them called or to make them fail.
struct FileSystemCalls {
    int (*fsync)(int fd);
    int (*renameat2)(int oldDirectory, const char* oldName, int newDirectory, const char* newName, unsigned flags);
};
FileSystemCalls& fileSystemCalls();
