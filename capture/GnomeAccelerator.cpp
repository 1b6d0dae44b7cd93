#include "capture/GnomeAccelerator.h"

#include "capture/PortalTrigger.h"

namespace orvela {

std::optional<std::string> gnomeAccelerator(const Shortcut& shortcut) {
    // The portal's trigger ends in the same keysym name; keysym names hold no "+".
    auto trigger = portalTrigger(shortcut);
    if (!trigger) return std::nullopt;
    std::string accelerator;
    if (shortcut.modifiers & Shortcut::control) accelerator += "<Control>";
    if (shortcut.modifiers & Shortcut::option) accelerator += "<Alt>";
    if (shortcut.modifiers & Shortcut::shift) accelerator += "<Shift>";
    if (shortcut.modifiers & Shortcut::command) accelerator += "<Super>";
    return accelerator + trigger->substr(trigger->rfind('+') + 1);
}

}  // namespace orvela
