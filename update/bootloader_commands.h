// The logger's command set: the frame commands its application and bootloaders understand and
// the line commands only its bootloaders understand, with the decoding of their answers.
// Which command is sent when is the update procedure's business (pelion_comm_thread.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/comm_thread.h"

namespace pelion {

inline constexpr std::uint16_t cCLASS_APPLICATION = 0x6601;
inline constexpr std::uint16_t cCLASS_BL = 0xC800;
inline constexpr std::uint16_t cCLASS_BL2 = 0xC801;
inline constexpr std::uint16_t cCLASS_BL3 = 0xC802;

inline bool isBootloaderClass(std::uint16_t cls) {
    return cls >= cCLASS_BL && cls <= cCLASS_BL3;
}

struct IdentityAnswer {
    std::uint16_t cls;
    std::uint16_t version;  // major in the high byte, minor in the low byte
};

struct PlatformAnswer {
    std::uint16_t platform;  // 0xFFFF for a code without a name
    std::uint16_t print;     // 0xFFFF for a code without a name
    std::uint16_t info;
};

// The logger's update-ID block; 0xFFFF everywhere until it has been read.
struct UpdateIdBlock {
    std::uint16_t upid_id = 0xFFFF;  // 0xFFFF for a class without a name
    std::uint16_t upid_info = 0xFFFF;
    std::uint16_t upid_platform = 0xFFFF;
    std::uint16_t upid_print = 0xFFFF;
    std::uint16_t upid_reserve = 0xFFFF;
    std::uint16_t crc = 0xFFFF;  // as stored in the logger
};

class TBootloaderCommands : public TCommThread {
public:
    using TCommThread::TCommThread;

protected:
    // Frame commands (application and bootloaders).
    IdentityAnswer queryIdentity();
    std::uint32_t querySerialNumber();
    // The jump form depends on the version word of the application that is asked to jump.
    void jumpToBootloader(std::uint16_t version);

    // Line commands (BL2 and BL3 only). nullopt when no valid answer came after five attempts
    // or the answer is not a well-formed record.
    std::optional<PlatformAnswer> queryPlatform();
    std::optional<UpdateIdBlock> queryUpdateId(std::uint16_t blClass, std::uint16_t platform);
    // CRC right and platform and print present.
    static bool isValid(const UpdateIdBlock& block);

    // Programming, for every bootloader; each raises 30 when its attempts are used up.
    void startProgramming(std::uint16_t blClass);
    void endProgramming(std::uint16_t blClass);
    // Sends one image line; True when the logger echoed it character for character.
    bool programLine(const std::string& sLine);

private:
    bool sendLineCommand(std::uint8_t code, std::uint16_t address, std::uint8_t answerBytes,
                         bool bRaise);
    // Parses the last line answer into HexRecord; False when it is not a well-formed record.
    bool decodeAnswer();
};

}  // namespace pelion
