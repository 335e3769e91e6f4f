// The Windows programs under Wine in a German locale, whose ANSI code page is 1252, as on the
// technicians' PCs: a path with letters beyond ASCII reaches the file reader intact, and the
// system's own texts keep their letters on their way into the report and the JSON events.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "sim/simulated_logger.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/wine/german_locale.h"
#include "tests/wine/wine_session.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;

constexpr const char* cLOGGER_PORT = "COM35";
constexpr const char* cGATE_KEY = "HKCU\\Software\\Tessaly\\Orvo";
constexpr const char* cIMAGE_11 = "uFW_Pelion_V6_02_PF24_PR49_BL3_0.txt";

class GermanWindows : public testing::Test {
protected:
    GermanWindows() { test::useGermanLocale(wine_); }

    int run(const std::vector<std::string>& args) {
        program_ = wine_.startProgram(args);
        return program_->finish();
    }

    test::WineSession wine_;
    std::unique_ptr<test::ChildProcess> program_;
};

// Internal mode with the File element, a firmware file under C:\users\Jürgen\.
TEST_F(GermanWindows, FirmwareFileUnderAFolderWithAnUmlautProgramsTheLogger) {
    ASSERT_TRUE(
        wine_.reg({"add", cGATE_KEY, "/v", "intern", "/t", "REG_DWORD", "/d", "6021", "/f"}));
    const fs::path folder = fs::path(PELION_WINE_PREFIX) / "drive_c" / "users" / u8"Jürgen";
    fs::create_directories(folder);
    fs::copy_file(fs::path(PELION_IMAGES_DIR) / cIMAGE_11, folder / "image.txt",
                  fs::copy_options::overwrite_existing);
    sim::SimulatedLogger logger(test::loggerOfImage11());
    wine_.mapComPort(cLOGGER_PORT, logger.portPath());

    const int status = run(
        {"--file", "C:\\users\\J\xC3\xBCrgen\\image.txt", "--port", cLOGGER_PORT, "--yes", "f:+"});
    wine_.reg({"delete", cGATE_KEY, "/f"});
    EXPECT_EQ(status, 0) << program_->out() << program_->err();
    EXPECT_TRUE(logger.flashEquals(test::imageLines(11)));
}

// A port name with characters that Windows allows in no device name: Windows says why in
// German ("Ungültiger Name"), and the explanation stands with the verdict in the events.
TEST_F(GermanWindows, SystemTextKeepsItsLettersInJson) {
    EXPECT_EQ(run({"--port", "COM<1>", "--yes", "--json"}), 10) << program_->err();
    std::string explained;
    std::istringstream lines(program_->out());
    for (std::string line; std::getline(lines, line);) {
        const auto event = nlohmann::json::parse(line);
        if (event.value("name", "") == "cNT_ABORTED") {
            explained = event.value("report", "");
        }
    }
    EXPECT_NE(explained.find("No such device (Ung\xC3\xBCltiger Name)"), std::string::npos)
        << explained;
    EXPECT_NE(program_->err().find("(Ung\xC3\xBCltiger Name)"), std::string::npos)
        << program_->err();
}

// The manifest makes UTF-8 the ANSI code page of the programs only from Windows 10 (1903) on;
// without it, as on older Windows, arguments and system texts must still come as UTF-8.
TEST_F(GermanWindows, ArgumentsAndSystemTextsAreUtf8WithoutTheManifest) {
    auto arguments =
        wine_.start(PELION_WIN32_PROBE, {"arguments", "C:\\users\\J\xC3\xBCrgen\\a b.txt"});
    ASSERT_EQ(arguments->finish(), 0) << arguments->err();
    EXPECT_EQ(arguments->out(), "C:\\users\\J\xC3\xBCrgen\\a b.txt\r\n");

    auto text = wine_.start(PELION_WIN32_PROBE, {"text", "123"});  // ERROR_INVALID_NAME
    ASSERT_EQ(text->finish(), 0) << text->err();
    EXPECT_EQ(text->out(), "Ung\xC3\xBCltiger Name\r\n");
}

}  // namespace
}  // namespace pelion
