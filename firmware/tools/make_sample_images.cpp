// Writes the eleven sample firmware images into a folder, in the firmware file format: eight
// header lines, then Intel-HEX data records of 64 bytes and the end-of-file record.
//
// The samples stand in for the real product firmware. The output depends on nothing but this
// file: a fixed seed and a PRNG of our own, so every run writes the same bytes everywhere.
//
// Usage: pelion-make-sample-images <folder>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct SampleImage {
    const char* unit;
    int verH, verL, platform, print, bl, blVer;
    const char* date;
    int lastLine;
};

constexpr SampleImage cSAMPLES[] = {
    {"uFW_PelionB_V3_20", 3, 20, 0, 0, 2, 0, "18.06.2009 16:27:52", 523},
    {"uFW_PelionB_V4_08", 4, 8, 1, 1, 2, 0, "26.06.2009 14:37:42", 560},
    {"uFW_PelionB_V5_08", 5, 8, 1, 2, 2, 0, "27.01.2010 10:04:04", 562},
    {"uFW_PelionB_V5_18_PF4_A5", 5, 18, 4, 6, 2, 0, "03.02.2011 19:30:56", 598},
    {"uFW_Pelion_V5_42_PF4_PR10_BL2_1", 5, 42, 4, 10, 2, 1, "16.11.2012 13:15:56", 720},
    {"uFW_Pelion_V5_126_PF12_PR18_BL3_0", 5, 126, 12, 18, 3, 0, "12.04.2019 08:56:26", 697},
    {"uFW_Pelion_V5_134_PF12_PR30_BL3_0", 5, 134, 12, 30, 3, 0, "12.08.2020 08:01:44", 744},
    {"uFW_Pelion_V5_136_PF12_PR30_BL3_0", 5, 136, 12, 30, 3, 0, "06.07.2020 13:03:08", 782},
    {"uFW_Pelion_V5_140_PF12_PR44_BL3_0", 5, 140, 12, 44, 3, 0, "27.05.2021 10:56:04", 782},
    {"uFW_Pelion_V5_162_PF23_PR49_BL3_0", 5, 162, 23, 49, 3, 0, "22.08.2022 13:57:46", 764},
    {"uFW_Pelion_V6_02_PF24_PR49_BL3_0", 6, 2, 24, 49, 3, 0, "13.10.2022 13:42:00", 766},
};

constexpr std::uint16_t cVECTOR_TABLE_BLOCK = 0x03DF;
constexpr std::uint16_t cHIGH_FLASH_BLOCK = 0x0400;  // first block above the vector table
constexpr int cRECORD_BYTES = 0x40;
constexpr std::uint16_t cCLASS_PELION = 0x6601;

// splitmix64: tiny, portable and fully specified, unlike the standard engines' distributions.
class Prng {
public:
    explicit Prng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next()); }

private:
    std::uint64_t state_;
};

std::string recordLine(std::uint16_t block, const std::vector<std::uint8_t>& data) {
    static const char cDIGITS[] = "0123456789ABCDEF";
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()),
                                       static_cast<std::uint8_t>(block >> 8),
                                       static_cast<std::uint8_t>(block & 0xFF), 0x00};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes)
        sum = static_cast<std::uint8_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(-sum));
    std::string line = ":";
    for (std::uint8_t b : bytes) {
        line += cDIGITS[b >> 4];
        line += cDIGITS[b & 0x0F];
    }
    return line;
}

// Code: random bytes, with the tail of the last block of a segment left erased (0xFF).
std::vector<std::uint8_t> codeBlock(Prng& prng, bool segmentEnd) {
    std::vector<std::uint8_t> data(cRECORD_BYTES);
    const int used = segmentEnd ? 8 + 2 * prng.below(24) : cRECORD_BYTES;
    for (int i = 0; i < cRECORD_BYTES; ++i)
        data[i] = i < used ? prng.byte() : 0xFF;
    return data;
}

// Interrupt vectors: 32 little-endian word addresses, even, inside the low code segment.
std::vector<std::uint8_t> vectorBlock(Prng& prng, std::uint16_t firstCodeBlock) {
    std::vector<std::uint8_t> data;
    const int codeStart = firstCodeBlock * cRECORD_BYTES;
    const int codeSpan = cVECTOR_TABLE_BLOCK * cRECORD_BYTES - codeStart;
    for (int i = 0; i < cRECORD_BYTES / 2; ++i) {
        const int address = (codeStart + prng.below(codeSpan)) & ~1;
        data.push_back(static_cast<std::uint8_t>(address & 0xFF));
        data.push_back(static_cast<std::uint8_t>(address >> 8));
    }
    return data;
}

// Low segment up to the vector table, the vector table, then the segment above it, so the
// vector table sits in the middle of the programming order.
std::vector<std::string> imageLines(const SampleImage& image, Prng& prng) {
    const int dataRecords = image.lastLine;
    const int lowRecords = dataRecords / 2 + prng.below(dataRecords / 4);
    const int highRecords = dataRecords - lowRecords - 1;
    const auto firstLow = static_cast<std::uint16_t>(cVECTOR_TABLE_BLOCK - lowRecords);

    std::vector<std::string> lines;
    for (int i = 0; i < lowRecords; ++i)
        lines.push_back(
            recordLine(static_cast<std::uint16_t>(firstLow + i), codeBlock(prng, false)));
    lines.push_back(recordLine(cVECTOR_TABLE_BLOCK, vectorBlock(prng, firstLow)));
    for (int i = 0; i < highRecords; ++i)
        lines.push_back(recordLine(static_cast<std::uint16_t>(cHIGH_FLASH_BLOCK + i),
                                   codeBlock(prng, i == highRecords - 1)));
    lines.push_back(":00000001FF");
    return lines;
}

bool writeImage(const std::filesystem::path& folder, const SampleImage& image, Prng& prng) {
    const auto path = folder / (std::string(image.unit) + ".txt");
    std::ofstream out(path, std::ios::binary);
    out << "bootloader=" << image.bl << "\n"
        << "bootloader version=" << image.blVer << "\n"
        << "class=" << cCLASS_PELION << "\n"
        << "versionH=" << image.verH << "\n"
        << "versionL=" << image.verL << "\n"
        << "platform=" << image.platform << "\n"
        << "print=" << image.print << "\n"
        << "date=" << image.date << "\n";
    for (const std::string& line : imageLines(image, prng))
        out << line << "\n";
    out.close();
    if (!out) {
        std::cerr << "cannot write " << path.string() << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: pelion-make-sample-images <folder>\n";
        return 2;
    }
    Prng prng(0x50454C494F4E3036ull);
    for (const SampleImage& image : cSAMPLES)
        if (!writeImage(argv[1], image, prng))
            return 1;
    return 0;
}
