// Cost of the per-line work of an update: decoding and encoding a 64-byte data record, the
// answer check and the two CRCs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "link/crc.h"
#include "link/hex_record.h"

namespace {

using namespace pelion;

// A 64-byte data record as it stands in an image and comes back as the logger's echo.
std::string dataLine() {
    HexRecord[0] = 0x40;
    HexRecord[1] = 0x12;
    HexRecord[2] = 0x40;
    HexRecord[3] = 0x00;
    for (int k = 0; k < 0x40; ++k) {
        HexRecord[4 + k] = static_cast<std::uint8_t>(k * 37 + 11);
    }
    recordToLine();
    return sHexLine;
}

void BM_lineToRecord(benchmark::State& state) {
    const std::string line = dataLine();
    for (auto _ : state) {
        sHexLine = line;
        benchmark::DoNotOptimize(lineToRecord());
    }
}
BENCHMARK(BM_lineToRecord);

void BM_recordToLine(benchmark::State& state) {
    dataLine();
    for (auto _ : state) {
        benchmark::DoNotOptimize(recordToLine());
        benchmark::DoNotOptimize(sHexLine.data());
    }
}
BENCHMARK(BM_recordToLine);

void BM_hexLineSum(benchmark::State& state) {
    const std::string line = dataLine();
    for (auto _ : state) {
        benchmark::DoNotOptimize(hexLineSum(line.data() + 1, 0x40 + 5));
    }
}
BENCHMARK(BM_hexLineSum);

void BM_calcCRC8_frame(benchmark::State& state) {
    const std::uint8_t frame[7] = {0x81, 0, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        benchmark::DoNotOptimize(calcCRC8(frame, sizeof frame));
    }
}
BENCHMARK(BM_calcCRC8_frame);

void BM_calcCRC16_upid(benchmark::State& state) {
    const std::uint8_t block[10] = {0x01, 0x66, 0x1A, 0x00, 0x18, 0x00, 0x31, 0x00, 0x00, 0x00};
    for (auto _ : state) {
        benchmark::DoNotOptimize(calcCRC16(block, sizeof block));
    }
}
BENCHMARK(BM_calcCRC16_upid);

}  // namespace

BENCHMARK_MAIN();
