#include "capture/PortalTrigger.h"

#include "capture/UsKeymap.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <vector>
#include <xkbcommon/xkbcommon.h>

namespace orvela {
namespace {

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// Num Lock, Hyper and the like: held, they make another key of any of ours.
constexpr uint64_t foreignModifier = 1;

struct ModifierName {
    std::string_view name;
    uint64_t modifier;
};

// Every desktop's words for the modifiers: the portal's ("LOGO"), GTK's
// accelerators ("<Control>", "<Primary>"), Qt's (Super is "Meta"), X11's and
// the glyphs.
constexpr ModifierName modifierNames[] = {
    {"ctrl", Shortcut::control},  {"control", Shortcut::control}, {"primary", Shortcut::control},
    {"⌃", Shortcut::control},     {"alt", Shortcut::option},      {"mod1", Shortcut::option},
    {"⌥", Shortcut::option},      {"shift", Shortcut::shift},     {"⇧", Shortcut::shift},
    {"super", Shortcut::command}, {"meta", Shortcut::command},    {"logo", Shortcut::command},
    {"win", Shortcut::command},   {"mod4", Shortcut::command},    {"⌘", Shortcut::command},
    {"num", foreignModifier},     {"hyper", foreignModifier},     {"caps", foreignModifier},
    {"lock", foreignModifier},    {"mod2", foreignModifier},      {"mod3", foreignModifier},
    {"mod5", foreignModifier},
};

constexpr std::string_view glyphs[] = {"⌃", "⌥", "⇧", "⌘"};

std::optional<uint64_t> modifierNamed(std::string_view name) {
    std::string lower = lowered(name);
    for (const auto& [known, modifier] : modifierNames) {
        if (lower == known) return modifier;
    }
    return std::nullopt;
}

bool isSeparator(char c) { return c == '+' || c == '-'; }

// One piece of a written trigger: a modifier or the key, "<...>" ones without
// the brackets.
struct Part {
    std::string_view text;
    bool bracketed = false;
};

// "Ctrl+Shift+Space", "<Shift><Control>space", "⌃⇧Space", "Ctrl-Alt-1" in
// pieces. A "+" or "-" that ends the word is the key itself ("Ctrl++").
std::optional<std::vector<Part>> partsOf(std::string_view word) {
    std::vector<Part> parts;
    auto glyphAt = [&](size_t at) {
        return std::find_if(std::begin(glyphs), std::end(glyphs),
                            [&](std::string_view glyph) { return word.substr(at).starts_with(glyph); });
    };
    size_t at = 0;
    while (at < word.size()) {
        if (word[at] == '<') {
            size_t close = word.find('>', at);
            if (close == std::string_view::npos) return std::nullopt;
            parts.push_back({word.substr(at + 1, close - at - 1), true});
            at = close + 1;
        } else if (auto glyph = glyphAt(at); glyph != std::end(glyphs)) {
            parts.push_back({*glyph});
            at += glyph->size();
        } else if (isSeparator(word[at])) {
            if (at + 1 == word.size()) parts.push_back({word.substr(at)});
            ++at;
        } else {
            size_t end = at;
            while (end < word.size() && !isSeparator(word[end]) && word[end] != '<' && glyphAt(end) == std::end(glyphs))
                ++end;
            parts.push_back({word.substr(at, end - at)});
            at = end;
        }
    }
    return parts;
}

// The word without the quotes a translation puts around it ("„%s“") or the
// comma KDE puts between two triggers; a "," right after "+" is the key.
std::string_view trimmed(std::string_view word) {
    constexpr std::string_view quotes[] = {"„", "“", "”", "«", "»", "‚", "‘", "’", "\""};
    auto quoted = [&](bool front) {
        return std::find_if(std::begin(quotes), std::end(quotes), [&](std::string_view quote) {
            return word.size() > quote.size() && (front ? word.starts_with(quote) : word.ends_with(quote));
        });
    };
    for (auto quote = quoted(true); quote != std::end(quotes); quote = quoted(true)) word.remove_prefix(quote->size());
    for (auto quote = quoted(false); quote != std::end(quotes); quote = quoted(false)) word.remove_suffix(quote->size());
    if (word.size() > 1 && word.ends_with(',') && !isSeparator(word[word.size() - 2]))
        word.remove_suffix(1);
    return word;
}

struct Trigger {
    uint64_t modifiers = 0;
    std::vector<std::string_view> modifierWords;
    std::string_view key;
    // As the desktop wrote it.
    std::string written;
    // In GTK's notation, "<Shift><Control>space", which is no words for the user.
    bool accelerator = false;
};

// Every trigger a description holds: KDE's "Ctrl+Shift+Space, Meta+K", GNOME's
// "Press <Shift><Control>space or <Alt><Super>k" in any language. The words
// around them come out as triggers without modifiers that name no key of ours.
std::vector<Trigger> triggersIn(std::string_view description) {
    std::vector<Trigger> triggers;
    // Modifiers written as words of their own ("Ctrl Shift Space") wait for the key.
    Trigger pending;
    size_t at = 0;
    while ((at = description.find_first_not_of(" \t\n", at)) != std::string_view::npos) {
        size_t end = std::min(description.find_first_of(" \t\n", at), description.size());
        std::string_view word = trimmed(description.substr(at, end - at));
        at = end;

        Trigger trigger = std::move(pending);
        pending = {};
        auto parts = partsOf(word);
        if (!parts || parts->empty()) continue;
        bool valid = true;
        for (size_t i = 0; i < parts->size() && valid; ++i) {
            const Part& part = (*parts)[i];
            auto modifier = modifierNamed(part.text);
            if (part.bracketed || modifier) {
                trigger.modifiers |= modifier.value_or(foreignModifier);
                trigger.modifierWords.push_back(part.text);
                trigger.accelerator |= part.bracketed;
            } else if (i + 1 == parts->size()) {
                trigger.key = part.text;
            } else {
                valid = false;
            }
        }
        if (!valid) continue;
        trigger.written += (trigger.written.empty() ? "" : " ") + std::string(word);
        if (trigger.key.empty())
            pending = std::move(trigger);
        else
            triggers.push_back(std::move(trigger));
    }
    return triggers;
}

struct Alias {
    std::string_view name;
    const char* keysym;
};

// Qt's names for keys whose keysym is named otherwise.
constexpr Alias qtKeyNames[] = {
    {"esc", "Escape"},          {"del", "Delete"},      {"ins", "Insert"},
    {"pgup", "Prior"},          {"pgdown", "Next"},     {"enter", "KP_Enter"},
    {"capslock", "Caps_Lock"},  {"numlock", "Num_Lock"}, {"scrolllock", "Scroll_Lock"},
    {"sysreq", "Sys_Req"},
};

// The keysym, lower case, a desktop's name for a key stands for: a keysym name
// in any letter case ("space", "F1", "XF86Launch7"), one of Qt's names, or the
// character a key types ("K", "1", ",").
xkb_keysym_t keysymNamed(std::string_view name) {
    if (name.size() == 1 && std::isprint(static_cast<unsigned char>(name[0])))
        return xkb_keysym_to_lower(xkb_utf32_to_keysym(static_cast<unsigned char>(name[0])));
    std::string lower = lowered(name);
    for (const auto& [alias, keysym] : qtKeyNames) {
        if (lower == alias) return xkb_keysym_from_name(keysym, XKB_KEYSYM_NO_FLAGS);
    }
    return xkb_keysym_to_lower(xkb_keysym_from_name(std::string(name).c_str(), XKB_KEYSYM_CASE_INSENSITIVE));
}

bool namesShortcut(const Trigger& trigger, const Shortcut& shortcut) {
    if (trigger.modifiers != (shortcut.modifiers & Shortcut::recordedModifiers)) return false;
    // Written as this program writes it ("Пробел", as Qt does in Russian too);
    // "#" and a number is ours for a key without a name, never a desktop's.
    std::string ourName = Shortcut::keyName(shortcut.keyCode);
    if (!ourName.starts_with('#') && trigger.key == ourName) return true;
    xkb_keysym_t ours = UsKeymap::keysym(shortcut.keyCode);
    return ours != XKB_KEY_NoSymbol && keysymNamed(trigger.key) == xkb_keysym_to_lower(ours);
}

std::string capitalised(std::string_view word) {
    std::string text = lowered(word);
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

// A GTK accelerator as GNOME's keyboard settings label it: "Shift+Ctrl+K",
// "Shift+Ctrl+Page Up".
std::string labelled(const Trigger& trigger) {
    std::string label;
    for (std::string_view word : trigger.modifierWords) {
        label += modifierNamed(word) == Shortcut::control ? "Ctrl" : capitalised(word);
        label += "+";
    }
    std::string key(trigger.key);
    std::replace(key.begin(), key.end(), '_', ' ');
    if (!key.empty()) key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    return label + key;
}

// The desktop's words for the key it assigned, without the sentence around
// them: Qt's as they stand ("Meta+Alt+K"), GTK accelerators labelled. A
// description with no key in it is shown as it is.
std::string desktopKeyWords(const std::string& description) {
    auto triggers = triggersIn(description);
    bool anyModified = std::any_of(triggers.begin(), triggers.end(), [](const Trigger& t) { return t.modifiers != 0; });
    std::string words;
    for (const Trigger& trigger : triggers) {
        bool key = anyModified ? trigger.modifiers != 0 : keysymNamed(trigger.key) != XKB_KEY_NoSymbol;
        if (!key) continue;
        if (!words.empty()) words += ", ";
        words += trigger.accelerator ? labelled(trigger) : trigger.written;
    }
    return words.empty() ? description : words;
}

}  // namespace

std::optional<std::string> portalTrigger(const Shortcut& shortcut) {
    xkb_keysym_t symbol = UsKeymap::keysym(shortcut.keyCode);
    char name[64];
    if (symbol == XKB_KEY_NoSymbol || xkb_keysym_get_name(symbol, name, sizeof name) <= 0) return std::nullopt;

    std::string trigger;
    if (shortcut.modifiers & Shortcut::control) trigger += "CTRL+";
    if (shortcut.modifiers & Shortcut::option) trigger += "ALT+";
    if (shortcut.modifiers & Shortcut::shift) trigger += "SHIFT+";
    if (shortcut.modifiers & Shortcut::command) trigger += "LOGO+";
    return trigger + name;
}

bool isSameTrigger(const std::string& desktopTrigger, const Shortcut& shortcut) {
    auto triggers = triggersIn(desktopTrigger);
    return std::any_of(triggers.begin(), triggers.end(),
                       [&](const Trigger& trigger) { return namesShortcut(trigger, shortcut); });
}

std::string keyToPress(const Shortcut& shortcut, const std::string& desktopTrigger) {
    bool blank = desktopTrigger.find_first_not_of(" \t\n") == std::string::npos;
    if (blank || isSameTrigger(desktopTrigger, shortcut)) return shortcut.displayForUser();
    return desktopKeyWords(desktopTrigger);
}

}  // namespace orvela
