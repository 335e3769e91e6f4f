// Random damage to firmware files, fed to the reader: it must never crash, and every load
// either succeeds completely or leaves nothing behind that a run could program.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "firmware/file_reader.h"
#include "tests/firmware/firmware_files.h"

namespace pelion {
namespace {

const char cALPHABET[] = "=0123456789ABCDEFabcdefxX$+- :\r\n\t\xEF\xBB\xBF\x80\xFF";

std::string damaged(std::string text, std::mt19937& rng) {
    auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % (n ? n : 1)); };
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < edits; ++i) {
        const std::size_t at = pick(text.size() + 1);
        switch (rng() % 6) {
            case 0:
                text.insert(at, 1, cALPHABET[pick(sizeof cALPHABET - 1)]);
                break;
            case 1:
                text.insert(at, 1, static_cast<char>(rng()));
                break;
            case 2:
                if (at < text.size())
                    text.erase(at, 1 + pick(40));
                break;
            case 3:
                if (at < text.size())
                    text[at] = cALPHABET[pick(sizeof cALPHABET - 1)];
                break;
            case 4:
                text.resize(at);
                break;
            default:
                text.insert(at, text.substr(pick(text.size()), pick(200)));
                break;
        }
    }
    return text;
}

std::string randomBytes(std::mt19937& rng) {
    std::string text(rng() % 2000, '\0');
    for (char& c : text)
        c = static_cast<char>(rng());
    return text;
}

// The beginning of image 1: long enough to reach into the records, short enough to be quick.
std::string sampleText() {
    const std::string whole = test::imageFileText(1);
    return whole.substr(0, 8000) + ":00000001FF\n";
}

TEST(FirmwareFileFuzz, HeaderReaderSurvivesDamagedText) {
    std::mt19937 rng(20221013);
    const std::string sample = sampleText();
    for (int i = 0; i < 3000; ++i) {
        std::istringstream in(i % 5 == 0 ? randomBytes(rng) : damaged(sample, rng));
        TBl3FileHeader header;
        try {
            readFileHeader(in, header);
        } catch (const FirmwareFileError& e) {
            EXPECT_GE(e.lineNumber, 2);
            EXPECT_LE(e.lineNumber, 7);
            EXPECT_TRUE(std::string(e.what()).starts_with("line " + std::to_string(e.lineNumber)));
        }
    }
}

TEST(FirmwareFileFuzz, LoadIsAllOrNothing) {
    std::mt19937 rng(1642);
    const std::string sample = sampleText();
    test::TempFolder folder;
    int loaded = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string text = i % 5 == 0 ? randomBytes(rng) : damaged(sample, rng);
        FirmwareLines = {"from before"};
        ChosenImage = 0;
        std::string reason;
        if (loadFirmwareFile(folder.write("fuzz.txt", text), &reason)) {
            ++loaded;
            EXPECT_EQ(ChosenImage.load(), 0);
            for (const std::string& line : FirmwareLines) {
                EXPECT_EQ(line.find('='), std::string::npos);
                EXPECT_EQ(line.find('\n'), std::string::npos);
            }
        } else {
            EXPECT_EQ(ChosenImage.load(), -1);
            EXPECT_TRUE(FirmwareLines.empty());
            EXPECT_FALSE(reason.empty());
        }
    }
    EXPECT_GT(loaded, 0);  // the damage left some files readable, so both paths ran
    EXPECT_LT(loaded, 400);
}

}  // namespace
}  // namespace pelion
