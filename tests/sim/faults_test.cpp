// Each fault of the simulated logger as the updater's side of the wire sees it.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "link/crc.h"
#include "link/hex_record.h"
#include "sim/hex_text.h"
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

// A data line whose first `written` bytes hold `fill` and the rest is erased flash (0xFF).
std::string tornLine(std::uint16_t address, std::uint8_t fill, std::size_t written) {
    Record record{address, 0, Bytes(64, 0xFF)};
    std::fill_n(record.data.begin(), written, fill);
    return encodeRecord(record);
}

TEST_F(SimBootloaderFaults, TornWriteKeepsPartOfTheRecordAndTheBootloaderComesUpAgain) {
    logger_->tornWriteAtDataLine(1, 10);
    const std::vector<std::string> lines{dataLine(0x0000, 0x11), dataLine(0x03DF, 0x22)};
    const auto echoes = program(lines);
    EXPECT_EQ(echoes[1], "");
    EXPECT_TRUE(logger_->powerIsCut());
    EXPECT_FALSE(logger_->flashEquals(lines));
    EXPECT_TRUE(logger_->flashEquals({lines[0], tornLine(0x03DF, 0x22, 10)}));
    EXPECT_FALSE(logger_->vectorTableWritten());

    logger_->restart();
    EXPECT_EQ(client_->identity(), cBOOTLOADER);
}

TEST_F(SimBootloaderFaults, WholeRecordWrittenButNotEchoedCountsAsWritten) {
    logger_->tornWriteAtDataLine(0, 64);
    const std::vector<std::string> lines{dataLine(0x03DF, 0x22)};
    EXPECT_EQ(program(lines), std::vector<std::string>{""});
    EXPECT_TRUE(logger_->flashEquals(lines));
    EXPECT_TRUE(logger_->vectorTableWritten());
    logger_->restart();
    EXPECT_EQ(client_->identity(), 0x66050602u);
}

TEST_F(SimBootloaderFaults, PowerCutAfterAnEchoLetsTheEchoThroughThenSilence) {
    logger_->powerCutAfterEchoOf(0);
    const std::vector<std::string> lines{dataLine(0x0000, 0x11), dataLine(0x0040, 0x22)};
    const auto echoes = program(lines);
    EXPECT_EQ(echoes[0], lines[0]);
    EXPECT_EQ(echoes[1], "");
    EXPECT_TRUE(logger_->flashEquals({lines[0]}));
    EXPECT_TRUE(logger_->powerIsCut());
}

