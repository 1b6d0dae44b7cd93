#include "capture/Shortcut.h"

#include "capture/KeyPositions.h"
#include "capture/UsKeymap.h"

#include <array>
#include <nlohmann/json.hpp>
#include <utility>

namespace orvela {
namespace {

using Name = std::pair<uint32_t, std::string_view>;

constexpr Name namedKeys[] = {
    {36, "↩"}, {48, "⇥"}, {49, "Пробел"}, {51, "⌫"}, {53, "⎋"},
    {123, "←"}, {124, "→"}, {125, "↓"}, {126, "↑"},
};

constexpr Name fKeys[] = {
    {122, "F1"}, {120, "F2"}, {99, "F3"},  {118, "F4"},  {96, "F5"},  {97, "F6"},
    {98, "F7"},  {100, "F8"}, {101, "F9"}, {109, "F10"}, {103, "F11"}, {111, "F12"},
};

// What the ANSI US keyboard prints on each key, whatever layout is active.
constexpr Name latinLetters[] = {
    {0, "A"},  {1, "S"},  {2, "D"},  {3, "F"},  {4, "H"},  {5, "G"},  {6, "Z"},  {7, "X"},
    {8, "C"},  {9, "V"},  {11, "B"}, {12, "Q"}, {13, "W"}, {14, "E"}, {15, "R"}, {16, "Y"},
    {17, "T"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"}, {24, "="},
    {25, "9"}, {26, "7"}, {27, "-"}, {28, "8"}, {29, "0"}, {30, "]"}, {31, "O"}, {32, "U"},
    {33, "["}, {34, "I"}, {35, "P"}, {37, "L"}, {38, "J"}, {39, "'"}, {40, "K"}, {41, ";"},
    {42, "\\"}, {43, ","}, {44, "/"}, {45, "N"}, {46, "M"}, {47, "."}, {50, "`"},
};

template <size_t N>
std::optional<std::string_view> lookUp(const Name (&table)[N], uint32_t keyCode) {
    for (const auto& [code, name] : table) {
        if (code == keyCode) return name;
    }
    return std::nullopt;
}

std::optional<uint64_t> unsignedMember(const nlohmann::json& object, const char* key, uint64_t maximum) {
    auto member = object.find(key);
    if (member == object.end()) return std::nullopt;
    if (member->is_number_unsigned()) {
        uint64_t value = member->get<uint64_t>();
        if (value <= maximum) return value;
    }
    // Non-negative integers always parse as unsigned; a signed one is negative.
    return std::nullopt;
}

}  // namespace

const Shortcut Shortcut::defaultCapture{49, control | shift};

Shortcut Shortcut::fromKeyPress(uint32_t keyCode, uint64_t eventModifierFlags) {
    return Shortcut{keyCode, eventModifierFlags & recordedModifiers};
}

std::optional<std::string_view> Shortcut::latinLetter(uint32_t keyCode) { return lookUp(latinLetters, keyCode); }

std::string Shortcut::keyName(uint32_t keyCode) {
    if (auto name = lookUp(namedKeys, keyCode)) return std::string(*name);
    if (auto name = lookUp(fKeys, keyCode)) return std::string(*name);
    // F13 to F24 as Linux reports them (X11 keycodes 191 to 202) have no position.
    if (keyCode >= KeyPositions::unpositioned + 191 && keyCode <= KeyPositions::unpositioned + 202)
        return std::string("F").append(std::to_string(keyCode - KeyPositions::unpositioned - 191 + 13));
    if (auto letter = latinLetter(keyCode)) return std::string(*letter);
    // A key without a position (a media key, a vendor's extra key) is named by
    // what it sends; its code alone would mean nothing to the user.
    if (auto x11Keycode = KeyPositions::x11Keycode(keyCode); x11Keycode && keyCode >= KeyPositions::unpositioned) {
        if (auto name = UsKeymap::readableName(keyCode)) return *name;
        return "Клавиша " + std::to_string(*x11Keycode);
    }
    return std::string("#").append(std::to_string(keyCode));
}

// The held modifiers in the fixed order control, option, shift, command, each
// written as given, then the key's name.
static std::string written(const Shortcut& shortcut, const std::array<const char*, 4>& names) {
    const std::array<uint64_t, 4> order = {Shortcut::control, Shortcut::option, Shortcut::shift, Shortcut::command};
    std::string text;
    for (size_t i = 0; i < order.size(); ++i) {
        if (shortcut.modifiers & order[i]) text += names[i];
    }
    return text + Shortcut::keyName(shortcut.keyCode);
}

std::string Shortcut::display() const { return written(*this, {"⌃", "⌥", "⇧", "⌘"}); }

std::string Shortcut::displayForUser() const { return written(*this, {"Ctrl+", "Alt+", "Shift+", "Super+"}); }

std::string Shortcut::toJson() const {
    return "{\"keyCode\":" + std::to_string(keyCode) + ",\"modifiers\":" + std::to_string(modifiers) + "}";
}

std::optional<Shortcut> Shortcut::fromJson(std::string_view text) {
    auto object = nlohmann::json::parse(text, nullptr, false);
    if (!object.is_object()) return std::nullopt;
    auto keyCode = unsignedMember(object, "keyCode", UINT32_MAX);
    auto modifiers = unsignedMember(object, "modifiers", UINT64_MAX);
    if (!keyCode || !modifiers) return std::nullopt;
    return Shortcut{static_cast<uint32_t>(*keyCode), *modifiers};
}

}  // namespace orvela
