// Text from outside the program (device strings, file contents, port names) made safe to show
// on a terminal, in a tab-separated line or in the report: nothing in it can move the cursor,
// set a title, split a line or a field, or hide what follows.
#pragma once

#include <string>
#include <string_view>

namespace pelion {

// `text` with every control character (C0 with tab, CR and LF among them, DEL, and the C1
// controls U+0080 to U+009F) and every byte that is not part of valid UTF-8 written as \xNN,
// one escape per byte. Valid UTF-8 other than these passes unchanged ("Ü" stays "Ü").
std::string safeText(std::string_view text);

}  // namespace pelion
