#pragma once

#include <array>
#include <optional>
#include <string>

namespace orvela {

// Answers every "may this address load in the window?" question: the web
// application's own host, its legacy host and the sign-in pages load inside,
// everything else goes to the user's browser. Only pages of the application's
// origin (scheme, host and port) are the application's own.
class NavigationPolicy {
public:
    enum class Decision { allow, openExternally };

    static constexpr const char* legacyHostName = "orvela.ru";
    static constexpr std::array<const char*, 8> signInDomains = {
        "yandex.ru", "yandex.com", "yandex.by", "yandex.kz",
        "yandex.uz", "ya.ru",      "accounts.google.com", "accounts.youtube.com",
    };

    // The application's origin is the given one, or the default origin when the
    // given one has no host.
    explicit NavigationPolicy(const std::string& origin);

    Decision decide(const std::string& url, bool isMainFrame) const;
    // Whether the address is on the application's origin: its scheme, host and
    // port (the scheme's own when none is written) are the origin's.
    bool isAppPage(const std::optional<std::string>& url) const;
    // Whether a message posted by a document with this address may be heard while
    // the main frame shows the given committed document. The bridge belongs to
    // the main frame's document: nothing is heard while that is not an app page.
    // A document without an address speaks for the main document only in the main
    // frame; a child frame without one (about:blank, srcdoc) is nobody's.
    bool mayPost(const std::string& documentAddress, bool isMainFrame,
                 const std::optional<std::string>& mainDocumentAddress) const;

    const std::string& appHost() const { return appHost_; }
    const std::string& legacyHost() const { return legacyHost_; }

private:
    std::string appScheme_;
    std::string appHost_;
    int appPort_ = -1;
    std::string legacyHost_ = legacyHostName;
};

}  // namespace orvela
