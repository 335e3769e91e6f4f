// The program's texts and paths are UTF-8; Windows' own wide calls take and give UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace pelion {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

}  // namespace pelion
