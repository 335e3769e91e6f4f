// The manifests of the Windows programs, as Windows finds them when it starts a program. Wine
// reads little of a manifest; Windows refuses to start a program whose manifest is not
// well-formed XML ("the side-by-side configuration is incorrect"), and a program without these
// settings runs in the ANSI code page, stretched on a high-DPI screen and with the controls of
// Windows 2000.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>

#include "tests/wine/wine_session.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;

// The Unix path as a Windows path through Wine's drive Z:.
std::string windowsPath(const fs::path& unixPath) {
    std::string path = "Z:" + fs::absolute(unixPath).string();
    std::ranges::replace(path, '/', '\\');
    return path;
}

// What an XPath expression (names without their namespaces) gives on a manifest; "not XML"
// when xmllint cannot read it.
std::string valueOf(const std::string& manifest, const std::string& xpath) {
    test::ChildProcess xmllint(
        {"/bin/sh", "-c", "printf '%s' \"$0\" | xmllint --xpath \"$1\" - || echo not XML", manifest,
         xpath},
        {});
    xmllint.finish();
    std::string value = xmllint.out();
    if (value.ends_with('\n')) {
        value.pop_back();
    }
    return value;
}

std::string path(const std::string& element, const std::string& attribute = "") {
    std::string xpath = "string(//*[local-name()='" + element + "']";
    return xpath + (attribute.empty() ? ")" : "/@" + attribute + ")");
}

struct Setting {
    const char* what;
    std::string xpath;
    const char* expected;
};

const Setting cSETTINGS[] = {
    {"ANSI code page UTF-8 (Windows 10 1903 and later)", path("activeCodePage"), "UTF-8"},
    {"drawn for each monitor's DPI (Windows 10 1703 and later)", path("dpiAwareness"),
     "PerMonitorV2, PerMonitor"},
    {"drawn for each monitor's DPI (Windows 8.1 to 10 1607)", path("dpiAware"), "true/pm"},
    {"Common Controls 6",
     "string(//*[local-name()='dependentAssembly']/*[local-name()='assemblyIdentity']/@name)",
     "Microsoft.Windows.Common-Controls"},
    {"Common Controls 6",
     "string(//*[local-name()='dependentAssembly']/*[local-name()='assemblyIdentity']/@version)",
     "6.0.0.0"},
    {"Common Controls 6",
     "string(//*[local-name()='dependentAssembly']/*[local-name()='assemblyIdentity']/"
     "@publicKeyToken)",
     "6595b64144ccf1df"},
    {"runs with the user's rights, no elevation prompt", path("requestedExecutionLevel", "level"),
     "asInvoker"},
    {"made for Windows 10 and 11",
     "string(//*[local-name()='supportedOS'][@Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']/@Id)",
     "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
};

class ProgramManifest : public testing::TestWithParam<const char*> {
protected:
    std::string manifest() {
        auto probe = wine_.start(PELION_WIN32_PROBE, {"manifest", windowsPath(GetParam())});
        EXPECT_EQ(probe->finish(), 0) << probe->err();
        return probe->out();
    }

    test::WineSession wine_;
};

TEST_P(ProgramManifest, CarriesTheSettingsWindowsReadsAtStart) {
    if (!fs::exists(GetParam())) {
        GTEST_SKIP() << "no " << GetParam() << " (no Qt for Windows found)";
    }
    const std::string text = manifest();
    for (const Setting& setting : cSETTINGS) {
        EXPECT_EQ(valueOf(text, setting.xpath), setting.expected) << setting.what;
    }
    // An assembly version is four numbers of at most 65535 each.
    const std::string version = valueOf(text, path("assemblyIdentity", "version"));
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(version, parts, std::regex(R"((\d+)\.(\d+)\.(\d+)\.(\d+))")))
        << version;
    for (std::size_t i = 1; i <= 4; ++i) {
        EXPECT_LE(std::stoul(parts[i]), 65535UL) << version;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramManifest,
                         testing::Values(PELION_WIN32_PROGRAM, PELION_WIN32_GUI_PROGRAM),
                         [](const auto& info) {
                             return fs::path(info.param).stem().string() == "pelion-update"
                                        ? std::string("CommandLine")
                                        : std::string("Window");
                         });

}  // namespace
}  // namespace pelion
