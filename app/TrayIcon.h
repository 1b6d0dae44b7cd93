#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvela::TrayIcon {

// The tray icon is drawn at run time, with the Inbox count in it, since most
// trays (Xfce's, waybar, KDE's) show no label beside an icon. The inbox glyph is
// light with a dark outline, so that it reads on dark and light panels alike,
// also where the tray does not recolour symbolic icons.

// The sizes trays ask for: panels from 16 px up, and twice 24 for scaled screens.
inline constexpr std::array<int, 5> sizes{16, 22, 24, 32, 48};

// "ru.orvela.Orvela-tray" for no count, "ru.orvela.Orvela-tray-5" with one;
// counts over 99 share one icon.
std::string name(int64_t count);
// "Orvela", or "Orvela — 5 во «Входящих»": the item's title and tooltip.
std::string title(int64_t count);
// "5", "99", "99+": what the badge says.
std::string badgeText(int64_t count);

// The icon at one size, as status-notifier hosts take it: rows of pixels, each
// four bytes alpha, red, green, blue (not premultiplied).
struct Pixels {
    int size = 0;
    std::vector<uint8_t> argb;
};
Pixels pixels(int64_t count, int size);
// The same picture as a PNG file's bytes; empty when it cannot be encoded.
std::string png(int64_t count, int size);

// Where the badge and the ink of its text fall in an icon of this size.
struct Box {
    double left = 0, top = 0, width = 0, height = 0;
    double right() const { return left + width; }
    double bottom() const { return top + height; }
};
struct Badge {
    Box shape;
    Box ink;
    double fontPixels = 0;
};
Badge badge(int64_t count, int size);

}  // namespace orvela::TrayIcon
