#pragma once

namespace orvela::SystemTray {

// Whether an old-style (XEmbed) system tray runs on this X11 screen. Nothing
// without X11.
bool xembedTrayPresent();

}  // namespace orvela::SystemTray
