#pragma once

namespace orvela::AppStyle {

// The application's one style sheet, applied to the default screen once.
void install();

}  // namespace orvela::AppStyle
