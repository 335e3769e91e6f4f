// The update procedure's paths with a small loaded firmware file (image 0) and read-info-only
// runs: identification, the update-ID block, refusals, programming faults, cancel and repeats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "firmware/file_reader.h"
#include "tests/firmware/firmware_files.h"
#include "tests/update/update_fixture.h"

namespace pelion::test {
namespace {

const TBl3FileHeader cFILE_HEADER{0x6601, 6, 3, 24, 49, "01.02.2023 10:00:00", 3, 0};

// What a BL3 3.0 logger on platform 24, print 49 tells before the image choice.
const Notes cBL3_IDENTITY{{cNT_CLASS, 0xC802},       {cNT_VERSION, 0},   {cNT_PLATFORM, 24},
                          {cNT_PRINT, 49},           {cNT_INFO, 0},      {cNT_UPDATE_CLASS, 0x6601},
                          {cNT_UPDATE_INFO, 0x001A}, {cNT_PLATFORM, 24}, {cNT_PRINT, 49}};
const Wire cBL3_ENTRY{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY, cPLATFORM_QUERY,
                      cUPDATE_ID_QUERY_BLOCK_0060};

Notes concat(Notes head, const Notes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Wire concat(Wire head, const Wire& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Notes checksUpTo(int last) {
    Notes checks;
    for (int i = 1; i <= last; ++i) {
        checks.push_back({cNT_CHECK_IMAGE, i});
    }
    return checks;
}

sim::LoggerConfig inBootloader() {
    sim::LoggerConfig config;
    config.startInBootloader = true;
    return config;
}

std::string lowerCase(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return line;
}

const std::string D0 = dataLine(0x0000, 1);
const std::string D1 = dataLine(0x0001, 2);
const std::string D2 = dataLine(0x0002, 3);
const std::string VT = dataLine(cVECTOR_TABLE, 4);
const std::string VT_LATER = dataLine(cVECTOR_TABLE, 5);

// Data, data, the vector table in the middle, data, end of file.
const std::vector<std::string> cSMALL_IMAGE{D0, D1, VT, D2, cEND_OF_FILE};

TEST_F(UpdateRun, LoggerInItsBootloaderIsIdentifiedOnceAndProgrammedWithoutJump) {
    sim::SimulatedLogger sim(inBootloader());
    loadImage(cSMALL_IMAGE, cFILE_HEADER);

    const Notes notes = run(sim);

    EXPECT_EQ(notes, concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0},
                                            {cNT_UPDATE_START, tCMD0},
                                            {cNT_PROGRESS, 24},
                                            {cNT_VECTOR_TABLE, 0},
                                            {cNT_PROGRESS, 74},
                                            {cNT_VECTOR_TABLE, 1},
                                            {cNT_CLASS, 0x6601},
                                            {cNT_FINISHED, tCMD0}}));
    EXPECT_EQ(ChosenImage.load(), 0);
    const Wire expected =
        concat(cBL3_ENTRY, {cSTART_BL23, D0, D1, D2, VT, cEND_BL23, cIDENTITY_QUERY});
    const Wire wire = wireAfter(sim, expected.size());
    EXPECT_EQ(wire, expected);
    expectProgrammed(sim, wire, cSMALL_IMAGE, cSTART_BL23, cEND_BL23);
    EXPECT_EQ(sim.writeOrder(), (std::vector<std::uint16_t>{0x0000, 0x0001, 0x0002, 0x03DF}));
}

TEST_F(UpdateRun, RecordsOtherThan64ByteDataAreSkippedButCountForProgress) {
    sim::SimulatedLogger sim(inBootloader());
    const std::string extendedAddress = ":020000040000FA";
    const std::string shortData = ":0400100001020304E2";
    const std::vector<std::string> lines{extendedAddress, D0, shortData, VT, cEND_OF_FILE};
    loadImage(lines, cFILE_HEADER);

    const Notes notes = run(sim);

    EXPECT_EQ(notes, concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0},
                                            {cNT_UPDATE_START, tCMD0},
                                            {cNT_PROGRESS, 24},
                                            {cNT_PROGRESS, 49},
                                            {cNT_VECTOR_TABLE, 0},
                                            {cNT_VECTOR_TABLE, 1},
                                            {cNT_CLASS, 0x6601},
                                            {cNT_FINISHED, tCMD0}}));
    const Wire wire = wireAfter(sim, cBL3_ENTRY.size() + 5);
    expectProgrammed(sim, wire, lines, cSTART_BL23, cEND_BL23);
}

