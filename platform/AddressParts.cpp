#include "platform/AddressParts.h"

#include <glib.h>

namespace orvela {

AddressParts AddressParts::of(const std::string& address) {
    AddressParts parts;
    // The scheme alone decides for data: and the like, whose rest need not be a
    // well-formed URI; g_uri_peek_scheme reports it in lower case.
    if (const char* scheme = g_uri_peek_scheme(address.c_str())) parts.scheme = scheme;
    GUri* uri = g_uri_parse(address.c_str(), GUriFlags(G_URI_FLAGS_ENCODED | G_URI_FLAGS_PARSE_RELAXED), nullptr);
    if (!uri) return parts;
    if (const char* host = g_uri_get_host(uri); host && *host) {
        gchar* lower = g_ascii_strdown(host, -1);
        parts.host = lower;
        g_free(lower);
    }
    g_uri_unref(uri);
    return parts;
}

}  // namespace orvela
