#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

// A key combination: a key position (numbered as on the ANSI US keyboard of the
// original Macintosh layout, 49 = space) and a modifier mask.
struct Shortcut {
    static constexpr uint64_t shift = 0x20000;
    static constexpr uint64_t control = 0x40000;
    static constexpr uint64_t option = 0x80000;
    static constexpr uint64_t command = 0x100000;
    static constexpr uint64_t recordedModifiers = 0x1E0000;
    static constexpr uint64_t requiredModifiers = 0x1C0000;

    uint32_t keyCode = 0;
    uint64_t modifiers = 0;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

    static const Shortcut defaultCapture;

    // Only shift, control, option and command of the event's flags are kept.
    static Shortcut fromKeyPress(uint32_t keyCode, uint64_t eventModifierFlags);

    // "⌃⌥⇧⌘" in this order for the held modifiers, then the key's name: the form
    // the log line and stored values keep.
    std::string display() const;
    // What the user reads on this desktop: "Ctrl+", "Alt+", "Shift+", "Super+" in
    // this order for the held modifiers, then the key's name ("Ctrl+Shift+Пробел").
    std::string displayForUser() const;
    // A global shortcut needs control, option or command; shift alone is not enough.
    bool hasRequiredModifier() const { return (modifiers & requiredModifiers) != 0; }

    // A named key, F1 to F12, the Latin letter printed on the key, a key without
    // a position by its keysym ("Audio Play"), or "#" + code.
    static std::string keyName(uint32_t keyCode);

    // {"keyCode":49,"modifiers":393216}
    std::string toJson() const;
    // Both members required, integers in range; other members ignored.
    static std::optional<Shortcut> fromJson(std::string_view text);

private:
    static std::optional<std::string_view> latinLetter(uint32_t keyCode);
};

}  // namespace orvela
