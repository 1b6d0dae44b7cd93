#include "capture/PortalTrigger.h"

#include "capture/KeyPositions.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace orvela {
namespace {

// Keys are named by position, so one fixed layout names them: the one the
// portal's users read triggers in, whatever layout this desktop types in.
xkb_keymap* usKeymap() {
    static const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap = [] {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        xkb_keymap* map = context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
        if (context) xkb_context_unref(context);
        return std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>(map, &xkb_keymap_unref);
    }();
    return keymap.get();
}

}  // namespace

std::optional<std::string> portalTrigger(const Shortcut& shortcut) {
    auto keycode = KeyPositions::x11Keycode(shortcut.keyCode);
    xkb_keymap* keymap = usKeymap();
    if (!keycode || !keymap) return std::nullopt;
    const xkb_keysym_t* symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, *keycode, 0, 0, &symbols) < 1) return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(symbols[0], name, sizeof name) <= 0) return std::nullopt;

    std::string trigger;
    if (shortcut.modifiers & Shortcut::control) trigger += "CTRL+";
    if (shortcut.modifiers & Shortcut::option) trigger += "ALT+";
    if (shortcut.modifiers & Shortcut::shift) trigger += "SHIFT+";
    if (shortcut.modifiers & Shortcut::command) trigger += "LOGO+";
    return trigger + name;
}

}  // namespace orvela

namespace orvela {
namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

bool isSameTrigger(const std::string& desktopTrigger, const Shortcut& shortcut) {
    auto trigger = portalTrigger(shortcut);
    return trigger && lowered(*trigger) == lowered(desktopTrigger);
}

std::string keyToPress(const Shortcut& shortcut, const std::string& desktopTrigger) {
    if (desktopTrigger.empty() || isSameTrigger(desktopTrigger, shortcut)) return shortcut.displayForUser();
    return desktopTrigger;
}

}  // namespace orvela
