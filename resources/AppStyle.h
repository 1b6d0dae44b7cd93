#pragma once

#include <optional>
#include <string>

namespace orvela::AppStyle {

// The icons of the build tree, beside the executables; nothing when running
// installed, where the icons are in the system's icon theme.
std::optional<std::string> localIconFolder();

// The "MenuBarIcon" image (the tray's icon and the panel's mark) as installed
// into the shared icon theme: under the application's id, so no other package's
// icon can be meant.
inline constexpr const char* menuBarIcon = "ru.orvela.Orvela-tray-symbolic";

// The application's one style sheet, applied to the default screen once.
void install();

}  // namespace orvela::AppStyle
