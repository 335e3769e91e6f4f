// A file the user named (a firmware file, the settings file), read whole and safely: only a
// regular file is opened at all, so a named pipe cannot block the program and a device is never
// touched, and no more than a bound is read, so /dev/zero behind a link or a disk image cannot
// eat the machine's memory.
#pragma once

#include <cstddef>
#include <string>

namespace pelion {

enum class FileRead {
    ok,
    cannotOpen,  // missing, not permitted, ...; osText says why
    folder,
    notRegular,  // a named pipe, a device, a socket
    tooLarge,    // more than the bound
    readError,   // failed on the way; osText says why
};

struct RegularFileText {
    FileRead result = FileRead::ok;
    std::string text;    // the whole content when ok
    std::string osText;  // the operating system's words for cannotOpen and readError
};

// `utf8Path` is UTF-8. Never blocks on what the path names.
RegularFileText readRegularFile(const std::string& utf8Path, std::size_t maxBytes);

}  // namespace pelion
