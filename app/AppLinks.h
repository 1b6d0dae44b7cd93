#pragma once

#include <string>
#include <vector>

namespace orvela {

// What an address of the "orvela" scheme asks for: the capture panel for the
// host "capture", otherwise the section named by the host.
struct AppLink {
    enum class Kind { capture, navigate };
    Kind kind;
    std::string path;

    bool operator==(const AppLink&) const = default;
};

// The links among the given addresses, in their order. Addresses of other
// schemes, and ones that do not parse, are skipped; only the host counts, never
// the path, query or fragment.
std::vector<AppLink> appLinks(const std::vector<std::string>& addresses);

}  // namespace orvela
