#include "capture/HotKeyRegistration.h"

#include "platform/DefaultsStore.h"
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
    hotKey->setMayAskDesktop(!(remembered && remembered->boolForKey(declinedKey)));
    settle(hotKey->registerShortcut(shortcut));
}

void HotKeyRegistration::askAgain() {
    // Failing to forget only means the desktop is asked this once more.
    if (remembered) remembered->removeObjectForKey(declinedKey);
    registerHotKey(shortcut_);
    if (onChange) onChange();
}

void HotKeyRegistration::settle(const HotKeyState& now) {
    state = now;
    hotKeyTaken = now.kind != HotKeyState::Kind::working;
    if (now.kind == HotKeyState::Kind::declined && remembered && !remembered->boolForKey(declinedKey))
        remembered->setBool(true, declinedKey);
    // One line per failed registration, whether the answer came at once or later.
    std::string key = "capture key " + shortcut_.display();
    switch (now.kind) {
    case HotKeyState::Kind::taken:
    case HotKeyState::Kind::unsupported:
        log(key + " is taken");
        break;
    case HotKeyState::Kind::declined:
        log(key + " was declined on the desktop");
        break;
    case HotKeyState::Kind::unassigned:
        log(key + " has no key assigned by the desktop");
        break;
    case HotKeyState::Kind::layoutSwitch:
        log(key + " cannot work with the keyboard's layout switch");
        break;
    case HotKeyState::Kind::working:
    case HotKeyState::Kind::waiting:
        break;
    }
}

}  // namespace orvela
