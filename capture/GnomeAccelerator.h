#pragma once

#include "capture/Shortcut.h"

#include <optional>
#include <string>

namespace orvela {

// The shortcut in GNOME's accelerator form: "<Control>", "<Alt>", "<Shift>",
// "<Super>" for the held modifiers, then the key's keysym name on a US layout
// ("<Control><Shift>space"). Nothing for a key the layout has no symbol for.
std::optional<std::string> gnomeAccelerator(const Shortcut& shortcut);

}  // namespace orvela
