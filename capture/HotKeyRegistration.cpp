#include "capture/HotKeyRegistration.h"

#include "platform/Log.h"

namespace orvela {

HotKeyRegistration::~HotKeyRegistration() {
    if (hotKey) hotKey->onStateChanged = nullptr;
}

void HotKeyRegistration::registerHotKey(const Shortcut& shortcut) {
    shortcut_ = shortcut;
    if (!hotKey) return settle({HotKeyState::Kind::taken, ""});
    hotKey->onStateChanged = [this](const HotKeyState& later) {
        settle(later);
        if (onChange) onChange();
    };
    hotKey->unregister();
    if (!shortcut.hasRequiredModifier()) return settle({HotKeyState::Kind::taken, ""});
    settle(hotKey->registerShortcut(shortcut));
}

void HotKeyRegistration::settle(const HotKeyState& now) {
    state = now;
    hotKeyTaken = now.kind != HotKeyState::Kind::working;
    // One line per failed registration, whether the answer came at once or later.
    if (now.kind == HotKeyState::Kind::taken || now.kind == HotKeyState::Kind::unsupported)
        log("capture key " + shortcut_.display() + " is taken");
}

}  // namespace orvela
