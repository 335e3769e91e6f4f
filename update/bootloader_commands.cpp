#include "update/bootloader_commands.h"

#include "firmware/naming.h"
#include "link/hex_record.h"

namespace pelion {

namespace {

constexpr std::uint8_t cCMD_IDENTITY = 1;  // also the serial-number query, with p1 = 3
constexpr std::uint8_t cCMD_JUMP_NEW = 2;
constexpr std::uint8_t cCMD_JUMP_OLD = 5;
constexpr std::uint16_t cFIRST_NEW_JUMP_VERSION = 0x0600;

constexpr std::uint8_t cLINE_PLATFORM = 0x20;
constexpr std::uint8_t cLINE_UPDATE_ID = 0x30;
constexpr std::uint8_t cLINE_COMMAND_TYPE = 5;
constexpr std::uint8_t cPLATFORM_ANSWER_BYTES = 6;
constexpr std::uint8_t cDATA_LINE_BYTES = 64;
constexpr std::uint32_t cBL3_BLOCK_SIZE = 64;  // BL3 addresses its update-ID block by block

struct ProgrammingCodes {
    std::uint8_t start;
    std::uint8_t end;
};

// The oldest bootloader speaks its own pair of programming codes.
ProgrammingCodes programmingCodes(std::uint16_t blClass) {
    return blClass == cCLASS_BL ? ProgrammingCodes{0x11, 0x13} : ProgrammingCodes{0x31, 0x33};
}

// Data byte k of the record in HexRecord.
std::uint8_t d(int k) {
    return HexRecord[4 + k];
}

}  // namespace

IdentityAnswer TBootloaderCommands::queryIdentity() {
    sendCommand(true, cCMD_IDENTITY, 0, 0, 0, 0, 0, 0);
    return {bytesToWord(FRxBuffer[2], FRxBuffer[3]), bytesToWord(FRxBuffer[4], FRxBuffer[5])};
}

std::uint32_t TBootloaderCommands::querySerialNumber() {
    sendCommand(true, cCMD_IDENTITY, 3, 0, 0, 0, 0, 0);
    return bytesToLongWord(FRxBuffer[4], FRxBuffer[3], FRxBuffer[2], FRxBuffer[1]);
}

void TBootloaderCommands::jumpToBootloader(std::uint16_t version) {
    if (version < cFIRST_NEW_JUMP_VERSION) {
        sendCommand(false, cCMD_JUMP_OLD, 0x03, 0xA5, 0x5A, 0, 0, 0);
    } else {
        sendCommand(false, cCMD_JUMP_NEW, 0x81, 0x00, 0xA5, 0x5A, 0, 0);
    }
}

bool TBootloaderCommands::sendLineCommand(std::uint8_t code, std::uint16_t address,
                                          std::uint8_t answerBytes, bool bRaise) {
    HexRecord[0] = 1;
    HexRecord[1] = static_cast<std::uint8_t>(address >> 8);
    HexRecord[2] = static_cast<std::uint8_t>(address);
    HexRecord[3] = cLINE_COMMAND_TYPE;
    HexRecord[4] = code;
    recordToLine();  // one data byte always converts
    return sendLine(sHexLine, answerBytes, bRaise);
}

bool TBootloaderCommands::decodeAnswer() {
    answerText(sHexLine);
    return lineToRecord();
}

std::optional<PlatformAnswer> TBootloaderCommands::queryPlatform() {
    if (!sendLineCommand(cLINE_PLATFORM, 0, cPLATFORM_ANSWER_BYTES, false) || !decodeAnswer()) {
        return std::nullopt;
    }
    return PlatformAnswer{checkPlatform(bytesToWord(d(0), d(1))),
                          checkPrint(bytesToWord(d(2), d(3))), bytesToWord(d(4), d(5))};
}

std::optional<UpdateIdBlock> TBootloaderCommands::queryUpdateId(std::uint16_t blClass,
                                                                std::uint16_t platform) {
    std::uint32_t address = getUpidAddress(platform);
    if (blClass == cCLASS_BL3) {
        address /= cBL3_BLOCK_SIZE;
    }
    if (!sendLineCommand(cLINE_UPDATE_ID, static_cast<std::uint16_t>(address), cDATA_LINE_BYTES,
                         false) ||
        !decodeAnswer()) {
        return std::nullopt;
    }
    // The block's words are stored low byte first.
    return UpdateIdBlock{checkClass(bytesToWord(d(1), d(0))),
                         bytesToWord(d(3), d(2)),
                         bytesToWord(d(5), d(4)),
                         bytesToWord(d(7), d(6)),
                         bytesToWord(d(9), d(8)),
                         bytesToWord(d(11), d(10))};
}

bool TBootloaderCommands::isValid(const UpdateIdBlock& block) {
    return calculateCRC16(block.upid_id, block.upid_info, block.upid_platform, block.upid_print,
                          block.upid_reserve) == block.crc &&
           block.upid_platform != 0xFFFF && block.upid_print != 0xFFFF;
}

void TBootloaderCommands::startProgramming(std::uint16_t blClass) {
    sendLineCommand(programmingCodes(blClass).start, 0, 1, true);
}

void TBootloaderCommands::endProgramming(std::uint16_t blClass) {
    sendLineCommand(programmingCodes(blClass).end, 0, 0, true);
}

bool TBootloaderCommands::programLine(const std::string& sLine) {
    sendLine(sLine, cDATA_LINE_BYTES, true);
    std::string echo;
    answerText(echo);
    return echo == sLine;
}

}  // namespace pelion