// A firmware file as common toolchains write it, with an extended address of zero before the
// data and a start address before the end record, loads from disk and programs its data; the
// two records are not sent and only advance the progress.
TEST_F(UpdateRun, FileWithAddressAndStartRecordsProgramsItsData) {
    sim::SimulatedLogger sim(inBootloader());
    const std::vector<std::string> lines{":020000040000FA",     D0,          D1, VT,
                                         ":040000050000012DC9", cEND_OF_FILE};
    std::string text =
        "bootloader=3\nbootloader version=0\nclass=26113\nversionH=6\nversionL=3\n"
        "platform=24\nprint=49\ndate=01.02.2023 10:00:00\n";
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    TempFolder folder;
    std::string reason;
    ASSERT_TRUE(loadFirmwareFile(folder.write("toolchain.hex", text), &reason)) << reason;
    ASSERT_EQ(FirmwareFileHeader, cFILE_HEADER);

    const Notes notes = run(sim);

    EXPECT_EQ(notes, concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0},
                                            {cNT_UPDATE_START, tCMD0},
                                            {cNT_PROGRESS, 19},
                                            {cNT_PROGRESS, 39},
                                            {cNT_VECTOR_TABLE, 0},
                                            {cNT_PROGRESS, 79},
                                            {cNT_VECTOR_TABLE, 1},
                                            {cNT_CLASS, 0x6601},
                                            {cNT_FINISHED, tCMD0}}));
    const Wire wire = wireAfter(sim, cBL3_ENTRY.size() + 6);
    expectProgrammed(sim, wire, lines, cSTART_BL23, cEND_BL23);
}

TEST_F(UpdateRun, OfTwoVectorTableLinesOnlyTheLaterIsProgrammedAndLast) {
    sim::SimulatedLogger sim(inBootloader());
    loadImage({D0, VT, D1, VT_LATER, cEND_OF_FILE}, cFILE_HEADER);

    const Notes notes = run(sim);

    EXPECT_EQ(notes, concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0},
                                            {cNT_UPDATE_START, tCMD0},
                                            {cNT_VECTOR_TABLE, 0},
                                            {cNT_PROGRESS, 49},
                                            {cNT_VECTOR_TABLE, 0},
                                            {cNT_VECTOR_TABLE, 1},
                                            {cNT_CLASS, 0x6601},
                                            {cNT_FINISHED, tCMD0}}));
    const Wire wire = wireAfter(sim, cBL3_ENTRY.size() + 6);
    expectProgrammed(sim, wire, {D0, D1, VT_LATER, cEND_OF_FILE}, cSTART_BL23, cEND_BL23);
}

// Read-info-only runs of loggers in their bootloader: the update-ID block is asked for where
// the bootloader keeps it, and the run stops after the choice without programming.
struct InfoCase {
    const char* name;
    sim::LoggerConfig config;
    Notes notes;
    Wire wireAfterIdentity;
    int chosenImage;
};

void PrintTo(const InfoCase& c, std::ostream* os) {
    *os << c.name;
}

sim::LoggerConfig bootloader(std::uint16_t blClass, std::uint16_t blVersion, std::uint16_t platform,
                             std::uint16_t print) {
    sim::LoggerConfig config = inBootloader();
    config.blClass = blClass;
    config.blVersion = blVersion;
    config.platform = config.upidPlatform = platform;
    config.print = config.upidPrint = print;
    return config;
}

sim::LoggerConfig withUpdateIdBlock(sim::LoggerConfig config, std::uint16_t platform,
                                    std::uint16_t print, bool crcValid) {
    config.upidPlatform = platform;
    config.upidPrint = print;
    config.upidCrcValid = crcValid;
    return config;
}

class ReadInfoOnly : public UpdateRun, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(ReadInfoOnly, StopsAfterTheChoiceWithoutProgramming) {
    const InfoCase& c = GetParam();
    sim::SimulatedLogger sim(c.config);
    bReadInfoOnly = true;

