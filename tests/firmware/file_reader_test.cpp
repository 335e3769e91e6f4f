#include "firmware/file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <sstream>

#include "tests/firmware/firmware_files.h"

namespace pelion {
namespace {

using test::imageFileText;
using test::TempFolder;

const char cHEADER11[] =
    "bootloader=3\nbootloader version=0\nclass=26113\nversionH=6\nversionL=2\n"
    "platform=24\nprint=49\ndate=13.10.2022 13:42:00\n";
const TBl3FileHeader cEXPECTED11{26113, 6, 2, 24, 49, "13.10.2022 13:42:00", 3, 0};

// Header 11 with one of its lines (1-based) replaced.
std::string headerWithLine(int number, const std::string& replacement) {
    std::istringstream in(cHEADER11);
    std::string text, line;
    for (int n = 1; std::getline(in, line); ++n)
        text += (n == number ? replacement : line) + "\n";
    return text;
}

// Line `n` of embedded image 11, and the image's vector-table record.
std::string line11(int n) {
    ChosenImage = 11;
    std::string line = getChosenLine(n);
    ChosenImage = -1;
    return line;
}

std::string vectorTable11() {
    for (int n = 0;; ++n) {
        const std::string line = line11(n);
        if (line.substr(3, 4) == "03DF")
            return line;
    }
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class FirmwareFile : public testing::Test {
protected:
    void SetUp() override {
        FirmwareLines.clear();
        FirmwareFileHeader = {};
        ChosenImage = -1;
    }
    bool load(const std::string& content) {
        reason_.clear();
        return loadFirmwareFile(folder_.write("image.txt", content), &reason_);
    }

    TempFolder folder_;
    std::string reason_;
};

TEST(GetKeyValue, TakesTheValueOfAnExactKeyOnly) {
    struct Case {
        const char *line, *key, *value;
    };
    const Case cases[] = {
        {"class=26113", "class", "26113"},
        {"class=", "class", ""},
        {"class", "class", ""},
        {"Class=26113", "class", ""},
        {"class =26113", "class", ""},
        {"date=a=b", "date", "a=b"},
        {"bootloader version=1", "bootloader version", "1"},
        {"bootloader version=1", "bootloader", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(getKeyValue(c.line, c.key), c.value) << c.line;
}

// The class line carries each form of number; the other lines stay those of image 11.
TEST(ReadFileHeader, IntegerForms) {
    struct Case {
        const char* value;
        bool ok;
        std::uint16_t stored;
    };
    const Case cases[] = {
        {"26113", true, 26113},
        {" 26113", true, 26113},
        {"  +26113", true, 26113},
        {"$6601", true, 0x6601},
        {"x6601", true, 0x6601},
        {"X6601", true, 0x6601},
        {"0x6601", true, 0x6601},
        {"0X66aB", true, 0x66AB},
        {"-$1", true, 0xFFFF},
        {"-1", true, 0xFFFF},
        {"65537", true, 1},
        {"0xFFFFFFFF", true, 0xFFFF},
        {"-2147483648", true, 0},
        {"0026113", true, 26113},
        {"26113 ", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"0x", false, 0},
        {"$", false, 0},
        {"-", false, 0},
        {"--1", false, 0},
        {"+-1", false, 0},
        {"1 2", false, 0},
        {"12a", false, 0},
        {"$12g", false, 0},
        {"0x0x1", false, 0},
        {"2147483648", false, 0},
        {"0x100000000", false, 0},
        {"99999999999999999999999", false, 0},
        {"1.5", false, 0},
        {"\t1", false, 0},
        {"1\r\r", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("class=") + c.value);
        std::istringstream in(headerWithLine(3, std::string("class=") + c.value));
        TBl3FileHeader header;
        if (!c.ok) {
            try {
                readFileHeader(in, header);
                ADD_FAILURE() << "accepted";
            } catch (const FirmwareFileError& e) {
                EXPECT_EQ(e.lineNumber, 3);
            }
            continue;
        }
        ASSERT_NO_THROW(readFileHeader(in, header));
        EXPECT_EQ(header.orvo_class, c.stored);
    }
}

TEST(ReadFileHeader, BootloaderLineNeverFails) {
    struct Case {
        const char* line;
        std::uint16_t bl;
    };
    const Case cases[] = {{"bootloader=2", 2},
                          {"bootloader=3", 3},
                          {"bootloader=4", 0xFFFF},
                          {"bootloader= 3", 0xFFFF},
                          {"bootloader=", 0xFFFF},
                          {"Bootloader=3", 0xFFFF},
                          {"", 0xFFFF}};
    for (const Case& c : cases) {
        std::istringstream in(headerWithLine(1, c.line));
        TBl3FileHeader header;
        ASSERT_NO_THROW(readFileHeader(in, header)) << c.line;
        EXPECT_EQ(header.orvo_bl, c.bl) << c.line;
    }
}

TEST(ReadFileHeader, ReadsOnlyEightLinesAndStopsAtTheFailingOne) {
    std::istringstream in(std::string(cHEADER11) + ":00000001FF\n");
    TBl3FileHeader header;
    readFileHeader(in, header);
    EXPECT_EQ(header, cEXPECTED11);
    std::string next;
    std::getline(in, next);
    EXPECT_EQ(next, ":00000001FF");

    std::istringstream bad(headerWithLine(5, "versionL=two"));
    TBl3FileHeader partial{1, 1, 1, 1, 1, "old", 1, 1};
    EXPECT_THROW(readFileHeader(bad, partial), FirmwareFileError);
    const TBl3FileHeader expected{26113, 6, 1, 1, 1, "old", 3, 0};
    EXPECT_EQ(partial, expected);
}

// Each case is a whole file loaded from disk as image 0.
TEST_F(FirmwareFile, LoadCases) {
    struct Case {
        const char* name;
        std::string content;
        bool ok;
        std::string reason;  // for a failure: the whole message
        std::vector<std::string> lines;
        TBl3FileHeader header;
    };
    const std::string h = cHEADER11;
    const std::vector<std::string> eof = {":00000001FF"};
    const std::string d0 = line11(0), d1 = line11(1), vt = vectorTable11();
    const std::string leftOut =
        " data bytes; the logger is programmed only with data records (type 00) of 64 bytes, so "
        "it would be left out";
    const std::string notARecord =
        " is not an Intel-HEX record in upper-case digits with a right checksum; the logger "
        "cannot be sent it";
    const Case cases[] = {
        {"plain", h + ":00000001FF\n", true, "", eof, cEXPECTED11},
        {"no final line end", h + ":00000001FF", true, "", eof, cEXPECTED11},
        {"capital C",
         headerWithLine(3, "Class=26113") + ":00000001FF\n",
         false,
         "line 3: \"Class=26113\" is not the key \"class\"",
         {},
         {}},
        {"blank after =", headerWithLine(3, "class= 26113") + ":00000001FF\n", true, "", eof,
         cEXPECTED11},
        {"blank at the end",
         headerWithLine(3, "class=26113 ") + ":00000001FF\n",
         false,
         "line 3: the value \"26113 \" of \"class\" is not a whole number",
         {},
         {}},
        {"keys out of order",
         headerWithLine(6, "print=49") + ":00000001FF\n",
         false,
         "line 6: \"print=49\" is not the key \"platform\"",
         {},
         {}},
        {"empty numeric line",
         headerWithLine(4, "") + ":00000001FF\n",
         false,
         "line 4: empty where the line \"versionH=...\" belongs",
         {},
         {}},
        {"date a=b",
         headerWithLine(8, "date=a=b") + ":00000001FF\n",
         true,
         "",
         eof,
         {26113, 6, 2, 24, 49, "a=b", 3, 0}},
        {"bootloader 4",
         headerWithLine(1, "bootloader=4") + ":00000001FF\n",
         true,
         "",
         eof,
         {26113, 6, 2, 24, 49, "13.10.2022 13:42:00", 0xFFFF, 0}},
        {"comment dropped",
         h + d0 + "\nnote=x\n" + d1 + "\n:00000001FF\n",
         true,
         "",
         {d0, d1, ":00000001FF"},
         cEXPECTED11},
        // Lines before the last that the logger would not be programmed with.
        {"16-byte record",
         h + d0 + "\n:1000000000000000000000000000000000000000F0\n:00000001FF\n",
         false,
         "line 10: a record of type 00 with 16" + leftOut,
         {},
         {}},
        // Records that hold no data: not sent, they only advance the progress.
        {"zero addresses and start addresses",
         h + ":020000040000FA\n:020000020000FC\n" + d0 + "\n:040000050000012DC9\n" +
             ":040000030000012DCB\n:00000001FF\n",
         true,
         "",
         {":020000040000FA", ":020000020000FC", d0, ":040000050000012DC9", ":040000030000012DCB",
          ":00000001FF"},
         cEXPECTED11},
        {"empty data record",
         h + d0 + "\n:0000000000\n:00000001FF\n",
         true,
         "",
         {d0, ":0000000000", ":00000001FF"},
         cEXPECTED11},
        // Records that would move the data after them elsewhere, or malformed ones.
        {"extended linear address 1",
         h + ":020000040001F9\n" + d0 + "\n:00000001FF\n",
         false,
         "line 9: an extended linear address (type 04) of 0001; the logger is given only the "
         "16-bit address of each record, so the data after it would land in the wrong place",
         {},
         {}},
        {"extended segment address 1000",
         h + d0 + "\n:020000021000EC\n" + d1 + "\n:00000001FF\n",
         false,
         "line 10: an extended segment address (type 02) of 1000; the logger is given only the "
         "16-bit address of each record, so the data after it would land in the wrong place",
         {},
         {}},
        {"address record of 4 bytes",
         h + ":0400000400000000F8\n" + d0 + "\n:00000001FF\n",
         false,
         "line 9: an extended linear address (type 04) with 4 data bytes; it must have 2",
         {},
         {}},
        {"unknown record type",
         h + ":020000060000F8\n" + d0 + "\n:00000001FF\n",
         false,
         "line 9: a record of type 06 with 2" + leftOut,
         {},
         {}},
        {"end record before the end",
         h + d0 + "\n:00000001FF\n" + d1 + "\n:00000001FF\n",
         false,
         "line 10: the end record stands before the last line; it must be the last",
         {},
         {}},
        {"blank line after the end record",
         h + d0 + "\n:00000001FF\n\n",
         false,
         "line 10: the end record stands before the last line; it must be the last",
         {},
         {}},
        {"blank line", h + d0 + "\n\n:00000001FF\n", false, "line 10: \"\"" + notARecord, {}, {}},
        {"lower case",
         h + lowerCase(d0) + "\n:00000001FF\n",
         false,
         "line 9: \"" + lowerCase(d0.substr(0, 40)) + "...\"" + notARecord,
         {},
         {}},
        // One rule for every block, the vector table's included: each is given once.
        {"two vector tables",
         h + vt + "\nnote=x\n" + d0 + "\n" + vt + "\n:00000001FF\n",
         false,
         "line 12: a second record for block 03DF (first on line 9); a firmware file gives each "
         "block once, so it is not clear which one the logger should keep",
         {},
         {}},
        {"two records for one block",
         h + d0 + "\n" + d1 + "\n" + d0 + "\n:00000001FF\n",
         false,
         "line 11: a second record for block " + d0.substr(3, 4) +
             " (first on line 9); a firmware file gives each block once, so it is not clear "
             "which one the logger should keep",
         {},
         {}},
        {"wrong last line left to the update",
         h + d0 + "\n" + d1 + "\n",
         true,
         "",
         {d0, d1},
         cEXPECTED11},
        {"header only", h, true, "", {}, cEXPECTED11},
        {"seven lines",
         h.substr(0, h.find("date=")),
         true,
         "",
         {},
         {26113, 6, 2, 24, 49, "", 3, 0}},
        {"six lines",
         h.substr(0, h.find("print=")),
         false,
         "line 7: the file ends before the line \"print=...\"",
         {},
         {}},
        {"empty file",
         "",
         false,
         "line 2: the file ends before the line \"bootloader version=...\"",
         {},
         {}},
        {"CR LF",
         "bootloader=3\r\nbootloader version=0\r\nclass=26113\r\nversionH=6\r\n"
         "versionL=2\r\nplatform=24\r\nprint=49\r\ndate=13.10.2022 13:42:00\r\n"
         ":00000001FF\r\n",
         true, "", eof, cEXPECTED11},
        {"byte-order mark", "\xEF\xBB\xBF" + h + ":00000001FF\n", true, "", eof, cEXPECTED11},
        {"byte-order mark inside",
         headerWithLine(3,
                        "\xEF\xBB\xBF"
                        "class=26113"),
         false,
         "line 3: \"\\xEF\\xBB\\xBFclass=26113\" is not the key \"class\"",
         {},
         {}},
        {"binary",
         std::string("\x00\x01\xFF\n\x80=\x7F\n", 8) + std::string(300, '\xFE'),
         false,
         "line 2: \"\\x80=\\x7F\" is not the key \"bootloader version\"",
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareLines = {"from before"};
        ChosenImage = -1;
        ASSERT_EQ(load(c.content), c.ok) << reason_;
        if (c.ok) {
            EXPECT_EQ(ChosenImage.load(), 0);
            EXPECT_EQ(FirmwareFileHeader, c.header);
            EXPECT_EQ(getFirmwareLastLine(0), static_cast<int>(c.lines.size()) - 1);
        } else {
            EXPECT_EQ(ChosenImage.load(), -1);
            EXPECT_EQ(reason_, c.reason);
        }
        EXPECT_EQ(FirmwareLines, c.lines);
    }
}

TEST_F(FirmwareFile, ImageElevenWrittenOutLoadsBackUnchanged) {
    ASSERT_TRUE(load(imageFileText(11))) << reason_;
    EXPECT_EQ(getFirmwareHeader(0), getFirmwareHeader(11));
    ASSERT_EQ(getFirmwareLastLine(0), getFirmwareLastLine(11));
    for (int n = 0; n <= getFirmwareLastLine(11); ++n) {
        ChosenImage = 11;
        const std::string embedded = getChosenLine(n);
        ChosenImage = 0;
        ASSERT_EQ(getChosenLine(n), embedded) << "line " << n;
    }
}

// Every image built into the program can also be programmed as a firmware file.
TEST_F(FirmwareFile, EveryEmbeddedImageFileLoadsWithTheEmbeddedLines) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PELION_IMAGES_DIR)) {
        if (entry.path().extension() != ".txt")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::string reason;
        ASSERT_TRUE(loadFirmwareFile(entry.path().string(), &reason)) << reason;
        int image = 1;
        while (image <= getFirmwareCount() && !(getFirmwareHeader(image) == FirmwareFileHeader))
            ++image;
        ASSERT_LE(image, getFirmwareCount()) << "no embedded image has this header";
        std::vector<std::string> embedded;
        ChosenImage = image;
        for (int n = 0; n <= getChosenLastLine(); ++n)
            embedded.push_back(getChosenLine(n));
        EXPECT_EQ(FirmwareLines, embedded);
        ++loaded;
    }
    EXPECT_EQ(loaded, getFirmwareCount());
}

TEST_F(FirmwareFile, SecondLoadReplacesTheFirst) {
    ASSERT_TRUE(load(imageFileText(1)));
    ASSERT_TRUE(load(std::string(cHEADER11) + line11(0) + "\n:00000001FF\n"));
    EXPECT_EQ(FirmwareLines, (std::vector<std::string>{line11(0), ":00000001FF"}));
    EXPECT_EQ(FirmwareFileHeader, cEXPECTED11);
}

// A failed load must not leave the previous image behind for a run to program.
TEST_F(FirmwareFile, FailedLoadLeavesNothingToProgram) {
    ASSERT_TRUE(load(imageFileText(11)));
    ASSERT_EQ(ChosenImage.load(), 0);
    EXPECT_FALSE(load("bootloader=2\nbootloader version=1\nclass=oops\n:00000001FF\n"));
    EXPECT_EQ(ChosenImage.load(), -1);
    EXPECT_TRUE(FirmwareLines.empty());
    EXPECT_EQ(getFirmwareLastLine(0), -1);
    // The lines read before the failing one have taken their new values.
    const TBl3FileHeader expected{26113, 6, 2, 24, 49, "13.10.2022 13:42:00", 2, 1};
    EXPECT_EQ(FirmwareFileHeader, expected);

    ChosenImage = 5;  // a run's choice is not the loader's to undo
    EXPECT_FALSE(load(""));
    EXPECT_EQ(ChosenImage.load(), 5);
}

TEST_F(FirmwareFile, UnreadableOrOversizedFilesAreRefusedWithAReason) {
    struct Case {
        const char* name;
        std::string path;
        const char* reasonStart;
    };
    const std::string huge = folder_.pathOf("huge.txt");
    std::filesystem::resize_file(folder_.write("huge.txt", cHEADER11), (16u << 20) + 1);
    std::string manyLines = std::string(cHEADER11) + std::string(200001, '\n');
    // A named pipe nobody writes to would block a reader for ever, /dev/zero never ends.
    const std::string fifo = folder_.pathOf("fifo.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder_.pathOf("zero.txt");
    std::filesystem::create_symlink("/dev/zero", zero);
    const char* notRegular =
        "this is not a regular file (a named pipe, a device or a socket), so it is no firmware "
        "file";
    const Case cases[] = {
        {"missing", folder_.pathOf("missing.txt"), "cannot open the file: "},
        {"folder", folder_.pathOf(""), "this is a folder, not a firmware file"},
        {"named pipe", fifo, notRegular},
        {"link to /dev/zero", zero, notRegular},
        {"huge", huge, "the file is larger than 16 MiB"},
        {"too many lines", folder_.write("lines.txt", manyLines),
         "line 200001: the file has more than 200000 lines"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareLines = {"from before"};
        std::string reason;
        EXPECT_FALSE(loadFirmwareFile(c.path, &reason));
        EXPECT_TRUE(reason.starts_with(c.reasonStart)) << reason;
        EXPECT_TRUE(FirmwareLines.empty());
    }
    EXPECT_FALSE(loadFirmwareFile(folder_.pathOf("missing.txt")));  // no reason wanted
}

// The same text loads alike from memory and from a file, loaded and refused cases both.
TEST_F(FirmwareFile, TextInMemoryLoadsAsItsFileDoes) {
    const std::string texts[] = {
        imageFileText(11),
        "\xEF\xBB\xBF" + std::string(cHEADER11) + line11(0) + "\r\n:00000001FF\r\n",
        std::string(cHEADER11) + ":00000001FF\n" + line11(0) + "\n",
        "bootloader=2\nbootloader version=1\nclass=oops\n",
        "",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 40));
        const bool fromFile = load(text);
        const std::string fileReason = reason_;
        const std::vector<std::string> fileLines = FirmwareLines;
        const TBl3FileHeader fileHeader = FirmwareFileHeader;
        const int fileImage = ChosenImage.load();
        SetUp();
        std::string reason;
        EXPECT_EQ(loadFirmwareText(text, &reason), fromFile);
        EXPECT_EQ(reason, fileReason);
        EXPECT_EQ(FirmwareLines, fileLines);
        EXPECT_EQ(FirmwareFileHeader, fileHeader);
        EXPECT_EQ(ChosenImage.load(), fileImage);
        SetUp();
    }
}

}  // namespace
}  // namespace pelion
