// Which DLLs a Windows program or DLL imports, read from its import table, and which DLLs every
// Windows PC has: what a program may import without shipping the DLL beside it.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace pelion::test {

// The imported DLL names in lower case ("kernel32.dll"); empty when the file is no PE file.
std::set<std::string> importedDlls(const std::filesystem::path& file);

std::string lowerCase(std::string text);

// True for the DLLs of 64-bit Windows 10 and later (system32 and its API sets).
bool comesWithWindows(const std::string& dll);

}  // namespace pelion::test
