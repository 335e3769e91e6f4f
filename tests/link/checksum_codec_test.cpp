// The checksums of the logger protocol and the Intel-HEX record codec, against known vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/crc.h"
#include "link/hex_record.h"

namespace pelion {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes cCHECK_STRING{'1', '2', '3', '4', '5', '6', '7', '8', '9'};

TEST(Crc16, StandardCheckValueAndEmptyInput) {
    EXPECT_EQ(calcCRC16(cCHECK_STRING.data(), 9), 0x4B37);
    EXPECT_EQ(calcCRC16(cCHECK_STRING.data(), 0), 0xFFFF);
}

TEST(Crc16, UpdateIdBlockOfFiveWordsLowByteFirst) {
    const Bytes block{0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(calcCRC16(block.data(), 10), 0x5DDC);
}

struct Crc8Case {
    Bytes bytes;
    std::uint8_t crc;
};

// The check string, the empty input, all zeros, and the first seven bytes of frames whose
// eighth byte is their CRC on the wire.
const Crc8Case cCRC8_CASES[] = {
    {cCHECK_STRING, 0xA1},
    {{}, 0x00},
    {Bytes(7, 0), 0x00},
    {{0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 0xAA},
    {{0x85, 0x03, 0xA5, 0x5A, 0x00, 0x00, 0x00}, 0x25},
    {{0x82, 0x81, 0x00, 0xA5, 0x5A, 0x00, 0x00}, 0x09},
};

TEST(Crc8, KnownVectors) {
    for (const auto& c : cCRC8_CASES) {
        EXPECT_EQ(calcCRC8(c.bytes.data(), static_cast<std::uint16_t>(c.bytes.size())), c.crc)
            << "over " << c.bytes.size() << " bytes";
    }
}

TEST(HexDigits, UpperCaseOnlyAndFailureLeavesTheNibbleAlone) {
    std::uint8_t b = 0x55;
    EXPECT_TRUE(hexToNibble('0', b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(hexToNibble('F', b));
    EXPECT_EQ(b, 15);
    for (char c : {'a', 'f', 'G', ':', ' ', '\0', '/', '@'}) {
        b = 0x55;
        EXPECT_FALSE(hexToNibble(c, b)) << "character " << int(c);
        EXPECT_EQ(b, 0x55);
    }
    EXPECT_EQ(nibbleToHex(0x0A), 'A');
    EXPECT_EQ(nibbleToHex(0xF9), '9');  // only the low nibble counts
}

struct EncodeCase {
    Bytes record;  // count, address high, address low, type, data
    bool ok;
    std::string line;
};

const EncodeCase cENCODE_CASES[] = {
    {{0x01, 0x00, 0x00, 0x05, 0x20}, true, ":0100000520DA"},
    {{0x00, 0x00, 0x00, 0x01}, true, ":00000001FF"},
    {{0x02, 0x12, 0x34, 0x00, 0xAB, 0xCD}, true, ":02123400ABCD40"},
    {{0x41, 0x00, 0x00, 0x00}, false, ":"},
    {{0xFF, 0x00, 0x00, 0x00}, false, ":"},
};

TEST(RecordToLine, KnownRecords) {
    for (const auto& c : cENCODE_CASES) {
        HexRecord.fill(0xEE);
        std::copy(c.record.begin(), c.record.end(), HexRecord.begin());
        sHexLine = "left over";
        EXPECT_EQ(recordToLine(), c.ok) << c.line;
        EXPECT_EQ(sHexLine, c.line);
    }
}

struct DecodeCase {
    const char* what;
    std::string line;
    bool ok;
    Bytes record;  // the decoded bytes, checksum included, when ok
};

const DecodeCase cDECODE_CASES[] = {
    {"end of file", ":00000001FF", true, {0x00, 0x00, 0x00, 0x01, 0xFF}},
    {"one data byte", ":0100000520DA", true, {0x01, 0x00, 0x00, 0x05, 0x20, 0xDA}},
    {"any record type", ":000000FF01", true, {0x00, 0x00, 0x00, 0xFF, 0x01}},
    {"lower case", ":00000001ff", false, {}},
    {"bad checksum", ":00000001FE", false, {}},
    {"too short", ":0000000", false, {}},
    {"trailing carriage return", ":00000001FF\r", false, {}},
    {"no colon", "000000001FF", false, {}},
    {"non-hex in the data", ":01000005G0DA", false, {}},
    {"count 0x41 with matching length and checksum",
     ":41000000" + std::string(2 * 0x41, '0') + "BF",
     false,
     {}},
};

TEST(LineToRecord, KnownLines) {
    for (const auto& c : cDECODE_CASES) {
        sHexLine = c.line;
        EXPECT_EQ(lineToRecord(), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(Bytes(HexRecord.begin(), HexRecord.begin() + c.record.size()), c.record)
                << c.what;
        }
    }
}

TEST(Codec, FullRecordOf64BytesSurvivesTheRoundTrip) {
    HexRecord.fill(0);
    HexRecord[0] = 0x40;
    HexRecord[1] = 0x03;
    HexRecord[2] = 0xDF;
    for (int i = 0; i < 64; ++i) {
        HexRecord[4 + i] = static_cast<std::uint8_t>(i * 37);
    }
    const THexRecord sent = HexRecord;
    ASSERT_TRUE(recordToLine());
    EXPECT_EQ(sHexLine.size(), 139u);
    HexRecord.fill(0);
    ASSERT_TRUE(lineToRecord());
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + 68, HexRecord.begin()));
}

struct LineSumCase {
    const char* pairs;
    std::int32_t count;
    bool zero;
};

// A non-hex character must never let a line pass as correct.
const LineSumCase cLINE_SUM_CASES[] = {
    {"00000001FF", 5, true},   {"00000001FE", 5, false},
    {"0100000520DA", 6, true}, {"00000001ff", 5, false},
    {"G0000001FF", 5, false},  {"0000000G01", 5, false},
    {"00000001F\r", 5, false}, {"", 0, true},
};

TEST(HexLineSum, ZeroExactlyForAWellFormedRecordWithItsChecksum) {
    for (const auto& c : cLINE_SUM_CASES) {
        EXPECT_EQ(hexLineSum(c.pairs, c.count) == 0, c.zero) << c.pairs;
    }
    EXPECT_EQ(hexLineSum("00000001FE", 5), 1);
}

TEST(BytePacking, MostSignificantByteFirst) {
    EXPECT_EQ(bytesToWord(0x66, 0x01), 0x6601);
    EXPECT_EQ(bytesToLongWord(1, 2, 3, 4), 16909060u);
    EXPECT_EQ(bytesToLongWord(0xFF, 0, 0, 0x80), 0xFF000080u);
}

}  // namespace
}  // namespace pelion
