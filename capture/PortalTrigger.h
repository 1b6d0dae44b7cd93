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

}  // namespace orvela
