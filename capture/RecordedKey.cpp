#include "capture/RecordedKey.h"

namespace orvela {

RecordedKey RecordedKey::of(uint32_t keyCode, uint64_t eventModifierFlags) {
    if (keyCode == escape) return {Kind::cancel, {}};
    Shortcut shortcut = Shortcut::fromKeyPress(keyCode, eventModifierFlags);
    if (!shortcut.hasRequiredModifier()) return {Kind::refuse, {}};
    return {Kind::accept, shortcut};
}

}  // namespace orvela