    EXPECT_EQ(run(sim), c.notes);
    EXPECT_EQ(ChosenImage.load(), c.chosenImage);
    const Wire expected =
        concat({cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY}, c.wireAfterIdentity);
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Loggers, ReadInfoOnly,
    ::testing::Values(InfoCase{"Bl2AsksAtTheByteAddress",
                               bootloader(0xC801, 0x0001, 4, 10),
                               concat(Notes{{cNT_CLASS, 0xC801},
                                            {cNT_VERSION, 1},
                                            {cNT_PLATFORM, 4},
                                            {cNT_PRINT, 10},
                                            {cNT_INFO, 0},
                                            {cNT_UPDATE_CLASS, 0x6601},
                                            {cNT_UPDATE_INFO, 0x001A},
                                            {cNT_PLATFORM, 4},
                                            {cNT_PRINT, 10}},
                                      concat(checksUpTo(5), {{cNT_ABORTED, 70}})),
                               {cPLATFORM_QUERY, cUPDATE_ID_QUERY_0x1000},
                               5},
                      InfoCase{"Bl3AsksByBlockNumber",
                               bootloader(0xC802, 0x0000, 12, 18),
                               concat(Notes{{cNT_CLASS, 0xC802},
                                            {cNT_VERSION, 0},
                                            {cNT_PLATFORM, 12},
                                            {cNT_PRINT, 18},
                                            {cNT_INFO, 0},
                                            {cNT_UPDATE_CLASS, 0x6601},
                                            {cNT_UPDATE_INFO, 0x001A},
                                            {cNT_PLATFORM, 12},
                                            {cNT_PRINT, 18}},
                                      concat(checksUpTo(6), {{cNT_ABORTED, 70}})),
                               {cPLATFORM_QUERY, cUPDATE_ID_QUERY_BLOCK_0060},
                               6},
                      InfoCase{"UnknownPlatformIsNotAskedForItsBlockAndFitsNoImage",
                               bootloader(0xC802, 0x0000, 25, 49),
                               concat(Notes{{cNT_CLASS, 0xC802},
                                            {cNT_VERSION, 0},
                                            {cNT_PLATFORM, 0xFFFF},
                                            {cNT_PRINT, 49},
                                            {cNT_INFO, 0},
                                            {cNT_UPDATE_CLASS, 0xFFFF},
                                            {cNT_UPDATE_INFO, 0xFFFF}},
                                      concat(checksUpTo(11), {{cNT_ABORTED, 47}})),
                               {cPLATFORM_QUERY},
                               -1},
                      InfoCase{"ValidBlockOverridesPlatformAndPrint",
                               withUpdateIdBlock(bootloader(0xC802, 0x0000, 12, 30), 24, 49, true),
                               concat(Notes{{cNT_CLASS, 0xC802},
                                            {cNT_VERSION, 0},
                                            {cNT_PLATFORM, 12},
                                            {cNT_PRINT, 30},
                                            {cNT_INFO, 0},
                                            {cNT_UPDATE_CLASS, 0x6601},
                                            {cNT_UPDATE_INFO, 0x001A},
                                            {cNT_PLATFORM, 24},
                                            {cNT_PRINT, 49}},
                                      concat(checksUpTo(11), {{cNT_ABORTED, 70}})),
                               {cPLATFORM_QUERY, cUPDATE_ID_QUERY_BLOCK_0060},
                               11},
                      InfoCase{"BlockWithWrongCrcLeavesPlatformAndPrint",
                               withUpdateIdBlock(bootloader(0xC802, 0x0000, 12, 30), 24, 49, false),
                               concat(Notes{{cNT_CLASS, 0xC802},
                                            {cNT_VERSION, 0},
                                            {cNT_PLATFORM, 12},
                                            {cNT_PRINT, 30},
                                            {cNT_INFO, 0},
                                            {cNT_UPDATE_CLASS, 0x6601},
                                            {cNT_UPDATE_INFO, 0x001A}},
                                      concat(checksUpTo(7), {{cNT_ABORTED, 70}})),
                               {cPLATFORM_QUERY, cUPDATE_ID_QUERY_BLOCK_0060},
                               7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRun, UnknownLoggerClassIsRefusedBeforeAnyJumpUnlessTheLoggerCheckIsOff) {
    sim::LoggerConfig config;
    config.appClass = 0x1234;
    sim::SimulatedLogger sim(config);

    EXPECT_EQ(run(sim), (Notes{{cNT_CLASS, 0x1234}, {cNT_VERSION, 0x0602}, {cNT_ABORTED, 40}}));

    bCheckLogger = false;
    bReadInfoOnly = true;
    EXPECT_EQ(run(sim), concat(concat({{cNT_CLASS, 0x1234}, {cNT_VERSION, 0x0602}}, cBL3_IDENTITY),
                               concat(checksUpTo(11), {{cNT_ABORTED, 70}})));
    // The first run ended at its identity query; the second jumped without asking for a serial
    // number, which only the application class has.
    const Wire expected = concat({cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY,
                                  cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY, cJUMP_NEW},
                                 Wire(cBL3_ENTRY.begin() + 2, cBL3_ENTRY.end()));
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

TEST_F(UpdateRun, JumpThatDoesNotReachABootloaderIsRefused) {
    // After the jump the logger answers with another device class, or with the application's
    // own class as if the jump had not been taken: either way no bootloader runs, and the run
    // neither jumps again nor goes on.
    for (const std::uint16_t answeredAfterJump : {std::uint16_t{0x6602}, std::uint16_t{0x6601}}) {
        SCOPED_TRACE(answeredAfterJump);
        sim::LoggerConfig config;
        config.blClass = answeredAfterJump;
        sim::SimulatedLogger sim(config);

        EXPECT_EQ(run(sim), (Notes{{cNT_CLASS, 0x6601},
                                   {cNT_VERSION, 0x0602},
                                   {cNT_CLASS, answeredAfterJump},
                                   {cNT_VERSION, 0},
                                   {cNT_ABORTED, 40}}));
        const Wire expected{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY,
                            cSERIAL_QUERY,    cJUMP_NEW,        cIDENTITY_QUERY};
        EXPECT_EQ(wireAfter(sim, expected.size()), expected);
        EXPECT_EQ(sim.received().size(), expected.size());
    }
}

struct LastLineCase {
    const char* name;
    std::vector<std::string> lines;
};

void PrintTo(const LastLineCase& c, std::ostream* os) {
    *os << c.name;
}

class WrongLastLine : public UpdateRun, public ::testing::WithParamInterface<LastLineCase> {};

TEST_P(WrongLastLine, EndsWith42BeforeAnyProgrammingCommand) {
    sim::SimulatedLogger sim(inBootloader());
    loadImage(GetParam().lines, cFILE_HEADER);

    EXPECT_EQ(run(sim), concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0}, {cNT_ABORTED, 42}}));
    EXPECT_EQ(wireAfter(sim, cBL3_ENTRY.size()), cBL3_ENTRY);
}

