#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "firmware/regular_file.h"

namespace pelion {

namespace {

RegularFileText refused(FileRead result, int osCode = 0) {
    return {result, {}, osCode != 0 ? std::strerror(osCode) : ""};
}

FileRead kindOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return FileRead::folder;
    }
    return S_ISREG(info.st_mode) ? FileRead::ok : FileRead::notRegular;
}

// Reads to the end, or one byte past the bound.
RegularFileText readOpen(int fd, std::size_t maxBytes) {
    RegularFileText file;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return refused(FileRead::readError, errno);
        }
        if (n == 0) {
            return file;
        }
        file.text.append(buffer, static_cast<std::size_t>(n));
        if (file.text.size() > maxBytes) {
            return refused(FileRead::tooLarge);
        }
    }
}

}  // namespace

// The path is looked at before it is opened, and the open file once more: what was opened is
// what was looked at, even if the path was changed in between.
RegularFileText readRegularFile(const std::string& utf8Path, std::size_t maxBytes) {
    struct stat info {};
    if (stat(utf8Path.c_str(), &info) != 0) {
        return refused(FileRead::cannotOpen, errno);
    }
    if (const FileRead kind = kindOf(info); kind != FileRead::ok) {
        return refused(kind);
    }
    if (static_cast<std::size_t>(info.st_size) > maxBytes) {
        return refused(FileRead::tooLarge);
    }
    const int fd = open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return refused(FileRead::cannotOpen, errno);
    }
    RegularFileText file;
    if (fstat(fd, &info) != 0) {
        file = refused(FileRead::readError, errno);
    } else if (const FileRead kind = kindOf(info); kind != FileRead::ok) {
        file = refused(kind);
    } else {
        file = readOpen(fd, maxBytes);
    }
    close(fd);
    return file;
}

}  // namespace pelion
