// The internal-mode gate: one value in the current user's settings grants internal mode. It is
// only ever read; a missing or unreadable setting means normal mode, without a message.
//
// It is a safety catch that keeps the service functions (a firmware file from disk, the image
// checks turned off) away from users who do not need them, not access control: every user can
// write their own settings and so grant themselves internal mode.
#pragma once

#include <string>

namespace pelion {

inline constexpr long cINTERNAL_ACCESS_CODE = 6021;

// True when the setting "intern" of organisation "Tessaly", application "Orvo" holds the access
// code. Windows: HKEY_CURRENT_USER\Software\Tessaly\Orvo, a 32-bit value. Elsewhere: the INI file
// that Qt's settings use for it, $XDG_CONFIG_HOME/Tessaly/Orvo.conf (default ~/.config), key
// "intern" of its [General] section.
// A settings file that is there but is no regular file (a named pipe, a device, a folder) or is
// far larger than any settings file is not read, and means normal mode too; `problem`, where
// given, then tells the user what was wrong with it (empty otherwise).
bool IsInternal(std::string* problem = nullptr);

// False when the setting "history" beside "intern" holds 0: the window program then keeps no
// update history, as pelion-update --no-history does. Read where and as "intern" is read; any
// other value, or none, keeps the history.
bool HistoryWanted();

}  // namespace pelion
