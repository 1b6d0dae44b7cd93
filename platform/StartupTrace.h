#pragma once

namespace orvela::StartupTrace {

// With ORVELA_STARTUP_TRACE set, writes "startup: PHASE MICROSECONDS" to standard
// error, the time on the monotonic clock, so that a benchmark can lay the
// phases of a start beside the moment it started the process. Each phase is
// told once; nothing happens without the variable.
void mark(const char* phase);

}  // namespace orvela::StartupTrace
