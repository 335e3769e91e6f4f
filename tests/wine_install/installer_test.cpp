// The Windows packages that ./run windows leaves in the build folder, as an IT department uses
// them: the MSI installed and removed silently with msiexec under Wine, the installed programs
// run from where the installer put them and their version resources read as Windows reads
// them, a newer MSI over an older one and one of the same version over another; and the zip's
// contents.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "pelion_version.h"
#include "sim/simulated_logger.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/wine/pe_imports.h"
#include "tests/wine/windows_build.h"
#include "tests/wine/windows_desktop.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;
using test::WineSession;

constexpr const char* cPRODUCT = "Pelion Firmware Update";  // also the main window's caption
constexpr const char* cUNINSTALL_KEY =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* cLOGGER_PORT = "COM33";
// Pixels from the main window's client edges to a point where no control lies.
constexpr int cBARE_CORNER = 4;
constexpr std::uintmax_t cZIP_LIMIT = 25 * 1024 * 1024;
// ERROR_INSTALL_FAILURE (1603) as a Unix exit status, which keeps its low byte.
constexpr int cINSTALL_FAILURE = 1603 % 256;

fs::path package(const std::string& extension) {
    return std::string(PELION_WINDOWS_PACKAGE) + extension;
}

// The packages hold the window program when the cross build was set up with it, as the
// packaging decides.
bool windowProgramBuilt() {
    return test::whyNoWindowProgram(PELION_WIN32_GUI_PROGRAM).empty();
}

fs::path installFolder() {
    return fs::path(PELION_WINE_PREFIX) / "drive_c" / "Program Files" / cPRODUCT;
}

// The shell's output, with the exit status checked.
std::string outputOf(const std::vector<std::string>& command) {
    std::vector<std::string> args = {"/bin/sh", "-c", "exec \"$@\"", "sh"};
    args.insert(args.end(), command.begin(), command.end());
    ChildProcess run(args, {});
    EXPECT_EQ(run.finish(), 0) << command.front() << ": " << run.err();
    return run.out();
}

std::string productCode(const fs::path& msi) {
    const std::string properties = outputOf({"msiinfo", "export", msi, "Property"});
    std::smatch match;
    EXPECT_TRUE(
        std::regex_search(properties, match, std::regex(R"(ProductCode\t(\{[-0-9A-F]+\}))")))
        << properties;
    return match[1];
}

// The files of a folder, by their paths inside it.
std::set<std::string> filesUnder(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.insert(entry.path().lexically_relative(folder).generic_string());
        }
    }
    return files;
}

// The files of the zip, by their paths inside its one top folder.
std::set<std::string> zipFiles() {
    std::set<std::string> files;
    std::istringstream names(outputOf({"unzip", "-Z1", package(".zip")}));
    const std::string top = package("").filename().string() + "/";
    for (std::string name; std::getline(names, name);) {
        EXPECT_TRUE(name.starts_with(top)) << name << " lies outside the folder " << top;
        if (!name.ends_with('/')) {
            files.insert(name.substr(top.size()));
        }
    }
    return files;
}

// The Start-menu entries for the window program, for all users or the installing one: Wine
// puts a per-machine entry into the installing user's menu.
std::vector<fs::path> startMenuEntries() {
    std::vector<fs::path> found;
    const fs::path driveC = fs::path(PELION_WINE_PREFIX) / "drive_c";
    for (const char* root : {"users", "ProgramData"}) {
        if (!fs::exists(driveC / root)) {
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(driveC / root)) {
            if (entry.path().filename() == std::string(cPRODUCT) + ".lnk") {
                found.push_back(entry.path());
            }
        }
    }
    return found;
}

// msiexec ACTION MSI /qn: silently, as a deployment tool runs it; its exit status.
int msiexec(WineSession& wine, const std::string& action, const fs::path& msi) {
    return wine.start("msiexec", {action, msi.string(), "/qn"})->finish(180s);
}

bool registeredAsInstalled(WineSession& wine, const std::string& productCode) {
    return wine.reg({"query", cUNINSTALL_KEY + productCode});
}

void expectNothingLeftBehind(WineSession& wine, const std::string& productCode) {
    EXPECT_FALSE(fs::exists(installFolder())) << installFolder();
    EXPECT_TRUE(startMenuEntries().empty()) << startMenuEntries().front();
    EXPECT_FALSE(registeredAsInstalled(wine, productCode)) << "uninstall entry left";
}

#define ASSERT_PACKAGES_BUILT()                                             \
    ASSERT_TRUE(fs::exists(package(".msi")) && fs::exists(package(".zip"))) \
        << "no " << package(".msi") << " or .zip: ./run windows builds them"

