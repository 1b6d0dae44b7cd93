#include "capture/UsKeymap.h"

#include "capture/KeyPositions.h"

#include <cctype>
#include <memory>
#include <string_view>
#include <xkbcommon/xkbcommon.h>

namespace orvela::UsKeymap {
namespace {

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

bool isUpper(char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; }
bool isLower(char c) { return std::islower(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// "MonBrightnessUp" → "Mon Brightness Up", "Launch5" → "Launch 5", "Hangul_Hanja" →
// "Hangul Hanja"; runs of capitals ("WWW") stay together.
std::string wordsApart(std::string_view name) {
    std::string words;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '_') {
            words += ' ';
            continue;
        }
        char before = i > 0 ? name[i - 1] : ' ';
        bool newWord = (isUpper(c) && isLower(before)) || (isDigit(c) && std::isalpha(static_cast<unsigned char>(before)));
        if (newWord) words += ' ';
        words += c;
    }
    return words;
}

}  // namespace

uint32_t keysym(uint32_t keyCode) {
    auto keycode = KeyPositions::x11Keycode(keyCode);
    xkb_keymap* keymap = usKeymap();
    const xkb_keysym_t* symbols = nullptr;
    if (!keycode || !keymap || xkb_keymap_key_get_syms_by_level(keymap, *keycode, 0, 0, &symbols) < 1)
        return XKB_KEY_NoSymbol;
    return symbols[0];
}

std::optional<std::string> readableName(uint32_t keyCode) {
    xkb_keysym_t symbol = keysym(keyCode);
    char name[64];
    if (symbol == XKB_KEY_NoSymbol || xkb_keysym_get_name(symbol, name, sizeof name) <= 0) return std::nullopt;
    std::string_view text = name;
    if (text.starts_with("XF86")) text.remove_prefix(4);
    return wordsApart(text);
}

}  // namespace orvela::UsKeymap
