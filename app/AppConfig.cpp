#include "app/AppConfig.h"

#include <glib.h>

namespace orvela::AppConfig {

std::string origin(const DefaultsStore& defaults) {
    auto override = defaults.stringForKey("origin");
    if (!override) return defaultOrigin;
    GUri* parsed = g_uri_parse(override->c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!parsed) return defaultOrigin;
    // The scheme is compared as written: GUri reports it lower-cased.
    bool https = override->starts_with("https:");
    const char* host = g_uri_get_host(parsed);
    bool localhost = host && std::string_view(host) == "localhost";
    g_uri_unref(parsed);
    return (https || localhost) ? *override : std::string(defaultOrigin);
}

std::string url(const std::string& path, const DefaultsStore& defaults) {
    std::string base = origin(defaults);
    gchar* resolved = g_uri_resolve_relative(base.c_str(), path.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!resolved) return base;
    std::string absolute(resolved);
    g_free(resolved);
    return absolute;
}

std::string version() {
#ifdef ORVELA_VERSION
    return ORVELA_VERSION[0] ? ORVELA_VERSION : "0";
#else
    return "0";
#endif
}

}  // namespace orvela::AppConfig