TEST(WindowsZip, HoldsTheProgramsReadmeAndLicencesInOneFolderUnder25MB) {
    ASSERT_PACKAGES_BUILT();
    EXPECT_LT(fs::file_size(package(".zip")), cZIP_LIMIT);
    const std::set<std::string> files = zipFiles();
    std::vector<std::string> expected = {"pelion-update.exe", "README.md",
                                         "licences/pelion-update.txt"};
    if (windowProgramBuilt()) {
        expected.insert(expected.end(), {"pelion-update-gui.exe", "Qt6Widgets.dll",
                                         "platforms/qwindows.dll", "licences/qt.txt"});
    }
    for (const std::string& file : expected) {
        EXPECT_TRUE(files.contains(file)) << file << " missing";
    }
    EXPECT_FALSE(files.contains("pelion-window-probe.exe")) << "a test program is shipped";
}

// Each program and DLL of the installed folder imports only DLLs of the folder or of Windows,
// and each DLL of the folder is imported by one of them or is a Qt plugin (which Qt loads from
// its plugin folder): the package holds what the programs need and nothing more.
void expectExactlyTheDllsNeeded(const fs::path& folder) {
    std::set<std::string> shipped, imported;
    for (const std::string& file : filesUnder(folder)) {
        if (file.ends_with(".dll") && file.find('/') == std::string::npos) {
            shipped.insert(test::lowerCase(file));
        }
    }
    for (const std::string& file : filesUnder(folder)) {
        if (!file.ends_with(".exe") && !file.ends_with(".dll")) {
            continue;
        }
        const auto dlls = test::importedDlls(folder / file);
        EXPECT_FALSE(dlls.empty()) << "no import table read from " << file;
        for (const std::string& dll : dlls) {
            EXPECT_TRUE(test::comesWithWindows(dll) || shipped.contains(dll))
                << file << " imports " << dll << ", which is neither installed nor of Windows";
        }
        imported.insert(dlls.begin(), dlls.end());
    }
    for (const std::string& dll : shipped) {
        EXPECT_TRUE(imported.contains(dll)) << dll << " is shipped but nothing imports it";
    }
}

