// A German Windows under Wine: the locale de_DE.UTF-8, whose ANSI code page is 1252, as on the
// technicians' PCs. It is compiled into a folder of the tests' own (LOCPATH), so that the
// machine needs none installed; the sources come with Debian's "locales".
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/child_process.h"
#include "tests/wine/wine_session.h"

namespace pelion::test {

// The folder with the compiled locale. It is compiled beside its place and then moved there, so
// that an interrupted run leaves no half of one behind.
inline std::filesystem::path germanLocales() {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "pelion-wine-locales";
    const fs::path locale = folder / "de_DE.UTF-8";
    if (!fs::exists(locale)) {
        const fs::path partial = folder / "de_DE.UTF-8.partial";
        fs::remove_all(partial);
        fs::create_directories(folder);
        ChildProcess localedef(
            {"/bin/sh", "-c", "exec localedef -i de_DE -f UTF-8 \"$0\"", partial.string()}, {});
        localedef.finish();  // 1 for warnings about the sources, with the locale made all the same
        if (fs::exists(partial / "LC_MESSAGES")) {
            fs::rename(partial, locale);
        }
    }
    return folder;
}

// The programs the session starts from now on run in the German locale.
inline void useGermanLocale(WineSession& wine) {
    const std::filesystem::path locales = germanLocales();
    EXPECT_TRUE(std::filesystem::exists(locales / "de_DE.UTF-8" / "LC_MESSAGES"))
        << "localedef made no German locale";
    wine.setEnvironment("LOCPATH", locales.string());
    wine.setEnvironment("LC_ALL", "de_DE.UTF-8");
    wine.setEnvironment("LANG", "de_DE.UTF-8");
}

}  // namespace pelion::test
