#include "platform/AddressParts.h"

#include <glib.h>

namespace orvela {

AddressParts AddressParts::of(const std::string& address) {
    AddressParts parts;
    // The scheme alone decides for data: and the like, whose rest need not be a
    // well-formed URI; g_uri_peek_scheme reports it in lower case.
    if (const char* scheme = g_uri_peek_scheme(address.c_str())) parts.scheme = scheme;
    // Normalising fills in the scheme's own port, so that ":443" and nothing compare equal.
    auto flags = GUriFlags(G_URI_FLAGS_ENCODED | G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_SCHEME_NORMALIZE);
    GUri* uri = g_uri_parse(address.c_str(), flags, nullptr);
    if (!uri) return parts;
    if (const char* host = g_uri_get_host(uri); host && *host) {
        gchar* lower = g_ascii_strdown(host, -1);
        parts.host = lower;
        g_free(lower);
    }
    parts.port = g_uri_get_port(uri);
    g_uri_unref(uri);
    return parts;
}

}  // namespace orvela
