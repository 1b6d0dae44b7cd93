#pragma once

namespace orvela::ColorScheme {

// Follows the desktop's colour-scheme preference for the rest of the process: the
// desktop portal's org.freedesktop.appearance color-scheme (1 prefers dark, 2
// prefers light, 0 no preference), read at once and on every change, becomes
// GTK's dark preference, which the application's own views and the page's
// prefers-color-scheme follow. Without a portal GTK's own setting stays.
void follow();

}  // namespace orvela::ColorScheme
