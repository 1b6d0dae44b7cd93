#include "app/AppLinks.h"

#include <glib.h>

namespace orvela {

std::vector<AppLink> appLinks(const std::vector<std::string>& addresses) {
    std::vector<AppLink> links;
    for (const auto& address : addresses) {
        GUri* uri = g_uri_parse(address.c_str(), GUriFlags(G_URI_FLAGS_NON_DNS | G_URI_FLAGS_PARSE_RELAXED), nullptr);
        if (!uri) continue;
        // GUri reports the scheme in lower case; the link's own letters decide.
        if (address.starts_with("orvela:")) {
            const char* host = g_uri_get_host(uri);
            std::string name = host ? host : "";
            if (name == "capture")
                links.push_back({AppLink::Kind::capture, {}});
            else
                links.push_back({AppLink::Kind::navigate, "/" + name});
        }
        g_uri_unref(uri);
    }
    return links;
}

}  // namespace orvela
