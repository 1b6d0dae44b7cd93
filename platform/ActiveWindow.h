#pragma once

#include <cstdint>
#include <optional>

typedef struct _GtkWindow GtkWindow;

namespace orvela::ActiveWindow {

// The X11 window the window manager says is active (_NET_ACTIVE_WINDOW), when
// there is one and it belongs to another program. Nothing without X11.
std::optional<unsigned long> foreign();

// Whether the window is the one the user types into: on X11 the window
// manager's active window, which a passing key grab does not change; elsewhere
// the window's own keyboard focus.
bool isActive(GtkWindow* window);

// Asks the window manager to activate the window again, with the current server
// time, as a pager or task bar would. A window that is gone is ignored.
void activate(unsigned long window, GtkWindow* from);

// The X server's current time, taken through the given window.
uint32_t serverTime(GtkWindow* window);

}  // namespace orvela::ActiveWindow
