// The firmware file: eight header lines "key=value" in fixed order, then Intel-HEX lines.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "firmware/catalogue.h"

namespace pelion {

// Why a firmware file could not be read: which line (1-based) and what was wrong with it.
// what() is the whole message for the user, e.g. 'line 3: "Class=26113" is not the key "class"'.
class FirmwareFileError : public std::runtime_error {
public:
    FirmwareFileError(int line, const std::string& what)
        : std::runtime_error(what), lineNumber(line) {}

    int lineNumber;  // 0 when the file itself could not be opened or read
};

// The value after the first "=" when the text before it is exactly `key`, else empty.
std::string getKeyValue(const std::string& line, const std::string& key);

// Reads the next eight lines into `header`; throws FirmwareFileError on an unreadable stream or
// a value that is not an integer. Fields before the failing line keep their new values.
// Lines end in LF or CR LF; a UTF-8 byte-order mark before the first line is skipped.
void readFileHeader(std::istream& file, TBl3FileHeader& header);

// The same for the file `sFile` (UTF-8), read as loadFirmwareFile reads it: a regular file of at
// most 16 MiB; anything else throws FirmwareFileError (line 0) at once.
void readFirmwareFileHeader(const std::string& sFile, TBl3FileHeader& header);

// Loads a file as image 0 (FirmwareFileHeader, FirmwareLines) and sets ChosenImage to 0.
// False when the file cannot be read, its header is malformed or a line before the last holds
// data the logger would not be programmed with (anything but a 64-byte data record, each block
// once; records without data, an extended address of zero among them, load); `reason` then
// tells why, naming the line, in words a user can act on. A failed load never
// leaves lines that a run could program: FirmwareLines is then empty and a ChosenImage of 0 becomes
// -1. `sFile` is UTF-8.
bool loadFirmwareFile(const std::string& sFile, std::string* reason = nullptr);
// The same for a file's whole text already in memory.
bool loadFirmwareText(std::string_view content, std::string* reason = nullptr);

}  // namespace pelion
