#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

// An update feed: an RSS channel whose items each describe one release.
struct Appcast {
    struct Item {
        std::string version;       // what versions are compared by
        std::string shortVersion;  // what the user is shown; the version when absent
        std::string os;            // empty for every system
        std::string page;          // where the release is downloaded from
    };
    std::vector<Item> items;

    static constexpr const char* sparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

    // Nothing when the text is not such a feed. Items without a version or a
    // page are left out. No external entity or document is ever fetched.
    static std::optional<Appcast> parse(std::string_view xml);

    // The newest release for this system ("linux"), or for every system.
    std::optional<Item> newestFor(std::string_view os) const;
};

}  // namespace orvela
