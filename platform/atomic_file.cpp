#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kMsgWriteProtected[] = "Die Datei %s ist schreibgeschützt und wird nicht ersetzt.";

std::string refusal;

int systemRenameat2(int oldDirectory, const char* oldName, int newDirectory, const char* newName, unsigned flags) {
    return renameat2(oldDirectory, oldName, newDirectory, newName, flags);
}

FileSystemCalls calls = {::fsync, systemRenameat2};

int closeChecked(AtomicFile& target) {
    if (!target.file) return 0;
    int ok = !target.failed;
    if (fflush(target.file) != 0) ok = 0;
    if (ok && calls.fsync(fileno(target.file)) != 0) ok = 0;
    if (fclose(target.file) != 0) ok = 0;
    target.file = nullptr;
    return ok;
}

}  // namespace

// A symbolic link is followed so that the rename replaces the file and
// keeps the link.
std::string followFileLinks(std::string path) {
    for (int depth = 0; depth < 40; depth++) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::vector<char> buffer((size_t)info.st_size + 256);
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
        if (length <= 0) return {};
        std::string next(buffer.data(), (size_t)length);
        const size_t slash = path.find_last_of('/');
        if (next[0] != '/' && slash != std::string::npos) next = path.substr(0, slash + 1) + next;
        path = next;
    }
    return {};
}

FileSystemCalls& fileSystemCalls() { return calls; }

const char* atomicRefusal() { return refusal.empty() ? nullptr : refusal.c_str(); }

int atomicOpen(AtomicFile& target, const char* path) {
    target = AtomicFile{};
    refusal.clear();
    if (!path || !*path) return 0;
    target.path = followFileLinks(path);
    if (target.path.empty()) return 0;
    // A device, a FIFO or a socket of that name is never replaced by a file.
    struct stat kind;
    const bool exists = stat(target.path.c_str(), &kind) == 0;
    if (exists && (S_ISCHR(kind.st_mode) || S_ISBLK(kind.st_mode) || S_ISFIFO(kind.st_mode) || S_ISSOCK(kind.st_mode)))
        return 0;
    // The rename needs only the folder's permission: a file the user could
    // not write itself is not replaced either.
    if (exists && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        char message[4096 + 128];
        std::snprintf(message, sizeof message, kMsgWriteProtected, target.path.c_str());
        refusal = message;
        return 0;
    }
    path = target.path.c_str();
    // A short name of its own, so that a target name at the length limit
    // still has room for it.
    const size_t slash = target.path.find_last_of('/');
    std::string buffer =
        (slash == std::string::npos ? std::string() : target.path.substr(0, slash + 1)) + ".wegmate-XXXXXX";
    int fd = mkstemp(buffer.data());
    if (fd < 0) return 0;
    // mkstemp creates 0600: keep the mode of the file being replaced, or
    // give a new file the usual mode.
    struct stat existing;
    if (stat(path, &existing) == 0) {
        fchmod(fd, existing.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    target.file = fdopen(fd, "wb");
    if (!target.file) {
        close(fd);
        unlink(buffer.c_str());
        return 0;
    }
    target.tempPath = buffer;
    return 1;
}

int atomicWrite(AtomicFile& target, const void* data, size_t size) {
    if (!target.file || target.failed) return 0;
    if (size && fwrite(data, 1, size, target.file) != size) {
        target.failed = true;
        return 0;
    }
    return 1;
}

int atomicPuts(AtomicFile& target, const char* text) { return atomicWrite(target, text, strlen(text)); }

int atomicCommit(AtomicFile& target) {
    AtomicFile* one[] = {&target};
    return atomicCommitAll(one, 1);
}

void atomicAbort(AtomicFile& target) {
    if (target.file) {
        fclose(target.file);
        target.file = nullptr;
    }
    if (!target.tempPath.empty()) {
        unlink(target.tempPath.c_str());
        target.tempPath.clear();
    }
}

int atomicCommitAll(AtomicFile* const* targets, int count) {
    int ok = 1;
    for (int i = 0; i < count; i++)
        if (!closeChecked(*targets[i])) ok = 0;
    // Keep a hard link to every file being replaced, so that a rename that
    // fails half-way through a set can put the earlier ones back.
    // (File systems without hard links simply get no way back.)
    std::vector<std::string> backups(count);
    std::vector<char> existed(count, 1);
    for (int i = 0; ok && count > 1 && i < count; i++) {
        std::string backup = targets[i]->tempPath + ".old";
        if (link(targets[i]->path.c_str(), backup.c_str()) == 0)
            backups[i] = backup;
        else if (errno == ENOENT)
            existed[i] = 0;
    }
    int renamed = 0;
    for (; ok && renamed < count; renamed++)
        if (calls.renameat2(AT_FDCWD, targets[renamed]->tempPath.c_str(), AT_FDCWD, targets[renamed]->path.c_str(),
                            0) != 0)
            ok = 0;
        else
            targets[renamed]->tempPath.clear();
    if (!ok) {
        // renamed is the count of files already in place (plus the failed one).
        for (int i = 0; i < renamed && i < count; i++) {
            if (!targets[i]->tempPath.empty()) continue;  // this one was not replaced
            if (!backups[i].empty())
                rename(backups[i].c_str(), targets[i]->path.c_str());
            else if (!existed[i])
                unlink(targets[i]->path.c_str());
            backups[i].clear();
        }
        for (int i = 0; i < count; i++) atomicAbort(*targets[i]);
    }
    for (const std::string& backup : backups)
        if (!backup.empty()) unlink(backup.c_str());
    return ok;
}
