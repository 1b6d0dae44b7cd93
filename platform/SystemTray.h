#pragma once

#include <functional>

namespace orvela::SystemTray {

// Whether an old-style (XEmbed) system tray runs on this X11 screen. Nothing
// without X11.
bool xembedTrayPresent();

// Whether an old-style tray can show items here at all: on X11, where one may
// also start later (a panel that comes up after the programs of the login).
bool xembedTrayPossible();

// Whether a tray shows status items now: a status-notifier watcher on the
// session bus with a host registered with it, or an old-style tray.
bool present();

// Tells once whether a tray shows status items: at once when one does, else as
// soon as a host registers within the given seconds, else false when they are up.
void whenPresent(double seconds, std::function<void(bool)> done);

}  // namespace orvela::SystemTray
