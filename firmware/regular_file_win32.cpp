#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "firmware/regular_file.h"

namespace pelion {

namespace {

RegularFileText refused(FileRead result, std::string osText = {}) {
    return {result, {}, std::move(osText)};
}

}  // namespace

// Windows opens a named pipe or a device (\\.\pipe\..., COM1, NUL) through the same call as a
// file; the file system tells them apart before anything is opened.
RegularFileText readRegularFile(const std::string& utf8Path, std::size_t maxBytes) {
    const std::filesystem::path path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size()));
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return refused(FileRead::cannotOpen,
                       error ? error.message() : std::string("the file does not exist"));
    }
    if (std::filesystem::is_directory(status)) {
        return refused(FileRead::folder);
    }
    if (!std::filesystem::is_regular_file(status)) {
        return refused(FileRead::notRegular);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return refused(FileRead::cannotOpen, "the file cannot be opened");
    }
    RegularFileText file;
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        file.text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
        if (file.text.size() > maxBytes) {
            return refused(FileRead::tooLarge);
        }
    }
    if (in.bad()) {
        return refused(FileRead::readError, "the file could not be read to its end");
    }
    return file;
}

}  // namespace pelion
