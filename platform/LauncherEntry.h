#pragma once

#include <cstdint>

namespace orvela::LauncherEntry {

// Tells docks and launchers the count to show on the application's icon, over
// the session bus (com.canonical.Unity.LauncherEntry). Sent when the count or its
// visibility changes, not when the same state is told again (every dock on the
// bus wakes for each signal), and again whenever a dock comes onto the bus (it
// owns com.canonical.Unity), since a dock started later has missed the earlier
// ones; a dock that asks (Query) is answered with the current count.
void update(int64_t count, bool visible);

}  // namespace orvela::LauncherEntry
