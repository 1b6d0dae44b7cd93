#pragma once

#include <functional>
#include <string>

namespace orvela::DesktopNotifications {

// Shows a notification through the desktop's notification server
// (org.freedesktop.Notifications) for the application's desktop entry, with the
// default sound and a default action; a click runs onClick on the main loop.
// False, with one line logged, when no server takes it.
bool show(const std::string& title, const std::string& body, std::function<void()> onClick);

}  // namespace orvela::DesktopNotifications
