#pragma once

#include <cstdint>
#include <string>

namespace orvela::TrayIcon {

// The tray icon is made at run time, with the Inbox count drawn into it, since
// most trays (Xfce's, waybar, KDE's) show no label beside an icon. The inbox
// glyph is drawn light with a dark outline, so that it reads on dark and light
// panels alike, also where the tray does not recolour symbolic icons.

// "ru.orvela.Orvela-tray" for no count, "ru.orvela.Orvela-tray-5" with one;
// counts over 99 share one icon.
std::string name(int64_t count);
// The SVG document of that icon: the glyph, and a red badge with the count.
std::string svg(int64_t count);
// "Orvela", or "Orvela — 5 во «Входящих»": the item's title, which trays show as
// its tooltip.
std::string title(int64_t count);

}  // namespace orvela::TrayIcon