INSTANTIATE_TEST_SUITE_P(Images, WrongLastLine,
                         ::testing::Values(LastLineCase{"NoLines", {}},
                                           LastLineCase{"OnlyTheEndRecord", {cEND_OF_FILE}},
                                           LastLineCase{"TrailingBlank", {D0, cEND_OF_FILE + " "}},
                                           LastLineCase{"LowerCase", {D0, lowerCase(cEND_OF_FILE)}},
                                           LastLineCase{"NoEndRecord", {D0, D1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRun, LowerCaseImageLineEndsWithAConversionErrorAtThatLine) {
    sim::SimulatedLogger sim(inBootloader());
    loadImage({lowerCase(D0), D1, VT, cEND_OF_FILE}, cFILE_HEADER);

    EXPECT_EQ(run(sim), concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0},
                                               {cNT_UPDATE_START, tCMD0},
                                               {cNT_CONV_ERROR_LINE, 0},
                                               {cNT_ABORTED, 43}}));
    const Wire expected = concat(cBL3_ENTRY, {cSTART_BL23});
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
    EXPECT_FALSE(sim.vectorTableWritten());
}

struct EchoCase {
    const char* name;
    int dataLine;  // counted by the logger from the programming start
    int byte;      // the data byte the logger takes wrongly: every byte of the echo counts
    Notes programming;
    Wire lines;
};

void PrintTo(const EchoCase& c, std::ostream* os) {
    *os << c.name;
}

class WrongEcho : public UpdateRun, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(WrongEcho, EndsWithProgrammingErrorAndARepeat) {
    sim::SimulatedLogger sim(inBootloader());
    sim.wrongEchoAtDataLine(GetParam().dataLine, GetParam().byte);
    loadImage(cSMALL_IMAGE, cFILE_HEADER);

