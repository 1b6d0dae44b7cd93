#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvela::UsKeymap {

// Keys are named by position, so one fixed layout names them: the US layout,
// the one desktops' shortcut settings write triggers in, whatever layout this
// desktop types in.

// What the key types on the US layout without Shift (an xkb keysym); 0, the
// keysym NoSymbol, for a key without one.
uint32_t keysym(uint32_t keyCode);

// That keysym's name as a person reads it, without X11's vendor prefix and with
// its words apart: "XF86AudioPlay" is "Audio Play". Nothing for a key without one.
std::optional<std::string> readableName(uint32_t keyCode);

}  // namespace orvela::UsKeymap
