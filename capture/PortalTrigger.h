#pragma once

#include "capture/Shortcut.h"

#include <optional>
#include <string>

namespace orvela {

// The shortcut in the freedesktop shortcuts format that the desktop portal takes
// as a preferred trigger: "CTRL", "ALT", "SHIFT", "LOGO" joined by "+" with the
// key's keysym name on a US layout ("CTRL+SHIFT+space"). Nothing for a key the
// layout has no symbol for.
std::optional<std::string> portalTrigger(const Shortcut& shortcut);

// Whether the trigger a desktop describes ("Ctrl+Shift+Space", "CTRL+SHIFT+space")
// is the shortcut, written in any letter case.
bool isSameTrigger(const std::string& desktopTrigger, const Shortcut& shortcut);

// What the user presses for the capture key: the shortcut as this desktop writes
// it ("Ctrl+Shift+Пробел"), or the trigger the desktop assigned instead of it.
std::string keyToPress(const Shortcut& shortcut, const std::string& desktopTrigger);

}  // namespace orvela
