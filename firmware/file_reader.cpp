#include "firmware/file_reader.h"

#include <cstdint>
#include <map>
#include <sstream>
#include <string_view>
#include <vector>

#include "firmware/regular_file.h"
#include "link/hex_record.h"

namespace pelion {

namespace {

// A real image is some 100 KiB; these bounds keep a wrong pick (a disk image, a video) from
// eating the machine's memory before the header check can reject it.
constexpr std::size_t cMAX_FILE_BYTES = 16u << 20;
constexpr std::size_t cMAX_FILE_LINES = 200000;
constexpr std::size_t cMAX_HEADER_LINE = 4096;

constexpr std::string_view cBYTE_ORDER_MARK = "\xEF\xBB\xBF";

constexpr std::uint8_t cDATA_RECORD_BYTES = 0x40;
constexpr std::uint8_t cHEX_DATA = 0;
constexpr std::uint8_t cHEX_END_OF_FILE = 1;

// Records that hold nothing to program. Toolchains write an extended address of zero before
// the data and a start address before the end record; the update procedure passes over them.
// An extended address other than zero would move the data after it away from the 16-bit
// addresses the logger is given.
struct TNoDataRecord {
    std::uint8_t type;
    std::uint8_t bytes;
    bool mustBeZero;
    const char* name;
};

constexpr TNoDataRecord cNO_DATA_RECORDS[] = {
    {0x02, 2, true, "an extended segment address"},
    {0x03, 4, false, "a start segment address"},
    {0x04, 2, true, "an extended linear address"},
    {0x05, 4, false, "a start linear address"},
};

enum class TValueKind { Bootloader, Integer, Date };

struct THeaderLine {
    const char* key;
    TValueKind kind;
    std::uint16_t TBl3FileHeader::*field;  // unused for the date
};

constexpr THeaderLine cHEADER_LINES[] = {
    {"bootloader", TValueKind::Bootloader, &TBl3FileHeader::orvo_bl},
    {"bootloader version", TValueKind::Integer, &TBl3FileHeader::orvo_bl_ver},
    {"class", TValueKind::Integer, &TBl3FileHeader::orvo_class},
    {"versionH", TValueKind::Integer, &TBl3FileHeader::orvo_verH},
    {"versionL", TValueKind::Integer, &TBl3FileHeader::orvo_verL},
    {"platform", TValueKind::Integer, &TBl3FileHeader::orvo_platform},
    {"print", TValueKind::Integer, &TBl3FileHeader::orvo_print},
    {"date", TValueKind::Date, nullptr},
};

// The text of a line as a message can show it: quoted, shortened, odd bytes as \xNN.
std::string shownText(std::string_view text) {
    constexpr std::size_t cSHOWN = 40;
    static const char cDIGITS[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : text.substr(0, cSHOWN)) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += cDIGITS[c >> 4];
            out += cDIGITS[c & 0x0F];
        }
    }
    return out + (text.size() > cSHOWN ? "...\"" : "\"");
}

[[noreturn]] void fail(int line, const std::string& what) {
    throw FirmwareFileError(line, "line " + std::to_string(line) + ": " + what);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Blanks, an optional sign, then decimal digits or hexadecimal ones after $, x or 0x, and
// nothing else. Decimal numbers must fit 32 signed bits, hexadecimal ones 32 bits.
bool toInteger(std::string_view text, std::int64_t& value) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos)
        return false;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return false;
    const std::int64_t limit = base == 16 ? 0xFFFFFFFF : (negative ? 0x80000000 : 0x7FFFFFFF);
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || digit >= base)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