    EXPECT_EQ(run(sim),
              concat(concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0}}), GetParam().programming));
    // Nothing after the line whose echo was wrong: no end command, no identity query.
    const Wire expected = concat(cBL3_ENTRY, concat({cSTART_BL23}, GetParam().lines));
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WrongEcho,
    ::testing::Values(
        EchoCase{"DataLine",
                 1,
                 0,
                 {{cNT_UPDATE_START, tCMD0}, {cNT_PROG_ERROR_LINE, 1}, {cNT_ABORTED, 44}},
                 {D0, D1}},
        EchoCase{"MiddleByteOfADataLine",
                 1,
                 31,
                 {{cNT_UPDATE_START, tCMD0}, {cNT_PROG_ERROR_LINE, 1}, {cNT_ABORTED, 44}},
                 {D0, D1}},
        EchoCase{"LastByteOfADataLine",
                 1,
                 63,
                 {{cNT_UPDATE_START, tCMD0}, {cNT_PROG_ERROR_LINE, 1}, {cNT_ABORTED, 44}},
                 {D0, D1}},
        // The vector table's error names the index of the end-of-file line.
        EchoCase{"VectorTable",
                 3,
                 0,
                 {{cNT_UPDATE_START, tCMD0},
                  {cNT_PROGRESS, 24},
                  {cNT_VECTOR_TABLE, 0},
                  {cNT_PROGRESS, 74},
                  {cNT_VECTOR_TABLE, 1},
                  {cNT_PROG_ERROR_LINE, 4},
                  {cNT_ABORTED, 44}},
                 {D0, D1, D2, VT}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRun, LoggerBootingWithAnotherClassIsNotASuccess) {
    sim::LoggerConfig config = inBootloader();
    config.bootedClass = 0x6602;
    sim::SimulatedLogger sim(config);
    loadImage(cSMALL_IMAGE, cFILE_HEADER);

    const Notes notes = run(sim);

    ASSERT_GE(notes.size(), 3u);
    EXPECT_EQ(Notes(notes.end() - 3, notes.end()),
              (Notes{{cNT_VECTOR_TABLE, 1}, {cNT_CLASS, 0x6602}, {cNT_ABORTED, 45}}));
}

TEST_F(UpdateRun, LoggerSilentAfterTheJumpMakesTheRunRepeat) {
    sim::SimulatedLogger sim;
    sim.powerCutAtJump();

    EXPECT_EQ(run(sim), (Notes{{cNT_CLASS, 0x6601}, {cNT_VERSION, 0x0602}, {cNT_RETRY, tCMD0}}));
    const Wire expected{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY, cSERIAL_QUERY,
                        cJUMP_NEW,        cIDENTITY_QUERY,  cIDENTITY_QUERY, cIDENTITY_QUERY,
                        cIDENTITY_QUERY,  cIDENTITY_QUERY};
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

// A platform query that gets no usable answer in five attempts, whether silence or noise.
struct PlatformAnswerFault {
    const char* name;
    void (*apply)(sim::SimulatedLogger&);
};

class UnusablePlatformAnswer : public UpdateRun,
                               public ::testing::WithParamInterface<PlatformAnswerFault> {};

TEST_P(UnusablePlatformAnswer, IsAnInvalidAnswer) {
    sim::SimulatedLogger sim(inBootloader());
    const auto spoilAfterIdentity = [&sim](const Notification& n) {
        if (n == Notification{cNT_CLASS, 0xC802}) {
            GetParam().apply(sim);
        }
    };

    EXPECT_EQ(run(sim, spoilAfterIdentity),
              (Notes{{cNT_CLASS, 0xC802}, {cNT_VERSION, 0}, {cNT_ABORTED, 46}}));
    const Wire expected{cNULL_FRAME_TEXT, cNULL_FRAME_TEXT, cIDENTITY_QUERY, cPLATFORM_QUERY,
                        cPLATFORM_QUERY,  cPLATFORM_QUERY,  cPLATFORM_QUERY, cPLATFORM_QUERY};
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    PlatformQuery, UnusablePlatformAnswer,
    ::testing::Values(
        PlatformAnswerFault{"Silence", [](sim::SimulatedLogger& s) { s.muteNextExchanges(1000); }},
        PlatformAnswerFault{"Noise", [](sim::SimulatedLogger& s) { s.garbleNextAnswers(1000); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRun, CancelDuringProgrammingLeavesTheVectorTableUnwritten) {
    sim::SimulatedLogger sim(inBootloader());
    std::vector<std::string> lines;
    for (std::uint16_t block = 0; block < 20; ++block) {
        lines.push_back(dataLine(block, static_cast<std::uint8_t>(block)));
    }
    lines.push_back(VT);
    lines.push_back(cEND_OF_FILE);
    loadImage(lines, cFILE_HEADER);
    const auto cancelOnFirstProgress = [](const Notification& n) {
        if (n.code == cNT_PROGRESS) {
            cancel();
        }
    };

    // Line 1 of 21 is the first to move the progress; the line after it is never sent.
    EXPECT_EQ(run(sim, cancelOnFirstProgress), concat(cBL3_IDENTITY, {{cNT_CHECK_IMAGE, 0},
                                                                      {cNT_UPDATE_START, tCMD0},
                                                                      {cNT_PROGRESS, 4},
                                                                      {cNT_ABORTED, 20}}));
    const Wire expected = concat(cBL3_ENTRY, {cSTART_BL23, lines[0], lines[1]});
    EXPECT_EQ(wireAfter(sim, expected.size()), expected);
    EXPECT_FALSE(sim.vectorTableWritten());
}

}  // namespace
}  // namespace pelion::test
