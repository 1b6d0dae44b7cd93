#include "web/LoadError.h"

#include <array>

namespace orvela {
namespace {

// GQuark names of the domains, as g_quark_to_string gives them.
constexpr std::string_view webkitNetwork = "WebKitNetworkError";
constexpr std::string_view gio = "g-io-error-quark";
constexpr std::array<std::string_view, 6> networkDomains = {
    webkitNetwork, gio, "g-resolver-error-quark", "g-tls-error-quark", "soup-session-error-quark",
    "soup-tld-error-quark",
};
constexpr int webkitNetworkCancelled = 302;  // WEBKIT_NETWORK_ERROR_CANCELLED
constexpr int gioCancelled = 19;              // G_IO_ERROR_CANCELLED

}  // namespace

bool isNetworkFailure(std::string_view errorDomain, int code) {
    if (errorDomain == webkitNetwork && code == webkitNetworkCancelled) return false;
    if (errorDomain == gio && code == gioCancelled) return false;
    for (auto domain : networkDomains) {
        if (errorDomain == domain) return true;
    }
    return false;
}

}  // namespace orvela
