// The logger's way into its bootloader and the bootloader's line commands: platform and
// update-ID queries, programming and the boot of the programmed image.
#include <gtest/gtest.h>

#include <optional>

#include "link/crc.h"
#include "link/hex_record.h"
#include "sim/simulated_logger.h"
#include "tests/sim/sim_client.h"

namespace pelion::sim::test {
namespace {

constexpr auto cWAIT = std::chrono::seconds(5);
constexpr std::uint16_t cBL = 0xC800;
constexpr std::uint16_t cBL2 = 0xC801;
constexpr std::uint16_t cBL3 = 0xC802;

std::uint32_t identityOf(std::uint16_t cls, std::uint16_t version) {
    return std::uint32_t{cls} << 16 | version;
}

// The data bytes of a line answer that is a well-formed record, or nothing.
std::optional<Bytes> answerData(const std::string& answer) {
    sHexLine = answer;
    if (!lineToRecord()) {
        return std::nullopt;
    }
    return Bytes(HexRecord.begin() + 4, HexRecord.begin() + 4 + HexRecord[0]);
}

const Bytes cOLD_JUMP{0x85, 0x03, 0xA5, 0x5A, 0x00, 0x00, 0x00, 0x25};
const Bytes cNEW_JUMP{0x82, 0x81, 0x00, 0xA5, 0x5A, 0x00, 0x00, 0x09};

struct JumpCase {
    std::uint16_t appVersion;
    const Bytes* jump;
    bool entersBootloader;
};

TEST(SimBootloaderEntry, EachApplicationTakesOnlyItsJumpForm) {
    const JumpCase cases[] = {
        {0x05FF, &cOLD_JUMP, true},
        {0x05FF, &cNEW_JUMP, false},
        {0x0600, &cNEW_JUMP, true},
        {0x0600, &cOLD_JUMP, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "version " << std::hex << c.appVersion << " frame " << int((*c.jump)[0]));
        LoggerConfig config;
        config.appVersion = c.appVersion;
        config.blClass = cBL2;
        config.blVersion = 0x0001;
        SimulatedLogger logger(config);
        SimClient client(logger.portPath());

        client.send(*c.jump);
        ASSERT_TRUE(logger.waitForReceived(1, cWAIT));
        const std::uint32_t expected =
            c.entersBootloader ? identityOf(cBL2, 0x0001) : identityOf(0x6601, c.appVersion);
        EXPECT_EQ(client.identity(), expected);
        EXPECT_EQ(logger.inBootloader(), c.entersBootloader);
    }
}

TEST(SimBootloaderEntry, ApplicationIgnoresLineCommandsAndBootloaderIgnoresFrameCommands) {
    SimulatedLogger logger;
    SimClient client(logger.portPath());
    EXPECT_EQ(client.exchange(lineCommand(0x20), 6), "");

    client.send(cNEW_JUMP);
    ASSERT_TRUE(logger.waitForReceived(2, cWAIT));
    EXPECT_TRUE(client.exchange(commandFrame(1, {3})).empty());  // serial number
    client.send(cNEW_JUMP);
    ASSERT_TRUE(logger.waitForReceived(4, cWAIT));
    EXPECT_EQ(client.identity(), identityOf(cBL3, 0x0000));
}

TEST(SimBootloaderQueries, PlatformAnswerHoldsPlatformPrintAndInfoMostSignificantByteFirst) {
    LoggerConfig config;
    config.startInBootloader = true;
    config.platform = 0x0118;
    config.print = 0x0231;
    config.info = 0x1234;
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());

    const auto data = answerData(client.exchange(":0100000520DA", 6));
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (Bytes{0x01, 0x18, 0x02, 0x31, 0x12, 0x34}));
}