// Wine mirrors a Start-menu entry into the Linux desktop's menus (XDG_DATA_HOME,
// XDG_CONFIG_HOME) and leaves it there after the uninstall; the tests keep those in the build.
void keepDesktopMenusInTheBuild() {
    const fs::path menus = fs::path(PELION_WINE_INSTALL_WORK) / "desktop-menus";
    setenv("XDG_DATA_HOME", (menus / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (menus / "config").c_str(), 1);
}

// NAME=VALUE lines into a map.
std::map<std::string, std::string> valuesOf(const std::string& lines) {
    std::map<std::string, std::string> values;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        if (const auto equals = line.find('='); equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

// What Explorer shows of an installed program (its version resource, read by Windows' own
// calls) names it, the version and the commit it was built from, as its --version does; the
// window program has its icon, the command-line program none.
void expectVersionResource(WineSession& wine, const std::string& program,
                           const std::string& description, const std::string& icons) {
    const fs::path file = installFolder() / (program + ".exe");
    auto probe = wine.start(PELION_WIN32_VERSION_PROBE, {file.string()});
    ASSERT_EQ(probe->finish(), 0) << program << ": " << probe->err();
    auto values = valuesOf(probe->out());
    EXPECT_EQ(values["ProductName"], cPRODUCT) << probe->out();
    EXPECT_EQ(values["Icons"], icons);
    EXPECT_EQ(values["FileDescription"], description);
    EXPECT_EQ(values["OriginalFilename"], program + ".exe");
    EXPECT_EQ(values["FileVersion"], PELION_VERSION);
    EXPECT_EQ(values["FixedFileVersion"], std::string(PELION_VERSION) + ".0");
    EXPECT_TRUE(std::regex_match(
        values["ProductVersion"],
        std::regex(R"(\d{4}\.\d+\.\d+ \(commit [0-9a-f]{40}( with local changes)?\))")))
        << values["ProductVersion"];

    auto version = wine.start(file.string(), {"--version"});
    EXPECT_EQ(version->finish(), 0) << version->err();
    // One line of Windows text.
    EXPECT_EQ(version->out(), program + " " + values["ProductVersion"] + "\r\n");
}

// One install serves every check of the installed programs; the window program starts once.
TEST(WindowsInstaller, InstallsForAllUsersRunsBothProgramsAndUninstallsWithoutTrace) {
    ASSERT_PACKAGES_BUILT();
    const std::string code = productCode(package(".msi"));
    keepDesktopMenusInTheBuild();
    test::WindowsDesktop desktop;
    WineSession& wine = desktop.wine();

    ASSERT_EQ(msiexec(wine, "/i", package(".msi")), 0);
    EXPECT_EQ(filesUnder(installFolder()), zipFiles()) << "the MSI and the zip differ";
    EXPECT_TRUE(registeredAsInstalled(wine, code)) << "no uninstall entry";
    EXPECT_EQ(startMenuEntries().size(), windowProgramBuilt() ? 1U : 0U);
    expectExactlyTheDllsNeeded(installFolder());
    expectVersionResource(wine, "pelion-update", "Pelion firmware updater, command line", "0");
    if (windowProgramBuilt()) {
        expectVersionResource(wine, "pelion-update-gui", cPRODUCT, "1");
    }

    sim::SimulatedLogger logger(test::loggerOfImage11());
    wine.mapComPort(cLOGGER_PORT, logger.portPath());
    auto update = wine.start((installFolder() / "pelion-update.exe").string(),
                             {"--port", cLOGGER_PORT, "--yes"});
    EXPECT_EQ(update->finish(), 0) << update->err();
    EXPECT_NE(update->out().find(" -> Update PelionB V6.02 succesfully completed."),
              std::string::npos)
        << update->out();
    EXPECT_TRUE(logger.flashEquals(test::imageLines(11)));

    if (windowProgramBuilt()) {
        auto program = wine.start((installFolder() / "pelion-update-gui.exe").string(), {});
        const auto window = desktop.waitForWindow(cPRODUCT, 60s);
        EXPECT_TRUE(window) << "no main window; the program wrote: " << program->err();
        if (window) {
            // A click on the window's bare bottom-left corner gives it the keys; Alt+F4 closes
            // it, and the program ends of its own accord.
            desktop.click(*window, cBARE_CORNER, window->bottom - window->top - cBARE_CORNER);
            desktop.key("alt+F4");
            EXPECT_EQ(program->finish(60s), 0) << program->err();
        }
    }

    ASSERT_EQ(msiexec(wine, "/x", package(".msi")), 0);
    expectNothingLeftBehind(wine, code);
}

// The MSI of this version and another commit, or of another version, made from the same
// programs by the packaging script.
fs::path otherPackage(const fs::path& folder, const std::string& version,
                      const std::string& commit) {
    outputOf({PELION_WINDOWS_PACKAGING, fs::path(PELION_WIN32_PROGRAM).parent_path(), folder,
              version, commit});
    return folder / ("pelion-update-" + version + "-windows-x64.msi");
}

fs::path laterPackage(const fs::path& folder) {
    return otherPackage(folder, "2099.12.31", PELION_COMMIT);
}

TEST(WindowsInstaller, LaterVersionReplacesTheInstalledOneAndAnEarlierOneIsRefused) {
    ASSERT_PACKAGES_BUILT();
    const fs::path later = laterPackage(fs::path(PELION_WINE_INSTALL_WORK) / "later");
    const std::string code = productCode(package(".msi"));
    const std::string laterCode = productCode(later);
    keepDesktopMenusInTheBuild();
    WineSession wine;

    ASSERT_EQ(msiexec(wine, "/i", package(".msi")), 0);
    ASSERT_EQ(msiexec(wine, "/i", later), 0);
    EXPECT_FALSE(registeredAsInstalled(wine, code)) << "the earlier version is still listed";
    EXPECT_TRUE(registeredAsInstalled(wine, laterCode));
    EXPECT_TRUE(fs::exists(installFolder() / "pelion-update.exe"));
    EXPECT_EQ(startMenuEntries().size(), windowProgramBuilt() ? 1U : 0U);

    EXPECT_EQ(msiexec(wine, "/i", package(".msi")), cINSTALL_FAILURE);
    EXPECT_TRUE(registeredAsInstalled(wine, laterCode));

    ASSERT_EQ(msiexec(wine, "/x", later), 0);
    expectNothingLeftBehind(wine, laterCode);
}

// Two builds of one version (another commit, the same date version) replace each other, either
// way round: Windows lists one product, never both.
TEST(WindowsInstaller, PackagesOfTheSameVersionReplaceEachOther) {
    ASSERT_PACKAGES_BUILT();
    const fs::path other = otherPackage(fs::path(PELION_WINE_INSTALL_WORK) / "same-version",
                                        PELION_VERSION, std::string(40, 'f'));
    const std::string code = productCode(package(".msi"));
    const std::string otherCode = productCode(other);
    ASSERT_NE(code, otherCode) << "two commits, one product code";
    keepDesktopMenusInTheBuild();
    WineSession wine;

    ASSERT_EQ(msiexec(wine, "/i", package(".msi")), 0);
    ASSERT_EQ(msiexec(wine, "/i", other), 0);
    EXPECT_FALSE(registeredAsInstalled(wine, code)) << "both builds are listed";
    EXPECT_TRUE(registeredAsInstalled(wine, otherCode));
    EXPECT_TRUE(fs::exists(installFolder() / "pelion-update.exe"));

    ASSERT_EQ(msiexec(wine, "/i", package(".msi")), 0);
    EXPECT_FALSE(registeredAsInstalled(wine, otherCode)) << "both builds are listed";
    EXPECT_TRUE(registeredAsInstalled(wine, code));
    EXPECT_EQ(startMenuEntries().size(), windowProgramBuilt() ? 1U : 0U);

    ASSERT_EQ(msiexec(wine, "/x", package(".msi")), 0);
    expectNothingLeftBehind(wine, code);
}

}  // namespace
}  // namespace pelion