// One line without its end (LF or CR LF). Past the end of the stream: an empty line, and
// pastEnd set.
std::string readHeaderLine(std::istream& file, int lineNumber, bool& pastEnd) {
    std::string line;
    pastEnd = file.peek() == std::char_traits<char>::eof();
    for (int c = file.get(); c != std::char_traits<char>::eof() && c != '\n'; c = file.get()) {
        if (line.size() == cMAX_HEADER_LINE)
            fail(lineNumber, "longer than " + std::to_string(cMAX_HEADER_LINE) +
                                 " characters; this is not a firmware file");
        line += static_cast<char>(c);
    }
    if (file.bad())
        fail(lineNumber, "the file could not be read");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

void storeValue(const THeaderLine& entry, const std::string& line, bool pastEnd, int lineNumber,
                TBl3FileHeader& header) {
    const std::string value = getKeyValue(line, entry.key);
    switch (entry.kind) {
        case TValueKind::Bootloader:
            header.*entry.field = value == "2" ? 2 : value == "3" ? 3 : 0xFFFF;
            return;
        case TValueKind::Date:
            header.orvo_date = value;
            return;
        case TValueKind::Integer:
            break;
    }
    const std::string expected = std::string("the line \"") + entry.key + "=...\"";
    if (pastEnd)
        fail(lineNumber, "the file ends before " + expected);
    if (line.empty())
        fail(lineNumber, "empty where " + expected + " belongs");
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || line.compare(0, equals, entry.key) != 0)
        fail(lineNumber, shownText(line) + " is not the key \"" + entry.key + "\"");
    std::int64_t number = 0;
    if (!toInteger(value, number))
        fail(lineNumber,
             "the value " + shownText(value) + " of \"" + entry.key + "\" is not a whole number");
    header.*entry.field = static_cast<std::uint16_t>(number & 0xFFFF);
}

struct TFileReadWords {
    FileRead result;
    const char* words;
};

constexpr TFileReadWords cFILE_READ_WORDS[] = {
    {FileRead::cannotOpen, "cannot open the file"},
    {FileRead::folder, "this is a folder, not a firmware file"},
    {FileRead::notRegular,
     "this is not a regular file (a named pipe, a device or a socket), so it is no firmware "
     "file"},
    {FileRead::tooLarge,
     "the file is larger than 16 MiB; a firmware file is far smaller, so this is not one"},
    {FileRead::readError, "the file could not be read to its end"},
};

std::string readWholeFile(const std::string& sFile) {
    RegularFileText file = readRegularFile(sFile, cMAX_FILE_BYTES);
    if (file.result == FileRead::ok)
        return std::move(file.text);
    std::string what = "the file cannot be read";
    for (const TFileReadWords& entry : cFILE_READ_WORDS) {
        if (entry.result == file.result)
            what = entry.words;
    }
    throw FirmwareFileError(0, file.osText.empty() ? what : what + ": " + file.osText);
}

// A programmed line with the number (1-based) of the file line it came from.
struct TNumberedLine {
    int number;
    std::string text;
};

std::string hexByte(std::uint8_t b) {
    return {nibbleToHex(b >> 4), nibbleToHex(b)};
}

const TNoDataRecord* noDataRecord(std::uint8_t type) {
    for (const TNoDataRecord& record : cNO_DATA_RECORDS) {
        if (record.type == type)
            return &record;
    }
    return nullptr;
}

// A record in HexRecord that holds no data: refused when it is malformed or would move the data
// after it.
void checkNoDataRecord(const TNoDataRecord& record, int lineNumber) {
    const std::uint8_t count = HexRecord[0];
    const std::string what = std::string(record.name) + " (type " + hexByte(record.type) + ")";
    if (count != record.bytes)
        fail(lineNumber, what + " with " + std::to_string(count) + " data bytes; it must have " +
                             std::to_string(record.bytes));
    if (record.mustBeZero && (HexRecord[4] != 0 || HexRecord[5] != 0))
        fail(lineNumber, what + " of " + hexByte(HexRecord[4]) + hexByte(HexRecord[5]) +
                             "; the logger is given only the 16-bit address of each record, so "
                             "the data after it would land in the wrong place");
}

