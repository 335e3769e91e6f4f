// Fuzz target: the firmware file reader on any file's text, read from memory. Loading either
// succeeds with image 0 chosen and no header line among the lines to program, or fails with a
// reason in words and nothing left that a run could program. Reading the header alone never
// fails otherwise than with the reader's own error.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "firmware/catalogue.h"
#include "firmware/file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelion;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ChosenImage.store(-1);
    std::string reason;
    if (loadFirmwareText(text, &reason)) {
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

    std::istringstream in{std::string(text)};
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
