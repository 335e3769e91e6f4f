// Fuzz target: the firmware file reader on any file. Loading either succeeds with image 0
// chosen and no header line among the lines to program, or fails with a reason in words and
// nothing left that a run could program. Reading the header alone never fails otherwise than
// with the reader's own error.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "firmware/catalogue.h"
#include "firmware/file_reader.h"

namespace {

// One in-memory file for the whole run, rewritten for each input.
int memoryFile() {
    static const int fd = memfd_create("firmware-file", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelion;
    const int fd = memoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    ChosenImage.store(-1);
    std::string reason;
    const bool loaded = loadFirmwareFile("/proc/self/fd/" + std::to_string(fd), &reason);
    if (loaded) {
        if (ChosenImage.load() != 0) {
            std::abort();
        }
        for (const std::string& line : FirmwareLines) {
            if (line.find('=') != std::string::npos) {
                std::abort();
            }
        }
    } else if (reason.empty() || !FirmwareLines.empty() || ChosenImage.load() == 0) {
        std::abort();
    }

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    TBl3FileHeader header;
    try {
        readFileHeader(in, header);
    } catch (const FirmwareFileError& e) {
        if (std::string(e.what()).empty()) {
            std::abort();
        }
    }
    return 0;
}
