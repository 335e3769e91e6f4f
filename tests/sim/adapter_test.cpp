// The USB serial adapter model: when the packets with the logger's answers leave for the
// computer, and an answer read through the port on a logger behind the model.
#include <gtest/gtest.h>

#include "sim/simulated_logger.h"
#include "sim/usb_adapter.h"
#include "tests/sim/sim_client.h"

namespace pelion::sim::test {
namespace {

using Clock = UsbAdapter::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

const Clock::time_point cPLUGGED = Clock::time_point{} + std::chrono::hours(1);

Clock::time_point at(microseconds since) {
    return cPLUGGED + since;
}

// The sizes of the packets sent by each moment in `moments`, in order.
std::vector<std::vector<std::size_t>> packetSizes(UsbAdapter& adapter,
                                                  const std::vector<microseconds>& moments) {
    std::vector<std::vector<std::size_t>> sizes;
    for (const auto moment : moments) {
        sizes.emplace_back();
        for (const auto& packet : adapter.sentPackets(at(moment))) {
            sizes.back().push_back(packet.size());
        }
    }
    return sizes;
}

using Sizes = std::vector<std::vector<std::size_t>>;

TEST(SimUsbAdapter, BytesWaitForTheTimerWhichRunsFromTheLastPacket) {
    UsbAdapter adapter({milliseconds(16), 62}, cPLUGGED);
    for (int k = 1; k <= 20; ++k) {  // one byte a millisecond, as at 9600 baud
        adapter.take(static_cast<std::uint8_t>(k), at(milliseconds(k)));
    }
    EXPECT_EQ(adapter.nextPacket(), at(milliseconds(16)));
    EXPECT_EQ(packetSizes(adapter, {microseconds(15'999), milliseconds(16), milliseconds(31),
                                    milliseconds(32), milliseconds(100)}),
              (Sizes{{}, {16}, {}, {4}, {}}));
    EXPECT_EQ(adapter.nextPacket(), std::nullopt);

    // Idle, the timer keeps expiring on the same grid: a byte waits for its next point.
    adapter.take(0xAA, at(microseconds(100'500)));
    EXPECT_EQ(adapter.nextPacket(), at(milliseconds(112)));
}

TEST(SimUsbAdapter, FullPacketLeavesAtOnceAndRestartsTheTimer) {
    UsbAdapter adapter({milliseconds(16), 4}, cPLUGGED);
    for (int k = 1; k <= 6; ++k) {
        adapter.take(static_cast<std::uint8_t>(k), at(milliseconds(k)));
    }
    EXPECT_EQ(adapter.nextPacket(), at(milliseconds(4)));
    EXPECT_EQ(packetSizes(adapter,
                          {milliseconds(3), milliseconds(4), milliseconds(19), milliseconds(20)}),
              (Sizes{{}, {4}, {}, {2}}));
}

TEST(SimUsbAdapter, PacketsAreTheSameHoweverLateTheyAreCollected) {
    UsbAdapter adapter({milliseconds(16), 4}, cPLUGGED);
    const std::vector<int> arrivals = {10, 17, 18, 19, 20, 21, 40};
    for (const int ms : arrivals) {
        adapter.take(static_cast<std::uint8_t>(ms), at(milliseconds(ms)));
    }
    // At 16 ms the first byte; the next four fill a packet at 20 ms; the rest at 36 and 52 ms.
    const auto packets = adapter.sentPackets(at(milliseconds(60)));
    std::vector<std::vector<std::uint8_t>> expected = {{10}, {17, 18, 19, 20}, {21}, {40}};
    EXPECT_EQ(packets, expected);
}

// Unpaced, the whole answer reaches the adapter at once: the two full packets of a 139-character
// echo leave at once, the last fifteen characters a whole latency period later.
TEST(SimUsbAdapter, EchoThroughTheAdapterIsWholeAndItsTailWaitsForTheTimer) {
    LoggerConfig config;
    config.startInBootloader = true;
    config.adapter = AdapterSettings{milliseconds(100), 62};
    SimulatedLogger logger(config);
    SimClient client(logger.portPath());
    ASSERT_TRUE(client.isOpen());
    ASSERT_EQ(client.exchange(lineCommand(0x31), 1).size(), 13u);

    const std::string line = dataLine(0x0100, 0x5A);
    const auto start = Clock::now();
    EXPECT_EQ(client.exchange(line, 64), line);
    EXPECT_GE(Clock::now() - start, milliseconds(100));
}

}  // namespace
}  // namespace pelion::sim::test
