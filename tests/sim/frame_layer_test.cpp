// The logger's frame layer over a real pseudo-terminal: command frames, null frames, line
// frames, checksums, resynchronisation and the record of what crossed the wire.
#include <gtest/gtest.h>

#include <thread>

#include "link/crc.h"
#include "sim/simulated_logger.h"
#include "tests/sim/sim_client.h"

namespace pelion::sim::test {
namespace {

constexpr auto cWAIT = std::chrono::seconds(5);

TEST(SimFrameLayer, IdentityAnswerCarriesClassAndVersionMostSignificantByteFirst) {
    LoggerConfig config;
    config.appVersion = 0x0588;
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());
    ASSERT_TRUE(client.isOpen());

    const Bytes answer = client.exchange(Bytes{0x81, 0, 0, 0, 0, 0, 0, 0xAA});
    ASSERT_EQ(answer.size(), 8u);
    EXPECT_EQ(answer[0], 0x00);
    EXPECT_EQ((Bytes{answer[2], answer[3], answer[4], answer[5]}), (Bytes{0x66, 0x01, 0x05, 0x88}));
    EXPECT_EQ(answer[7], calcCRC8(answer.data(), 7));
}

TEST(SimFrameLayer, SerialNumberComesLowByteFirst) {
    LoggerConfig config;
    config.serialNumber = 327980;  // 0x0005012C
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());

    const Bytes answer = client.exchange(commandFrame(1, {3}));
    ASSERT_EQ(answer.size(), 8u);
    EXPECT_EQ((Bytes{answer[1], answer[2], answer[3], answer[4]}), (Bytes{0x2C, 0x01, 0x05, 0x00}));
    EXPECT_EQ(answer[7], calcCRC8(answer.data(), 7));
}

TEST(SimFrameLayer, BadCrcAndNullFramesGetNoAnswerButAreRecorded) {
    SimulatedLogger logger;
    SimClient client(logger.portPath());
    Bytes badCrc = commandFrame(1);
    badCrc[7] ^= 0x01;
    const Bytes null(8, 0x00);

    EXPECT_TRUE(client.exchange(null).empty());
    EXPECT_TRUE(client.exchange(badCrc).empty());
    EXPECT_EQ(client.identity(), 0x66010602u);

    const auto frames = logger.received();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].bytes, null);
    EXPECT_EQ(frames[1].bytes, badCrc);
    EXPECT_EQ(frames[2].bytes, commandFrame(1));
    // Each frame carries its own arrival: the client waited a whole read time-out (8 characters
    // and 200 ms) for an answer to the null frame before it sent the next; the logger may have
    // taken the null frame up to 50 ms late on a loaded machine.
    EXPECT_GE(frames[1].at - frames[0].at, std::chrono::milliseconds(150));
    EXPECT_GE(frames[2].at - frames[1].at, std::chrono::milliseconds(150));
}

TEST(SimFrameLayer, FramesSplitAcrossWritesAreReassembled) {
    SimulatedLogger logger;
    SimClient client(logger.portPath());
    const Bytes frame = commandFrame(1);

    client.send(Bytes(frame.begin(), frame.begin() + 3));
    client.send(Bytes(frame.begin() + 3, frame.end()));
    const Bytes answer = client.read(8);
    EXPECT_EQ(answer.size(), 8u);
    EXPECT_EQ(logger.received().at(0).bytes, frame);
}

TEST(SimFrameLayer, PartialFrameIsDroppedAfterAGap) {
    SimulatedLogger logger;
    SimClient client(logger.portPath());
    const Bytes frame = commandFrame(1);

    client.send(Bytes(frame.begin(), frame.begin() + 5));
    // The gap itself is what is under test: nothing else marks it.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(client.identity(), 0x66010602u);
    ASSERT_EQ(logger.received().size(), 1u);
    EXPECT_EQ(logger.received()[0].bytes, frame);
}

TEST(SimFrameLayer, LineFramesAreCutByTheirCountDigits) {
    LoggerConfig config;
    config.startInBootloader = true;
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());
    const std::string start = lineCommand(0x31);
    const std::string line = dataLine(0x0100, 0xA5);

    // Two lines in one write: each is a frame of its own, each answered.
    client.send(start + line);
    const Bytes answers = client.read(static_cast<std::uint32_t>(13 + line.size()));
    EXPECT_EQ(std::string(answers.begin() + 13, answers.end()), line);
    ASSERT_TRUE(logger.waitForReceived(2, cWAIT));
    const auto frames = logger.received();
    EXPECT_EQ(std::string(frames[0].bytes.begin(), frames[0].bytes.end()), start);
    EXPECT_EQ(std::string(frames[1].bytes.begin(), frames[1].bytes.end()), line);
}

TEST(SimFrameLayer, ATornLineGivesWayToTheNextFrameAtOnce) {
    LoggerConfig config;
    config.startInBootloader = true;
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());
    const std::string torn = dataLine(0x0100, 0xA5).substr(0, 40);

    Bytes tornThenFrame(torn.begin(), torn.end());
    const Bytes identity = commandFrame(1);
    tornThenFrame.insert(tornThenFrame.end(), identity.begin(), identity.end());
    client.send(tornThenFrame);
    EXPECT_EQ(client.read(8).size(), 8u);

    client.send(torn + lineCommand(0x31));
    EXPECT_EQ(client.read(13).size(), 13u);
}

TEST(SimFrameLayer, SurvivesThePortBeingClosedAndReopened) {
    SimulatedLogger logger;
    for (int run = 0; run < 3; ++run) {
        SimClient client(logger.portPath());
        ASSERT_TRUE(client.isOpen()) << "run " << run;
        EXPECT_EQ(client.identity(), 0x66010602u) << "run " << run;
    }
    EXPECT_EQ(logger.received().size(), 3u);
}

}  // namespace
}  // namespace pelion::sim::test
