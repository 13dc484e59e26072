#pragma once
// The files of a drive, reached only inside it. Every location is taken
// relative to the mount point and walked one part after the other from
// there, each part matched without regard to case (vfat). A ".." part, a
// symbolic link anywhere on the way and a file system mounted below the
// drive are refused: nothing the drive holds leads out of it, for reading or
// for writing. errno after a refusal: EINVAL for "..", ELOOP for a link,
// EXDEV for another file system; ENOENT for a part that is missing.

#include <string>
#include <vector>

// The actual name of the entry of the folder dirFd that matches name
// without regard to case (the exact name first), or "" when there is none.
std::string findDriveEntry(int dirFd, const std::string& name);

// Opens a folder of the drive at root (O_RDONLY | O_DIRECTORY). With create,
// missing parts are made (0755), keeping the case of those that exist. found
// receives the folder's path as it was found (root + "/" + parts). The
// descriptor, or -1 with errno set.
int openDriveFolder(const std::string& root, const std::string& relative, bool create = false,
                    std::string* found = nullptr);

// Opens a regular file of the drive for reading, never waiting: a FIFO, a
// device, a folder or a link is refused (-1, errno ELOOP for a link, EINVAL
// for the others).
int openDriveFile(const std::string& root, const std::string& relative, std::string* found = nullptr);

// The regular files of a folder of the drive whose names end in extension
// (".gpx", without regard to case), sorted; names starting with a dot,
// links and everything else left out. Empty when the folder is missing or
// refused.
std::vector<std::string> listDriveFolder(const std::string& root, const std::string& relative, const char* extension);
