#pragma once

#include <cstdint>

namespace orvela::LauncherEntry {

// Tells docks and launchers the count to show on the application's icon, over
// the session bus. Sent on every change: a dock started later has missed the
// earlier ones.
void update(int64_t count, bool visible);

}  // namespace orvela::LauncherEntry
