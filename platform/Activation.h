#pragma once

#include <cstdint>
#include <functional>
#include <string>

typedef struct _GtkWindow GtkWindow;

namespace orvela::Activation {

// Keeps the token that came with the user's request (a portal shortcut press, a
// notification click) for the next window presented: with it a Wayland
// compositor, or an X11 window manager that prevents focus stealing, gives that
// window the keyboard.
void setToken(std::string token);

// Keeps the startup id of the launch or link being handled now (X11: the
// application's open and activate requests carry one in their platform data).
void takeRequestToken();

// Presents the window with the kept token (used once), or else with the time of
// the user's input that asked for it (0: the current event's time, if any).
void present(GtkWindow* window, uint32_t time = 0);

// Names the window for a desktop portal's dialog ("wayland:HANDLE" through
// xdg-foreign, "x11:XID"; empty when it cannot be named) and, where the display
// can make one, an activation token for the dialog; then runs the task, at once
// or once the compositor exported the window.
void exportForPortal(GtkWindow* window, std::function<void(const std::string& parent, const std::string& token)> task);

}  // namespace orvela::Activation
