#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/history_file.h"

namespace pelion {

namespace {

std::string systemWords(int error) {
    return std::strerror(error);
}

// Closes the descriptor, and with it the lock, on every way out.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

bool lockWholeFile(int fd) {
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// True when the last byte of a non-empty file is not a line end: a crash cut its last record.
bool endsInCutLine(int fd, off_t size) {
    char last = '\n';
    return size > 0 && pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

std::string makeFolderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
    }
    return error ? "cannot create the folder " + folder.string() + " (" + error.message() + ")"
                 : std::string{};
}

}  // namespace

std::string appendWholeLine(const std::string& path, const std::string& line,
                            std::uint64_t rotateBytes, const std::string& previousPath) {
    if (std::string problem = makeFolderOf(path); !problem.empty()) {
        return problem;
    }
    // Another process may rotate the file between our open and our lock: then the file we hold
    // is no longer the history, and we open the new one.
    for (;;) {
        const OpenFile file(open(
            path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
        if (file.fd() < 0) {
            return "cannot open the history " + path + " (" + systemWords(errno) + ")";
        }
        struct stat held {};
        if (fstat(file.fd(), &held) != 0 || !S_ISREG(held.st_mode)) {
            return "the history " + path + " is not a regular file";
        }
        if (!lockWholeFile(file.fd())) {
            return "cannot lock the history " + path + " (" + systemWords(errno) + ")";
        }
        struct stat named {};
        if (stat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino ||
            named.st_dev != held.st_dev) {
            continue;
        }
        fstat(file.fd(), &held);
        if (static_cast<std::uint64_t>(held.st_size) >= rotateBytes) {
            if (rename(path.c_str(), previousPath.c_str()) != 0) {
                return "cannot rotate the history " + path + " (" + systemWords(errno) + ")";
            }
            continue;
        }
        const std::string bytes =
            (endsInCutLine(file.fd(), held.st_size) ? "\n" : "") + line + "\n";
        if (!writeAll(file.fd(), bytes) || fsync(file.fd()) != 0) {
            return "cannot write the history " + path + " (" + systemWords(errno) + ")";
        }
        return {};
    }
}

}  // namespace pelion
