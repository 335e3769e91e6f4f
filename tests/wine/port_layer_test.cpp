// The Windows port layer under Wine, held against the rules Microsoft documents for the calls it
// makes. Wine applies what it is handed without those checks, so a setting that a Windows serial
// driver refuses would pass here unnoticed: the settings are read back from the open port and
// checked rule by rule. And the words the user reads when the device goes away, per error code.
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/simulated_logger.h"
#include "tests/support/image_11_logger.h"
#include "tests/wine/wine_session.h"

namespace pelion {
namespace {

constexpr const char* cLOGGER_PORT = "COM34";

std::map<std::string, unsigned long> fieldsOf(const std::string& out) {
    std::map<std::string, unsigned long> fields;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = std::stoul(line.substr(equals + 1));
        }
    }
    return fields;
}

using Settings = std::map<std::string, unsigned long>;

// The value of a field; all bits set (never a valid value) for one that was not read back.
unsigned long field(const Settings& settings, const std::string& name) {
    const auto found = settings.find(name);
    return found == settings.end() ? ~0UL : found->second;
}

bool allZero(const Settings& s, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (field(s, name) != 0) {
            return false;
        }
    }
    return true;
}

// "the total time-out period for write operations" is multiplier x bytes + constant. A write on
// Windows completes when the driver has passed the bytes on, and a short write ends the run:
// for every frame length it must cover the bytes' time on the line (10 bits each at 9600 baud)
// twice over, and a USB adapter's wake from selective suspend (100 ms) besides.
bool writeHasTimeForTheLine(const Settings& s) {
    const unsigned long multiplier = field(s, "WriteTotalTimeoutMultiplier");
    const unsigned long constant = field(s, "WriteTotalTimeoutConstant");
    if (multiplier == 0 && constant == 0) {
        return false;  // no time-out at all: a stuck adapter would hang the run
    }
    for (unsigned long bytes : {1UL, 8UL, 139UL, 255UL}) {
        if (multiplier * bytes + constant < 2 * bytes * 10 * 1000.0 / 9600 + 100) {
            return false;
        }
    }
    return true;
}

struct Rule {
    const char* says;
    bool (*holds)(const Settings&);
};

constexpr Rule cRULES[] = {
    // SetCommState "fails if the XonChar member of the DCB structure is equal to the XoffChar
    // member"; serial drivers refuse equal characters in IOCTL_SERIAL_SET_CHARS as well.
    {"XonChar differs from XoffChar",
     [](const Settings& s) { return field(s, "XonChar") != field(s, "XoffChar"); }},
    // "Windows does not support nonbinary mode transfers, so this member must be TRUE."
    {"fBinary is TRUE", [](const Settings& s) { return field(s, "fBinary") == 1; }},
    // The bootloader knows no handshake: nothing may hold the output back or gate the input.
    {"no CTS, DSR or XON/XOFF flow control, no parity check, no replaced or dropped bytes",
     [](const Settings& s) {
         return allZero(s, {"fOutxCtsFlow", "fOutxDsrFlow", "fDsrSensitivity", "fOutX", "fInX",
                            "fParity", "fErrorChar", "fNull", "fAbortOnError"});
     }},
    {"DTR not used for handshake (DTR_CONTROL_HANDSHAKE)",
     [](const Settings& s) { return field(s, "fDtrControl") <= 1; }},
    {"RTS not used for handshake or toggled (RTS_CONTROL_HANDSHAKE, _TOGGLE)",
     [](const Settings& s) { return field(s, "fRtsControl") <= 1; }},
    {"9600 baud, 8 data bits, no parity, one stop bit",
     [](const Settings& s) {
         return field(s, "BaudRate") == 9600 && field(s, "ByteSize") == 8 &&
                field(s, "Parity") == 0 && field(s, "StopBits") == 0;
     }},
    // The longest frame, a line frame of 255 characters, and its answer fit the queues.
    {"queues of at least 255 bytes each way",
     [](const Settings& s) { return field(s, "InQueue") >= 255 && field(s, "OutQueue") >= 255; }},
    // No interval limit (with MAXDWORD a read would return at once with whatever is there).
    {"a read of n bytes waits n + 200 ms for all of them",
     [](const Settings& s) {
         return field(s, "ReadIntervalTimeout") == 0 &&
                field(s, "ReadTotalTimeoutMultiplier") == 1 &&
                field(s, "ReadTotalTimeoutConstant") == 200;
     }},
    {"a write has twice the line's time and 100 ms besides", writeHasTimeForTheLine},
};

// The settings in force on the logger's port once the programs have opened it.
TEST(PortLayer, SettingsInForceKeepWindowsRules) {
    test::WineSession wine;
    sim::SimulatedLogger logger(test::loggerOfImage11());
    wine.mapComPort(cLOGGER_PORT, logger.portPath());
    auto probe = wine.start(PELION_WIN32_PROBE, {"settings", cLOGGER_PORT});
    ASSERT_EQ(probe->finish(), 0) << probe->out() << probe->err();
    const Settings settings = fieldsOf(probe->out());
    for (const Rule& rule : cRULES) {
        EXPECT_TRUE(rule.holds(settings)) << rule.says << "; read back:\n" << probe->out();
    }
}

struct FailureCase {
    int code;
    const char* words;  // the start of what the user reads
};

constexpr const char* cGONE = "The device went away during the run";

// What USB serial drivers answer a read, a write or a ClearCommError once the adapter has been
// pulled out: the user reads that the device went away, not that the port was refused. Any
// other failure is the system's refusal, in its own words.
constexpr FailureCase cFAILURES[] = {
    {5, cGONE},                                     // ERROR_ACCESS_DENIED
    {2, cGONE},                                     // ERROR_FILE_NOT_FOUND
    {22, cGONE},                                    // ERROR_BAD_COMMAND
    {55, cGONE},                                    // ERROR_DEV_NOT_EXIST
    {433, cGONE},                                   // ERROR_NO_SUCH_DEVICE
    {1167, cGONE},                                  // ERROR_DEVICE_NOT_CONNECTED
    {1617, cGONE},                                  // ERROR_DEVICE_REMOVED
    {31, cGONE},                                    // ERROR_GEN_FAILURE
    {995, cGONE},                                   // ERROR_OPERATION_ABORTED
    {6, cGONE},                                     // ERROR_INVALID_HANDLE
    {87, "The operating system refused the port"},  // ERROR_INVALID_PARAMETER
};

TEST(PortLayer, FailedReadOrWriteIsExplainedPerErrorCode) {
    test::WineSession wine;
    std::vector<std::string> args = {"failures"};
    for (const FailureCase& c : cFAILURES) {
        args.push_back(std::to_string(c.code));
    }
    auto probe = wine.start(PELION_WIN32_PROBE, args);
    ASSERT_EQ(probe->finish(), 0) << probe->err();
    std::map<int, std::string> words;
    std::istringstream in(probe->out());
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos) {
            words[std::stoi(line.substr(0, tab))] = line.substr(tab + 1);
        }
    }
    for (const FailureCase& c : cFAILURES) {
        EXPECT_TRUE(words[c.code].starts_with(c.words)) << c.code << ": " << words[c.code];
    }
}

}  // namespace
}  // namespace pelion
