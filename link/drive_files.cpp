// Reaching the files of a drive from its mount point with openat, one part
// at a time, never following a link and never leaving its file system.

#include "link/drive_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The parts of a location ("Garmin\GPX" as "Garmin/GPX"), empty ones and
// "." left out. false for a ".." part.
bool splitLocation(const std::string& relative, std::vector<std::string>& parts) {
    parts.clear();
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("/\\", start);
        if (end == std::string::npos) end = relative.size();
        const std::string part = relative.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return true;
}

// An entry of dirFd opened without following it, refused (ELOOP) when it is
// a link and (EXDEV) when it lies on another file system than the drive's.
int openEntry(int dirFd, const std::string& name, int flags, dev_t device) {
    const int fd = openat(dirFd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st;
        errno = fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) ? ELOOP : error;
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_dev != device) {
        close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

// The drive's root and the folder of the given parts below it, made where
// missing when create is set.
int walkFolders(const std::string& root, const std::vector<std::string>& parts, size_t count, bool create,
                std::string* found, dev_t& device) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return -1;
    }
    device = st.st_dev;
    std::string path = root;
    for (size_t i = 0; i < count; i++) {
        std::string name = findDriveEntry(fd, parts[i]);
        if (name.empty() && create) {
            if (mkdirat(fd, parts[i].c_str(), 0755) == 0 || errno == EEXIST) name = findDriveEntry(fd, parts[i]);
        }
        if (name.empty()) {
            close(fd);
            errno = ENOENT;
            return -1;
        }
        const int next = openEntry(fd, name, O_RDONLY | O_DIRECTORY, device);
        const int error = errno;
        close(fd);
        if (next < 0) {
            errno = error;
            return -1;
        }
        fd = next;
        path += "/" + name;
    }
    if (found) *found = path;
    return fd;
}

}  // namespace

std::string findDriveEntry(int dirFd, const std::string& name) {
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return name;
    // A descriptor of its own: readdir moves its offset.
    const int copy = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) return "";
    DIR* handle = fdopendir(copy);
    if (!handle) {
        close(copy);
        return "";
    }
    std::string found;
    while (dirent* entry = readdir(handle)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(handle);
    return found;
}

int openDriveFolder(const std::string& root, const std::string& relative, bool create, std::string* found) {
    std::vector<std::string> parts;
    if (!splitLocation(relative, parts)) {
        errno = EINVAL;
        return -1;
    }
    dev_t device;
    return walkFolders(root, parts, parts.size(), create, found, device);
}

int openDriveFile(const std::string& root, const std::string& relative, std::string* found) {
    std::vector<std::string> parts;
    if (!splitLocation(relative, parts) || parts.empty()) {
        errno = EINVAL;
        return -1;
    }
    dev_t device;
    std::string folderPath;
    const int folder = walkFolders(root, parts, parts.size() - 1, false, &folderPath, device);
    if (folder < 0) return -1;
    const std::string name = findDriveEntry(folder, parts.back());
    struct stat st;
    int fd = -1;
    if (name.empty()) {
        errno = ENOENT;
    } else if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // errno as it is
    } else if (!S_ISREG(st.st_mode)) {
        errno = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;  // never opened: a FIFO would wait, a device might act
    } else if ((fd = openEntry(folder, name, O_RDONLY | O_NONBLOCK, device)) >= 0) {
        // Swapped for something else since the look: refused all the same.
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            fd = -1;
            errno = EINVAL;
        } else {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        }
    }
    const int error = errno;
    close(folder);
    errno = error;
    if (fd >= 0 && found) *found = folderPath + "/" + name;
    return fd;
}

std::vector<std::string> listDriveFolder(const std::string& root, const std::string& relative, const char* extension) {
    std::vector<std::string> names;
    std::vector<std::string> parts;
    if (!splitLocation(relative, parts)) return names;
    dev_t device;
    const int folder = walkFolders(root, parts, parts.size(), false, nullptr, device);
    if (folder < 0) return names;
    const int copy = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* handle = copy < 0 ? nullptr : fdopendir(copy);
    if (!handle && copy >= 0) close(copy);
    const size_t suffix = std::strlen(extension);
    while (handle) {
        const dirent* entry = readdir(handle);
        if (!entry) break;
        const size_t length = std::strlen(entry->d_name);
        if (entry->d_name[0] == '.' || length <= suffix || strcasecmp(entry->d_name + length - suffix, extension) != 0)
            continue;
        struct stat st;
        if (fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) && st.st_dev == device)
            names.push_back(entry->d_name);
    }
    if (handle) closedir(handle);
    close(folder);
    std::sort(names.begin(), names.end());
    return names;
}
