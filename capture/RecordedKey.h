#pragma once

#include "capture/Shortcut.h"

namespace orvela {

// What the shortcut recorder makes of one key press: Escape cancels whatever is
// held; a key with Control, Alt or Super becomes the new shortcut; anything else
// is refused and recording goes on.
struct RecordedKey {
    enum class Kind { cancel, accept, refuse };
    Kind kind;
    Shortcut shortcut;

    static constexpr uint32_t escape = 53;

    static RecordedKey of(uint32_t keyCode, uint64_t eventModifierFlags);
};

}  // namespace orvela
