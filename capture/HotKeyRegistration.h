#pragma once

#include "capture/HotKey.h"

#include <memory>

namespace orvela {

// The capture shortcut's registration as the application keeps it: the one hot
// key, and whether the current shortcut could not be registered.
class HotKeyRegistration {
public:
    std::shared_ptr<HotKey> hotKey;
    bool hotKeyTaken = false;

    // Releases the previous combination first, whatever happens next. A shortcut
    // without Control, Alt or Super, or one another program holds, is not
    // registered: hotKeyTaken becomes true and one line is logged.
    void registerHotKey(const Shortcut& shortcut);
};

}  // namespace orvela