TEST(SimBootloaderQueries, BlAnswersNeitherPlatformNorUpdateIdQuery) {
    LoggerConfig config;
    config.startInBootloader = true;
    config.blClass = cBL;
    config.platform = 4;
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());

    EXPECT_EQ(client.exchange(lineCommand(0x20), 6), "");
    EXPECT_EQ(client.exchange(lineCommand(0x30, 0x1000), 64), "");
    EXPECT_EQ(client.identity(), identityOf(cBL, 0x0000));
}

struct UpdateIdCase {
    const char* name;
    std::uint16_t blClass;
    std::uint16_t platform;
    std::optional<std::uint32_t> blockAddress;
    std::uint16_t askedAt;
    bool crcValid;
    bool holdsBlock;
};

TEST(SimBootloaderQueries, UpdateIdBlockIsFoundOnlyAtItsAddress) {
    const UpdateIdCase cases[] = {
        {"BL2 platform 4 by byte address", cBL2, 4, {}, 0x1000, true, true},
        {"BL2 asked by block number", cBL2, 4, {}, 0x0040, true, false},
        {"BL3 platform 12 by block number", cBL3, 12, {}, 0x0060, true, true},
        {"BL3 asked by byte address", cBL3, 12, {}, 0x1800, true, false},
        {"BL3 platform 8", cBL3, 8, {}, 0x0064, true, true},
        {"BL3 platform 0 keeps it at 0", cBL3, 0, {}, 0x0000, true, true},
        {"address set in the configuration", cBL3, 24, 0x0400, 0x0010, true, true},
        {"deliberately wrong CRC", cBL2, 4, {}, 0x1000, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoggerConfig config;
        config.startInBootloader = true;
        config.blClass = c.blClass;
        config.platform = c.platform;
        config.upidAddress = c.blockAddress;
        config.upidId = 0x6605;
        config.upidInfo = 0x001A;
        config.upidPlatform = 0x0102;
        config.upidPrint = 0x0304;
        config.upidReserve = 0x0506;
        config.upidCrcValid = c.crcValid;
        SimulatedLogger logger(config);
        SimClient client(logger.portPath());

        const auto data = answerData(client.exchange(lineCommand(0x30, c.askedAt), 64));
        ASSERT_TRUE(data);
        ASSERT_EQ(data->size(), 64u);
        const std::size_t blank = c.holdsBlock ? 12 : 0;
        EXPECT_EQ(Bytes(data->begin() + blank, data->end()), Bytes(64 - blank, 0xFF));
        if (c.holdsBlock) {
            EXPECT_EQ(Bytes(data->begin(), data->begin() + 10),
                      (Bytes{0x05, 0x66, 0x1A, 0x00, 0x02, 0x01, 0x04, 0x03, 0x06, 0x05}));
            const std::uint16_t stored = (*data)[11] << 8 | (*data)[10];
            EXPECT_EQ(stored == calcCRC16(data->data(), 10), c.crcValid);
        }
    }
}

// A logger in its bootloader, programmed through its line commands.
class SimProgramming : public testing::Test {
protected:
    void startLogger(std::uint16_t blClass) {
        LoggerConfig config;
        config.startInBootloader = true;
        config.blClass = blClass;
        config.appVersion = 0x0602;
        config.bootedClass = 0x6605;
        logger_.emplace(config);
        client_.emplace(logger_->portPath());
    }
    void program(const std::vector<std::string>& lines) {
        for (const auto& line : lines) {
            EXPECT_EQ(client_->exchange(line, 64), line);
        }
    }

    std::optional<SimulatedLogger> logger_;
    std::optional<SimClient> client_;
};

TEST_F(SimProgramming, BootsTheImageOnlyWhenTheVectorTableWasWritten) {
    struct Case {
        std::uint16_t blClass;
        std::uint8_t start;
        std::uint8_t end;
        bool writeVectorTable;
    };
    const Case cases[] = {
        {cBL3, 0x31, 0x33, true},
        {cBL3, 0x31, 0x33, false},
        {cBL, 0x11, 0x13, true},
        {cBL2, 0x31, 0x33, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << c.blClass << " vector table " << c.writeVectorTable);
        startLogger(c.blClass);
        const auto startAnswer = answerData(client_->exchange(lineCommand(c.start), 1));
        ASSERT_TRUE(startAnswer);
        EXPECT_EQ(startAnswer->size(), 1u);

        std::vector<std::string> lines{dataLine(0x0000, 0x11), dataLine(0x0040, 0x22)};
        if (c.writeVectorTable) {
            lines.push_back(dataLine(0x03DF, 0x33));
        }
        program(lines);
        EXPECT_EQ(logger_->vectorTableWritten(), c.writeVectorTable);
        client_->send(lineCommand(c.end));
        ASSERT_TRUE(logger_->waitForReceived(lines.size() + 2, cWAIT));
        const std::uint32_t expected =
            c.writeVectorTable ? identityOf(0x6605, 0x0602) : identityOf(c.blClass, 0x0000);
        EXPECT_EQ(client_->identity(), expected);
    }
}

TEST_F(SimProgramming, TheWrongGenerationsProgrammingCodesGetNoAnswer) {
    startLogger(cBL3);
    EXPECT_EQ(client_->exchange(lineCommand(0x11), 1), "");
    startLogger(cBL);
    EXPECT_EQ(client_->exchange(lineCommand(0x31), 1), "");
    // Data lines before a programming start are not taken either.
    EXPECT_EQ(client_->exchange(dataLine(0x0000, 0x11), 64), "");
    EXPECT_TRUE(logger_->writeOrder().empty());
}

TEST_F(SimProgramming, FlashEqualsExactlyTheImagesDataRecords) {
    startLogger(cBL3);
    client_->exchange(lineCommand(0x31), 1);
    program({dataLine(0x0000, 0x11), dataLine(0x0040, 0x22), dataLine(0x03DF, 0x33)});
    EXPECT_EQ(logger_->writeOrder(), (std::vector<std::uint16_t>{0x0000, 0x0040, 0x03DF}));

    const std::string shortRecord = ":02123400ABCD40";
    const std::string endOfFile = ":00000001FF";
    const std::vector<std::string> image{dataLine(0x0000, 0x11), shortRecord,
                                         dataLine(0x03DF, 0x44), dataLine(0x0040, 0x22),
                                         dataLine(0x03DF, 0x33), endOfFile};
    EXPECT_TRUE(logger_->flashEquals(image));
    EXPECT_FALSE(logger_->flashEquals({dataLine(0x0000, 0x11), dataLine(0x03DF, 0x33)}));
    EXPECT_FALSE(logger_->flashEquals(
        {dataLine(0x0000, 0x11), dataLine(0x0040, 0x23), dataLine(0x03DF, 0x33)}));
    EXPECT_FALSE(logger_->flashEquals({dataLine(0x0000, 0x11), dataLine(0x0040, 0x22),
                                       dataLine(0x03DF, 0x33), dataLine(0x0080, 0x00)}));
    EXPECT_FALSE(logger_->flashEquals({dataLine(0x0000, 0x11), ":0000000lowercase"}));

    // A new programming start erases everything.
    client_->exchange(lineCommand(0x31), 1);
    EXPECT_TRUE(logger_->flashEquals({endOfFile}));
    EXPECT_FALSE(logger_->vectorTableWritten());
}

TEST_F(SimProgramming, MalformedLinesAreNotAnswered) {
    startLogger(cBL3);
    client_->exchange(lineCommand(0x31), 1);
    std::string lower = dataLine(0x0000, 0xAB);
    for (auto& ch : lower) {
        ch = static_cast<char>(std::tolower(ch));
    }
    std::string badSum = dataLine(0x0000, 0x11);
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    EXPECT_EQ(client_->exchange(lower, 64), "");
    EXPECT_EQ(client_->exchange(badSum, 64), "");
    EXPECT_TRUE(logger_->writeOrder().empty());
}

}  // namespace
}  // namespace pelion::sim::test
