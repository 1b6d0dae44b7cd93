#pragma once

#include "capture/HotKey.h"
#include "capture/HotKeyState.h"

#include <functional>
#include <memory>

namespace orvela {

class DefaultsStore;

// The capture shortcut's registration as the application keeps it: the one hot
// key, where it stands, and whether the current shortcut works.
class HotKeyRegistration {
public:
    HotKeyRegistration() = default;
    ~HotKeyRegistration();
    HotKeyRegistration(const HotKeyRegistration&) = delete;
    HotKeyRegistration& operator=(const HotKeyRegistration&) = delete;

    std::shared_ptr<HotKey> hotKey;
    HotKeyState state{HotKeyState::Kind::taken, ""};
    // No working key: refused, unsupported, or no answer yet.
    bool hotKeyTaken = false;
    // The state changed after registerHotKey returned (an answer from the desktop).
    std::function<void()> onChange;

    // Releases the previous combination first, whatever happens next. A shortcut
    // without Control, Alt or Super, or one another program holds, is not
    // registered: hotKeyTaken becomes true and one line is logged.
    void registerHotKey(const Shortcut& shortcut);

    // Where a refusal by the user in the desktop's own dialog is remembered, so
    // that the desktop does not ask again at every start (absent: not remembered).
    DefaultsStore* remembered = nullptr;
    static constexpr const char* declinedKey = "captureKeyDeclined";
    // The user wants the desktop to ask again: the refusal is forgotten and the
    // current shortcut bound anew.
    void askAgain();

private:
    void settle(const HotKeyState& state);
    Shortcut shortcut_;
};

}  // namespace orvela
