#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orvela::DesktopNotifications {

// Where a notification was shown: the server, named by its bus and its
// connection there (a restarted server, or another login's bus, is another
// server), and the number the server gave it.
struct Placement {
    std::string server;
    uint32_t id = 0;
};

// Asks the desktop's notification server (org.freedesktop.Notifications) to show
// a notification for the application's desktop entry, with the default sound and
// a default action. Never waits: done runs on the main loop with where it was
// shown, or nothing when no server took it (one line is logged per outage).
void show(const std::string& title, const std::string& body, std::function<void(std::optional<Placement>)> done);

// For the rest of the process: clicked for every click (the default action) on a
// notification of any program, and serverAppeared each time a notification
// server takes its name on the bus (also at once when one is there).
void listen(std::function<void(const Placement&)> clicked, std::function<void()> serverAppeared);

}  // namespace orvela::DesktopNotifications
