#pragma once

#include <optional>
#include <string>

namespace orvela::AppStyle {

// The icons of the build tree, beside the executables; nothing when running
// installed, where the icons are in the system's icon theme.
std::optional<std::string> localIconFolder();

// The application's one style sheet, applied to the default screen once.
void install();

}  // namespace orvela::AppStyle
