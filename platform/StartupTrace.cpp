#include "platform/StartupTrace.h"

#include <cstdio>
#include <glib.h>
#include <set>
#include <string>

namespace orvela::StartupTrace {

void mark(const char* phase) {
    static const bool tracing = g_getenv("ORVELA_STARTUP_TRACE") != nullptr;
    if (!tracing) return;
    static std::set<std::string> told;
    if (!told.insert(phase).second) return;
    std::fprintf(stderr, "startup: %s %lld\n", phase, static_cast<long long>(g_get_monotonic_time()));
}

}  // namespace orvela::StartupTrace
