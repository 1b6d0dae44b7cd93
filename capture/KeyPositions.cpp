#include "capture/KeyPositions.h"

#include "capture/Shortcut.h"

#include <utility>

namespace orvela::KeyPositions {
namespace {

// Key position, Linux input event code (linux/input-event-codes.h).
constexpr std::pair<uint32_t, uint32_t> positions[] = {
    {0, 30},    {1, 31},    {2, 32},    {3, 33},    {4, 35},    {5, 34},    {6, 44},   // A S D F H G Z
    {7, 45},    {8, 46},    {9, 47},    {10, 86},   {11, 48},   {12, 16},   {13, 17},  // X C V 102nd B Q W
    {14, 18},   {15, 19},   {16, 21},   {17, 20},   {18, 2},    {19, 3},    {20, 4},   // E R Y T 1 2 3
    {21, 5},    {22, 7},    {23, 6},    {24, 13},   {25, 10},   {26, 8},    {27, 12},  // 4 6 5 = 9 7 -
    {28, 9},    {29, 11},   {30, 27},   {31, 24},   {32, 22},   {33, 26},   {34, 23},  // 8 0 ] O U [ I
    {35, 25},   {36, 28},   {37, 38},   {38, 36},   {39, 40},   {40, 37},   {41, 39},  // P Return L J ' K ;
    {42, 43},   {43, 51},   {44, 53},   {45, 49},   {46, 50},   {47, 52},   {48, 15},  // \ , / N M . Tab
    {49, 57},   {50, 41},   {51, 14},   {53, 1},                                       // Space ` Backspace Esc
    {54, 126},  {55, 125},  {56, 42},   {57, 58},   {58, 56},   {59, 29},              // right/left Super, Shift, Caps, Alt, Ctrl
    {60, 54},   {61, 100},  {62, 97},                                                  // right Shift, Alt, Ctrl
    {65, 83},   {67, 55},   {69, 78},   {71, 69},   {72, 115},  {73, 114},  {74, 113}, // KP . * + NumLock, volume, mute
    {75, 98},   {76, 96},   {78, 74},   {81, 117},                                     // KP / Enter - =
    {82, 82},   {83, 79},   {84, 80},   {85, 81},   {86, 75},   {87, 76},   {88, 77},  // KP 0-6
    {89, 71},   {91, 72},   {92, 73},                                                  // KP 7-9
    {96, 63},   {97, 64},   {98, 65},   {99, 61},   {100, 66},  {101, 67},  {103, 87}, // F5 F6 F7 F3 F8 F9 F11
    {105, 99},  {107, 70},  {109, 68},  {110, 127}, {111, 88},  {113, 119},            // PrtSc ScrLk F10 Menu F12 Pause
    {114, 110}, {115, 102}, {116, 104}, {117, 111}, {118, 62},  {119, 107},            // Ins Home PgUp Del F4 End
    {120, 60},  {121, 109}, {122, 59},  {123, 105}, {124, 106}, {125, 108}, {126, 103}, // F2 PgDn F1 arrows
};

constexpr uint32_t x11Offset = 8;
// X11 keycodes run from 8 to 255.
constexpr uint32_t firstX11Keycode = 8;
constexpr uint32_t lastX11Keycode = 255;

}  // namespace

std::optional<uint32_t> x11Keycode(uint32_t keyCode) {
    for (const auto& [position, event] : positions) {
        if (position == keyCode) return event + x11Offset;
    }
    if (keyCode >= unpositioned + firstX11Keycode && keyCode <= unpositioned + lastX11Keycode) return keyCode - unpositioned;
    return std::nullopt;
}

std::optional<uint32_t> keyCodeOfX11(uint32_t x11Keycode) {
    for (const auto& [position, event] : positions) {
        if (event + x11Offset == x11Keycode) return position;
    }
    if (x11Keycode >= firstX11Keycode && x11Keycode <= lastX11Keycode) return unpositioned + x11Keycode;
    return std::nullopt;
}

unsigned x11Modifiers(uint64_t modifiers) {
    unsigned state = 0;
    if (modifiers & Shortcut::shift) state |= x11Shift;
    if (modifiers & Shortcut::control) state |= x11Control;
    if (modifiers & Shortcut::option) state |= x11Alt;
    if (modifiers & Shortcut::command) state |= x11Super;
    return state;
}

uint64_t modifiersOfX11(unsigned state) {
    uint64_t modifiers = 0;
    if (state & x11Shift) modifiers |= Shortcut::shift;
    if (state & x11Control) modifiers |= Shortcut::control;
    if (state & x11Alt) modifiers |= Shortcut::option;
    if (state & x11Super) modifiers |= Shortcut::command;
    return modifiers;
}

}  // namespace orvela::KeyPositions
