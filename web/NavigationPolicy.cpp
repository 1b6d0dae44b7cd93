#include "web/NavigationPolicy.h"

#include "app/AppConfig.h"
#include "platform/AddressParts.h"

#include <glib.h>

namespace orvela {
namespace {

using Address = AddressParts;

// An address that does not parse counts as one without a scheme, which never
// loads inside: when in doubt, the page stays out of the window.
Address parse(const std::string& url) { return AddressParts::of(url); }

bool onDomain(const std::string& host, std::string_view domain) {
    if (host == domain) return true;
    return host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

}  // namespace

NavigationPolicy::NavigationPolicy(const std::string& origin) {
    Address address = parse(origin);
    if (!address.host) address = parse(AppConfig::defaultOrigin);
    appScheme_ = address.scheme;
    appHost_ = *address.host;
    appPort_ = address.port;
}

NavigationPolicy::Decision NavigationPolicy::decide(const std::string& url, bool isMainFrame) const {
    Address address = parse(url);
    const std::string& scheme = address.scheme;
    if (scheme.empty()) return Decision::openExternally;
    if (scheme == "about" || scheme == "blob" || scheme == "data") return Decision::allow;
    if (scheme != "https" && scheme != "http") return Decision::openExternally;
    if (!isMainFrame) return Decision::allow;
    if (!address.host) return Decision::openExternally;
    const std::string& host = *address.host;
    if (host == appHost_ || host == legacyHost_) return Decision::allow;
    for (const char* domain : signInDomains) {
        if (onDomain(host, domain)) return Decision::allow;
    }
    return Decision::openExternally;
}

bool NavigationPolicy::isAppPage(const std::optional<std::string>& url) const {
    if (!url) return false;
    Address address = parse(*url);
    return address.host && *address.host == appHost_ && address.scheme == appScheme_ && address.port == appPort_;
}

bool NavigationPolicy::mayPost(const std::string& documentAddress, bool isMainFrame,
                               const std::optional<std::string>& mainDocumentAddress) const {
    if (!isAppPage(mainDocumentAddress)) return false;
    if (!documentAddress.empty()) return isAppPage(documentAddress);
    return isMainFrame;
}

}  // namespace orvela