// Each moment outside the data lines: the logger dies on the frame named, whatever it was to do.
TEST_F(SimBootloaderFaults, PowerCutAtEachLineCommandSilencesTheLogger) {
    const struct {
        PowerCut point;
        std::string line;
    } cases[] = {
        {PowerCut::atUpdateIdQuery, lineCommand(0x30, 0x0060)},
        {PowerCut::atProgrammingStart, lineCommand(0x31)},
        {PowerCut::atEndCommand, lineCommand(0x33)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        logger_->powerCutAt(c.point);
        const std::size_t before = logger_->received().size();
        client_->send(c.line);
        ASSERT_TRUE(logger_->waitForReceived(before + 1, cWAIT));
        EXPECT_TRUE(logger_->powerIsCut());
        EXPECT_EQ(client_->identity(), 0xFFFFFFFFu);
        logger_->restart();
        EXPECT_EQ(client_->identity(), cBOOTLOADER);
    }
}

TEST_F(SimBootloaderFaults, PowerCutAfterTheEndCommandComesBackInTheNewFirmware) {
    logger_->powerCutAt(PowerCut::afterEndCommand);
    program({dataLine(0x03DF, 0x22)});
    client_->send(lineCommand(0x33));
    ASSERT_TRUE(logger_->waitForReceived(3, cWAIT));
    EXPECT_EQ(client_->identity(), 0xFFFFFFFFu);
    logger_->restart();
    EXPECT_EQ(client_->identity(), 0x66050602u);
}

TEST_F(SimFaults, NotReadyForTheNextAnswerFramesOnly) {
    logger_->notReadyNextAnswers(1);
    const Bytes answer = client_->exchange(commandFrame(1));
    EXPECT_EQ(answer.at(0), 0x20);
    EXPECT_TRUE(frameCrcHolds(answer));
    EXPECT_EQ(client_->identity(), cAPPLICATION);
}

// The stall is far longer than the read time-out: the answer cannot be there in time, comes
// whole later, and the next answer is on time again.
TEST_F(SimFaults, StalledAnswerMissesItsReadAndArrivesWholeLater) {
    logger_->stallNextAnswers(1, std::chrono::seconds(5));
    EXPECT_TRUE(client_->exchange(commandFrame(1)).empty());
    Bytes late;
    for (int i = 0; i < 100 && late.size() < 8; ++i) {
        const Bytes part = client_->read(8 - static_cast<std::uint32_t>(late.size()));
        late.insert(late.end(), part.begin(), part.end());
    }
    ASSERT_EQ(late.size(), 8u);
    EXPECT_EQ(late[2] << 8 | late[3], 0x6601);
    EXPECT_TRUE(frameCrcHolds(late));
    EXPECT_EQ(client_->identity(), cAPPLICATION);
}

TEST_F(SimFaults, PulledCableHangsThePortUpAndANewPortReachesTheSameLogger) {
    const std::string oldPort = logger_->portPath();
    logger_->pullCableAfterFrames(1);
    EXPECT_EQ(client_->identity(), 0xFFFFFFFFu);  // the answer left with the cable
    for (int i = 0; i < 500 && logger_->cableIn(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(logger_->cableIn());
    EXPECT_EQ(client_->identity(), 0xFFFFFFFFu);

    logger_->plugIn();
    EXPECT_TRUE(logger_->cableIn());
    EXPECT_NE(logger_->portPath(), oldPort);
    SimClient replugged(logger_->portPath());
    EXPECT_EQ(replugged.identity(), cAPPLICATION);
}

TEST_F(SimFaults, ClearFaultsGivesACleanLine) {
    logger_->muteNextExchanges(3);
    logger_->setLineNoise(7, {1, 0, 0, 0}, {});
    logger_->clearFaults();
    EXPECT_EQ(client_->identity(), cAPPLICATION);
}

TEST(SimLineNoise, EachKindOfNoiseDoesWhatItSays) {
    const Bytes bytes{0x81, 0x00, 0x3A, 0x46, 0xFF};
    LineNoise noise;
    noise.set(3, {1, 0, 0, 0}, {});
    EXPECT_TRUE(noise.toLogger(bytes.data(), bytes.size()).empty());

    noise.set(3, {0, 0, 1, 0}, {});
    EXPECT_EQ(noise.toLogger(bytes.data(), 2), (Bytes{0x81, 0x81, 0x00, 0x00}));

    noise.set(3, {}, {0, 1, 0, 0});
    const Bytes flipped = noise.fromLogger(bytes);
    ASSERT_EQ(flipped.size(), bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(__builtin_popcount(flipped[i] ^ bytes[i]), 1) << i;
    }

    noise.set(3, {}, {0, 0, 0, 1});
    const Bytes inserted = noise.fromLogger(bytes);
    ASSERT_EQ(inserted.size(), 2 * bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(inserted[2 * i + 1], bytes[i]);
    }
    EXPECT_EQ(noise.bytesDisturbed(),
              bytes.size() + 2 + bytes.size() + bytes.size());  // drops, duplicates, flips, inserts

    noise.off();
    EXPECT_EQ(noise.fromLogger(bytes), bytes);
}

TEST(SimLineNoise, TheSameSeedGivesTheSameNoise) {
    const Bytes bytes(2000, 0x41);
    const NoiseRates rates{0.01, 0.01, 0.01, 0.01};
    LineNoise a;
    LineNoise b;
    a.set(42, rates, rates);
    b.set(42, rates, rates);
    const Bytes once = a.toLogger(bytes.data(), bytes.size());
    EXPECT_EQ(once, b.toLogger(bytes.data(), bytes.size()));
    EXPECT_NE(once, bytes);
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