// The update procedure sends only 64-byte data records (type 0) and passes over every other
// record; of several records for the vector table it programs only the last; the last line
// must be the end record. A file whose data would be passed over would be programmed in part
// and still end as a success, so it is refused here, at the first line whose data the logger
// would not be given; records that hold no data load. Each block is given once: of two records
// for one block it is not clear which the logger should keep, the vector table's included. The
// last line is left to the procedure, which refuses a wrong one before it sends anything.
void checkRecords(const std::vector<TNumberedLine>& lines) {
    std::map<std::uint16_t, int> blockLines;
    for (std::size_t n = 0; n + 1 < lines.size(); ++n) {
        const TNumberedLine& line = lines[n];
        sHexLine = line.text;
        if (!lineToRecord())
            fail(line.number, shownText(line.text) +
                                  " is not an Intel-HEX record in upper-case digits with a right "
                                  "checksum; the logger cannot be sent it");
        const std::uint8_t count = HexRecord[0];
        const std::uint8_t type = HexRecord[3];
        if (type == cHEX_END_OF_FILE)
            fail(line.number, "the end record stands before the last line; it must be the last");
        if (const TNoDataRecord* record = noDataRecord(type)) {
            checkNoDataRecord(*record, line.number);
            continue;
        }
        if (type == cHEX_DATA && count == 0)
            continue;
        if (count != cDATA_RECORD_BYTES || type != cHEX_DATA)
            fail(line.number, "a record of type " + hexByte(type) + " with " +
                                  std::to_string(count) +
                                  " data bytes; the logger is programmed only with data records "
                                  "(type 00) of 64 bytes, so it would be left out");
        const std::uint16_t block = bytesToWord(HexRecord[1], HexRecord[2]);
        const auto [first, isFirst] = blockLines.emplace(block, line.number);
        if (!isFirst)
            fail(line.number, "a second record for block " + hexByte(HexRecord[1]) +
                                  hexByte(HexRecord[2]) + " (first on line " +
                                  std::to_string(first->second) +
                                  "); a firmware file gives each block once, so it is not clear "
                                  "which one the logger should keep");
    }
}

// All lines of the text, each without its end; a final line end adds no empty line.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        if (lines.size() == cMAX_FILE_LINES)
            fail(static_cast<int>(lines.size()) + 1,
                 "the file has more than " + std::to_string(cMAX_FILE_LINES) +
                     " lines; a firmware file is far shorter, so this is not one");
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

// Every line that holds no "=" is programmed; the header and comment lines hold one.
std::vector<TNumberedLine> programmedLines(std::vector<std::string> fileLines) {
    std::vector<TNumberedLine> programmed;
    for (std::size_t i = 0; i < fileLines.size(); ++i) {
        if (fileLines[i].find('=') == std::string::npos)
            programmed.push_back({static_cast<int>(i) + 1, std::move(fileLines[i])});
    }
    return programmed;
}

bool failedLoad(const std::exception& e, std::string* reason) {
    // Image 0 is gone now; a run must not go on naming it.
    int loadedImage = 0;
    ChosenImage.compare_exchange_strong(loadedImage, -1);
    if (reason)
        *reason = e.what();
    return false;
}

}  // namespace

std::string getKeyValue(const std::string& line, const std::string& key) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || line.compare(0, equals, key) != 0)
        return {};
    return line.substr(equals + 1);
}

void readFileHeader(std::istream& file, TBl3FileHeader& header) {
    int lineNumber = 0;
    for (const THeaderLine& entry : cHEADER_LINES) {
        ++lineNumber;
        bool pastEnd = false;
        std::string line = readHeaderLine(file, lineNumber, pastEnd);
        if (lineNumber == 1 && line.starts_with(cBYTE_ORDER_MARK))
            line.erase(0, cBYTE_ORDER_MARK.size());
        storeValue(entry, line, pastEnd, lineNumber, header);
    }
}

void readFirmwareFileHeader(const std::string& sFile, TBl3FileHeader& header) {
    std::istringstream text(readWholeFile(sFile));
    readFileHeader(text, header);
}

bool loadFirmwareFile(const std::string& sFile, std::string* reason) {
    std::string content;
    try {
        content = readWholeFile(sFile);
    } catch (const std::exception& e) {
        FirmwareLines.clear();
        return failedLoad(e, reason);
    }
    return loadFirmwareText(content, reason);
}

bool loadFirmwareText(std::string_view content, std::string* reason) {
    FirmwareLines.clear();
    try {
        std::istringstream headerText{std::string(content)};
        readFileHeader(headerText, FirmwareFileHeader);

        std::string_view text = content;
        if (text.starts_with(cBYTE_ORDER_MARK))
            text.remove_prefix(cBYTE_ORDER_MARK.size());
        std::vector<TNumberedLine> programmed = programmedLines(splitLines(text));
        checkRecords(programmed);
        std::vector<std::string> lines;
        for (TNumberedLine& line : programmed)
            lines.push_back(std::move(line.text));
        FirmwareLines = std::move(lines);
    } catch (const std::exception& e) {
        return failedLoad(e, reason);
    }
    ChosenImage = 0;
    return true;
}

}  // namespace pelion
