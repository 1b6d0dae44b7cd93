#pragma once

#include <string_view>

namespace orvela {

// Whether a failed main-frame load means the service cannot be reached: an error
// of the network stack (WebKit's network errors, GIO, the resolver, TLS, libsoup)
// other than a cancelled request. The web engine's own errors, such as a load
// interrupted by a navigation decision, are not.
bool isNetworkFailure(std::string_view errorDomain, int code);

}  // namespace orvela
