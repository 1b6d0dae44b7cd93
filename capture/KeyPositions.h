#pragma once

#include <cstdint>
#include <optional>

namespace orvela::KeyPositions {

// Between the key positions that shortcuts store and X11 keycodes (the Linux
// input event code + 8), for every key of a 105-key PC keyboard that has a
// position in that numbering: Insert is the Help position, Print Screen, Scroll
// Lock and Pause are F13, F14 and F15, Num Lock is the keypad's Clear key, the
// key between left Shift and Z is the ISO section key.
//
// A key that has no such position (F16 to F24, media keys, a vendor's extra keys)
// is stored as unpositioned + its X11 keycode, far above every position, so it
// can be recorded and grabbed all the same.
inline constexpr uint32_t unpositioned = 0x10000;
std::optional<uint32_t> x11Keycode(uint32_t keyCode);
std::optional<uint32_t> keyCodeOfX11(uint32_t x11Keycode);

// X11 modifier state bits.
inline constexpr unsigned x11Shift = 1u << 0;
inline constexpr unsigned x11Control = 1u << 2;
inline constexpr unsigned x11Alt = 1u << 3;    // Mod1
inline constexpr unsigned x11Super = 1u << 6;  // Mod4

// control = Control, option = Alt, shift = Shift, command = Super.
unsigned x11Modifiers(uint64_t modifiers);
uint64_t modifiersOfX11(unsigned state);

}  // namespace orvela::KeyPositions
