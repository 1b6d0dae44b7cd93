#pragma once

#include <optional>
#include <string>

namespace orvela {

// The scheme, host and port of an address, read as leniently as the web engine keeps
// addresses: a stray "%" in a query ("?q=50%") or other characters a strict
// parser refuses do not make an address lose its host.
struct AddressParts {
    std::string scheme;               // lower case; empty when the address has none
    std::optional<std::string> host;  // lower case; none when absent or empty
    int port = -1;                    // the scheme's own when none is written (http, https, ws, wss); else -1

    static AddressParts of(const std::string& address);
};

}  // namespace orvela
