// Each fault of the simulated logger as the updater's side of the wire sees it.
#include <gtest/gtest.h>

#include <optional>

#include "link/crc.h"
#include "link/hex_record.h"
#include "sim/simulated_logger.h"
#include "tests/sim/sim_client.h"

namespace pelion::sim::test {
namespace {

constexpr auto cWAIT = std::chrono::seconds(5);
constexpr std::uint32_t cAPPLICATION = 0x66010602;
constexpr std::uint32_t cBOOTLOADER = 0xC8020000;

bool frameCrcHolds(const Bytes& answer) {
    return answer.size() == 8 && calcCRC8(answer.data(), 7) == answer[7];
}

bool isRecord(const std::string& line) {
    sHexLine = line;
    return lineToRecord();
}

class SimFaults : public testing::Test {
protected:
    explicit SimFaults(bool startInBootloader = false) {
        LoggerConfig config;
        config.startInBootloader = startInBootloader;
        config.bootedClass = 0x6605;
        logger_.emplace(config);
        client_.emplace(logger_->portPath());
    }
    // Programming start, then the given data lines; returns their echoes.
    std::vector<std::string> program(const std::vector<std::string>& lines) {
        client_->exchange(lineCommand(0x31), 1);
        std::vector<std::string> echoes;
        for (const auto& line : lines) {
            echoes.push_back(client_->exchange(line, 64));
        }
        return echoes;
    }

    std::optional<SimulatedLogger> logger_;
    std::optional<SimClient> client_;
};

class SimBootloaderFaults : public SimFaults {
protected:
    SimBootloaderFaults() : SimFaults(true) {}
};

TEST_F(SimFaults, MutedFramesGetNoAnswerThenAnswersResume) {
    logger_->muteNextExchanges(2);
    EXPECT_TRUE(client_->exchange(commandFrame(1)).empty());
    EXPECT_TRUE(client_->exchange(commandFrame(1)).empty());
    EXPECT_EQ(client_->identity(), cAPPLICATION);
    EXPECT_EQ(logger_->received().size(), 3u);
}

TEST_F(SimFaults, CorruptedFrameAnswerFailsItsCrcOnce) {
    logger_->corruptNextAnswers(1);
    const Bytes corrupted = client_->exchange(commandFrame(1));
    ASSERT_EQ(corrupted.size(), 8u);
    EXPECT_FALSE(frameCrcHolds(corrupted));
    EXPECT_EQ(client_->identity(), cAPPLICATION);
}

TEST_F(SimBootloaderFaults, CorruptedLineAnswerIsWellFormedButFailsItsChecksum) {
    logger_->corruptNextAnswers(1);
    const std::string corrupted = client_->exchange(lineCommand(0x20), 6);
    ASSERT_EQ(corrupted.size(), 23u);
    EXPECT_EQ(corrupted[0], ':');
    EXPECT_EQ(corrupted.find_first_not_of("0123456789ABCDEF", 1), std::string::npos);
    EXPECT_NE(hexLineSum(corrupted.data() + 1, 11), 0);
    EXPECT_TRUE(isRecord(client_->exchange(lineCommand(0x20), 6)));
}

TEST_F(SimFaults, NotReadyAnswersCarryStatus0x20WithAGoodCrc) {
    logger_->setNotReady(true);
    const Bytes answer = client_->exchange(commandFrame(1));
    EXPECT_EQ(answer.at(0), 0x20);
    EXPECT_TRUE(frameCrcHolds(answer));
    logger_->setNotReady(false);
    EXPECT_EQ(client_->exchange(commandFrame(1)).at(0), 0x00);
}

TEST_F(SimFaults, ShortAnswersLackTheirLastByte) {
    logger_->shortNextAnswers(1);
    EXPECT_EQ(client_->exchange(commandFrame(1)).size(), 7u);
    EXPECT_EQ(client_->identity(), cAPPLICATION);
}

TEST_F(SimBootloaderFaults, WrongEchoDiffersInOneDataDigitOnceAndIsStored) {
    logger_->wrongEchoAtDataLine(1);
    const std::vector<std::string> lines{dataLine(0x0000, 0x11), dataLine(0x0040, 0x22),
                                         dataLine(0x0080, 0x33)};
    const auto echoes = program(lines);
    EXPECT_EQ(echoes[0], lines[0]);
    EXPECT_EQ(echoes[2], lines[2]);
    ASSERT_EQ(echoes[1].size(), lines[1].size());
    EXPECT_TRUE(isRecord(echoes[1]));
    int differingDataDigits = 0;
    for (std::size_t i = 9; i + 2 < lines[1].size(); ++i) {
        differingDataDigits += echoes[1][i] != lines[1][i];
    }
    EXPECT_EQ(differingDataDigits, 1);
    EXPECT_FALSE(logger_->flashEquals(lines));

    // One shot: the next programming run goes through.
    EXPECT_EQ(program(lines), lines);
    EXPECT_TRUE(logger_->flashEquals(lines));
}

TEST_F(SimBootloaderFaults, PowerCutSilencesTheLoggerUntilRestartIntoItsBootloader) {
    logger_->powerCutAtDataLine(1);
    const auto echoes = program({dataLine(0x0000, 0x11), dataLine(0x0040, 0x22)});
    EXPECT_EQ(echoes[1], "");
    EXPECT_TRUE(logger_->powerIsCut());
    EXPECT_EQ(client_->identity(), 0xFFFFFFFFu);
    EXPECT_EQ(logger_->writeOrder(), std::vector<std::uint16_t>{0x0000});

    logger_->restart();
    EXPECT_FALSE(logger_->powerIsCut());
    EXPECT_EQ(client_->identity(), cBOOTLOADER);
}

TEST_F(SimBootloaderFaults, RestartAfterTheVectorTableWasWrittenComesUpInTheApplication) {
    logger_->powerCutAtDataLine(1);
    program({dataLine(0x03DF, 0x11), dataLine(0x0040, 0x22)});
    logger_->restart();
    EXPECT_EQ(client_->identity(), 0x66050602u);
    EXPECT_FALSE(logger_->inBootloader());
}

TEST_F(SimFaults, PowerCutAtJumpThenRestartIntoTheApplication) {
    logger_->powerCutAtJump();
    client_->send(commandFrame(2, {0x81, 0x00, 0xA5, 0x5A}));
    ASSERT_TRUE(logger_->waitForReceived(1, cWAIT));
    EXPECT_EQ(client_->identity(), 0xFFFFFFFFu);
    logger_->restart();
    EXPECT_EQ(client_->identity(), cAPPLICATION);
}

TEST(SimPaced, AnswersAndEchoesAreUnchangedByPacing) {
    LoggerConfig config;
    config.paced = true;
    config.startInBootloader = true;
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());

    EXPECT_EQ(client.identity(), cBOOTLOADER);
    EXPECT_TRUE(isRecord(client.exchange(lineCommand(0x31), 1)));
    const std::string line = dataLine(0x0100, 0x5A);
    EXPECT_EQ(client.exchange(line, 64), line);
    const auto frames = logger.received();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(std::string(frames[2].bytes.begin(), frames[2].bytes.end()), line);
}

}  // namespace
}  // namespace pelion::sim::test
