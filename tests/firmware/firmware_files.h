// Firmware files for the reader tests: texts built from the catalogue, written to a folder of
// the test's own that is removed afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "firmware/catalogue.h"

namespace pelion::test {

// An embedded image as the text of a firmware file: its header, then its lines.
inline std::string imageFileText(int image) {
    const TBl3FileHeader h = getFirmwareHeader(image);
    std::string text =
        "bootloader=" + std::to_string(h.orvo_bl) + "\n" +
        "bootloader version=" + std::to_string(h.orvo_bl_ver) + "\n" +
        "class=" + std::to_string(h.orvo_class) + "\n" + "versionH=" + std::to_string(h.orvo_verH) +
        "\n" + "versionL=" + std::to_string(h.orvo_verL) + "\n" +
        "platform=" + std::to_string(h.orvo_platform) + "\n" +
        "print=" + std::to_string(h.orvo_print) + "\n" + "date=" + h.orvo_date + "\n";
    std::string line;
    int lastLine = 0;
    TBl3FileHeader unused;
    for (int n = 0; n <= getFirmwareLastLine(image); ++n) {
        getFirmwareData(image, cFW_LINE, n, line, lastLine, unused);
        text += line + "\n";
    }
    return text;
}

class TempFolder {
public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("pelion-firmware-test-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string write(const std::string& name, const std::string& content) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }
    std::string pathOf(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace pelion::test
