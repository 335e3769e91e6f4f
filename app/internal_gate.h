// The internal-mode gate: one value in the current user's settings grants internal mode. It is
// only ever read; a missing or unreadable setting means normal mode, without a message.
#pragma once

namespace pelion {

inline constexpr long cINTERNAL_ACCESS_CODE = 6021;

// True when the setting "intern" of organisation "Tessaly", application "Orvo" holds the access
// code. Windows: HKEY_CURRENT_USER\Software\Tessaly\Orvo, a 32-bit value. Elsewhere: the INI file
// that Qt's settings use for it, $XDG_CONFIG_HOME/Tessaly/Orvo.conf (default ~/.config), key
// "intern" of its [General] section.
bool IsInternal();

}  // namespace pelion
