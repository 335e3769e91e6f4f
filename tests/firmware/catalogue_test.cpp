#include "firmware/catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "link/hex_record.h"

namespace pelion {
namespace {

struct ImageRow {
    int image;
    std::uint16_t verH, verL, platform, print, bl, blVer;
    const char* date;
    int lastLine;
};

const ImageRow cIMAGE_TABLE[] = {
    {1, 3, 20, 0, 0, 2, 0, "18.06.2009 16:27:52", 523},
    {2, 4, 8, 1, 1, 2, 0, "26.06.2009 14:37:42", 560},
    {3, 5, 8, 1, 2, 2, 0, "27.01.2010 10:04:04", 562},
    {4, 5, 18, 4, 6, 2, 0, "03.02.2011 19:30:56", 598},
    {5, 5, 42, 4, 10, 2, 1, "16.11.2012 13:15:56", 720},
    {6, 5, 126, 12, 18, 3, 0, "12.04.2019 08:56:26", 697},
    {7, 5, 134, 12, 30, 3, 0, "12.08.2020 08:01:44", 744},
    {8, 5, 136, 12, 30, 3, 0, "06.07.2020 13:03:08", 782},
    {9, 5, 140, 12, 44, 3, 0, "27.05.2021 10:56:04", 782},
    {10, 5, 162, 23, 49, 3, 0, "22.08.2022 13:57:46", 764},
    {11, 6, 2, 24, 49, 3, 0, "13.10.2022 13:42:00", 766},
};

struct Result {
    bool ok;
    std::string text;
    int lastLine;
    TBl3FileHeader header;
};

// The accessor with out-arguments pre-set to values it must overwrite or leave alone.
Result query(int image, int selector, int line = 0) {
    Result r{false, "stale", 99, {}};
    r.header.orvo_verH = 7;
    r.header.orvo_date = "kept";
    r.ok = getFirmwareData(image, selector, line, r.text, r.lastLine, r.header);
    return r;
}

TEST(Catalogue, HoldsElevenImagesWithTheirHeadersAndLastLines) {
    EXPECT_EQ(getFirmwareCount(), 11);
    EXPECT_EQ(getFirmwareLastLine(1), 523);
    EXPECT_EQ(getFirmwareLastLine(11), 766);
    for (const ImageRow& row : cIMAGE_TABLE) {
        SCOPED_TRACE(row.image);
        const TBl3FileHeader expected{0x6601,    row.verH, row.verL, row.platform,
                                      row.print, row.date, row.bl,   row.blVer};
        EXPECT_EQ(getFirmwareHeader(row.image), expected);
        EXPECT_EQ(getFirmwareLastLine(row.image), row.lastLine);
    }
}

// What the update procedure relies on: 64-byte data records the codec accepts, the end
// record last, and one vector-table record that is not the last one sent in file order.
TEST(Catalogue, EveryEmbeddedImageIsWellFormed) {
    for (int image = 1; image <= getFirmwareCount(); ++image) {
        SCOPED_TRACE(image);
        const int last = getFirmwareLastLine(image);
        std::string line;
        int lastLine = 0;
        TBl3FileHeader header;
        ASSERT_TRUE(getFirmwareData(image, cFW_LINE, last, line, lastLine, header));
        EXPECT_EQ(line, ":00000001FF");
        std::set<std::uint16_t> blocks;
        std::vector<int> vectorTableLines;
        for (int n = 0; n < last; ++n) {
            ASSERT_TRUE(getFirmwareData(image, cFW_LINE, n, line, lastLine, header));
            ASSERT_EQ(line.size(), 139u) << "line " << n;
            ASSERT_EQ(line.substr(0, 3), ":40") << "line " << n;
            sHexLine = line;
            ASSERT_TRUE(lineToRecord()) << "line " << n << ": " << line;
            ASSERT_EQ(HexRecord[3], 0) << "line " << n;
            const std::uint16_t block = bytesToWord(HexRecord[1], HexRecord[2]);
            EXPECT_TRUE(blocks.insert(block).second) << "block " << block << " twice";
            if (block == 0x03DF)
                vectorTableLines.push_back(n);
        }
        ASSERT_EQ(vectorTableLines.size(), 1u);
        EXPECT_LT(vectorTableLines.front(), last - 1);
    }
}

TEST(Catalogue, ImageOutsideTheCatalogueIsRefused) {
    for (int image : {-1, 12}) {
        SCOPED_TRACE(image);
        for (int selector : {cFW_HEADER, cFW_LAST_LINE, cFW_LINE}) {
            const Result r = query(image, selector);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.header.orvo_class, 0xFFFF);
            EXPECT_EQ(r.header.orvo_platform, 0xFFFF);
            EXPECT_EQ(r.header.orvo_print, 0xFFFF);
            EXPECT_EQ(r.header.orvo_verH, 7);  // the accessor leaves the rest alone
            EXPECT_EQ(r.header.orvo_date, "kept");
            EXPECT_EQ(r.lastLine, 0);
            EXPECT_EQ(r.text, "");
        }
        const TBl3FileHeader expected{0xFFFF, 0, 0, 0xFFFF, 0xFFFF, "", 0, 0};
        EXPECT_EQ(getFirmwareHeader(image), expected);
        EXPECT_EQ(getFirmwareLastLine(image), 0);
    }
}

TEST(Catalogue, UnknownSelectorOrLineOutsideTheImageIsRefused) {
    struct Case {
        int image, selector, line;
    };
    const Case cases[] = {{11, 3, 0},         {0, 3, 0},           {11, -1, 0},
                          {11, cFW_LINE, -1}, {11, cFW_LINE, 767}, {1, cFW_LINE, 524},
                          {0, cFW_LINE, 0},   {0, cFW_LINE, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image << "/" << c.selector << "/" << c.line);
        const Result r = query(c.image, c.selector, c.line);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.text, "");
        EXPECT_EQ(r.lastLine, 0);
        EXPECT_EQ(r.header.orvo_class, 0xFFFF);
    }
}

TEST(Catalogue, LoadedFileSlotIsEmptyBeforeAnyLoad) {
    EXPECT_EQ(ChosenImage.load(), -1);
    EXPECT_EQ(getFirmwareLastLine(0), -1);
    EXPECT_EQ(getFirmwareHeader(0), TBl3FileHeader{});
}

TEST(Catalogue, ChosenImageSelectsTheLinesHandedOut) {
    ChosenImage = -1;
    EXPECT_EQ(getChosenLastLine(), 0);
    EXPECT_EQ(getChosenLine(0), "");

    ChosenImage = 11;
    EXPECT_EQ(getChosenLastLine(), 766);
    EXPECT_EQ(getChosenLine(766), ":00000001FF");
    EXPECT_EQ(getChosenLine(767), "");

    FirmwareLines = {":0100000000FF", ":00000001FF"};
    ChosenImage = 0;
    EXPECT_EQ(getChosenLastLine(), 1);
    EXPECT_EQ(getChosenLine(0), ":0100000000FF");
    EXPECT_EQ(getChosenLine(2), "");
    FirmwareLines.clear();
    ChosenImage = -1;
}

}  // namespace
}  // namespace pelion
