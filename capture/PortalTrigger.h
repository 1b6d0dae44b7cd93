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

// Whether one of the triggers a desktop describes in its own words is the
// shortcut: the same modifiers and the same key, in any order, letter case or
// language of the sentence around them. KDE writes "Ctrl+Shift+Space" (Super is
// "Meta", "Пробел" in Russian), GNOME "Press <Shift><Control>space", several
// joined by ", " or "or".
bool isSameTrigger(const std::string& desktopTrigger, const Shortcut& shortcut);

// What the user presses for the capture key: the shortcut as this desktop writes
// it ("Ctrl+Shift+Пробел") when the desktop bound it or said nothing, otherwise
// the desktop's words for the key it assigned ("Meta+Alt+K"; GNOME's
// accelerators as its settings label them, "Alt+Super+K").
std::string keyToPress(const Shortcut& shortcut, const std::string& desktopTrigger);

}  // namespace orvela
