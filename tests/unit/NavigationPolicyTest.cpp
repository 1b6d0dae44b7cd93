#include "web/NavigationPolicy.h"

#include <gtest/gtest.h>

namespace orvela {
namespace {

using Decision = NavigationPolicy::Decision;

const NavigationPolicy policy("https://app.orvela.ru");

Decision mainFrame(const std::string& url) { return policy.decide(url, true); }
Decision subFrame(const std::string& url) { return policy.decide(url, false); }

TEST(NavigationPolicy, TheApplicationsOriginInAnyCaseIsAnAppPage) {
    for (const char* url : {"https://app.orvela.ru/inbox", "HTTPS://APP.ORVELA.RU/x", "https://app.orvela.ru:443/"}) {
        EXPECT_EQ(mainFrame(url), Decision::allow) << url;
        EXPECT_TRUE(policy.isAppPage(std::string(url))) << url;
    }
    // The engine keeps a stray "%" as it is; the address is still the application's.
    EXPECT_TRUE(policy.isAppPage(std::string("https://app.orvela.ru/search?q=50%")));
    EXPECT_EQ(mainFrame("https://app.orvela.ru/search?q=50%"), Decision::allow);
    EXPECT_EQ(mainFrame("https://orvela.ru/a%zz"), Decision::allow);
    EXPECT_FALSE(policy.isAppPage(std::nullopt));
    EXPECT_FALSE(policy.isAppPage(std::string("about:blank")));
    EXPECT_FALSE(policy.isAppPage(std::string("https://app.orvela.ru.evil.example/")));
}

TEST(NavigationPolicy, AnotherSchemeOrPortOfTheApplicationHostIsNoAppPage) {
    for (const char* url : {"http://app.orvela.ru/", "https://app.orvela.ru:8443/", "http://app.orvela.ru:443/"}) {
        EXPECT_EQ(mainFrame(url), Decision::allow) << url;
        EXPECT_FALSE(policy.isAppPage(std::string(url))) << url;
    }
    for (const char* url : {"ws://app.orvela.ru/", "wss://app.orvela.ru/", "file://app.orvela.ru/inbox",
                            "blob:https://app.orvela.ru/1d2f"})
        EXPECT_FALSE(policy.isAppPage(std::string(url))) << url;
}

TEST(NavigationPolicy, LegacyHostAndSignInPagesLoadInsideButAreNotAppPages) {
    for (const char* url : {"https://orvela.ru/", "https://passport.yandex.ru/auth", "https://yandex.kz/",
                            "https://ya.ru/", "https://accounts.google.com/o/oauth2",
                            "https://x.accounts.youtube.com/"}) {
        EXPECT_EQ(mainFrame(url), Decision::allow) << url;
        EXPECT_FALSE(policy.isAppPage(std::string(url))) << url;
    }
}

TEST(NavigationPolicy, DomainsMatchOnWholeLabelsOnly) {
    EXPECT_EQ(mainFrame("https://myyandex.ru/"), Decision::openExternally);
    EXPECT_EQ(mainFrame("https://notya.ru/"), Decision::openExternally);
    EXPECT_EQ(mainFrame("https://google.com/"), Decision::openExternally);
    EXPECT_EQ(mainFrame("https://yandex.ru.evil.example/"), Decision::openExternally);
    EXPECT_EQ(mainFrame("https://www.orvela.ru/"), Decision::openExternally);
    // Only the host decides; a sign-in domain in the user part or path does not.
    EXPECT_EQ(mainFrame("https://yandex.ru@evil.example/yandex.ru"), Decision::openExternally);
}

TEST(NavigationPolicy, ForeignPagesLeaveTheMainFrameButLoadInSubFrames) {
    EXPECT_EQ(mainFrame("https://example.com/"), Decision::openExternally);
    EXPECT_EQ(subFrame("https://example.com/"), Decision::allow);
    EXPECT_EQ(mainFrame("https:///nohost"), Decision::openExternally);
}

TEST(NavigationPolicy, OtherSchemesLeaveFromAnyFrame) {
    for (const char* url : {"mailto:a@b.ru", "tel:+79990000000", "orvela://inbox", "file:///etc/passwd", "nonsense"}) {
        EXPECT_EQ(mainFrame(url), Decision::openExternally) << url;
        EXPECT_EQ(subFrame(url), Decision::openExternally) << url;
    }
}

TEST(NavigationPolicy, AboutBlobAndDataLoadAnywhereInAnyLetterCase) {
    for (const char* url : {"about:blank", "ABOUT:srcdoc", "blob:https://app.orvela.ru/1d2f",
                            "data:text/html,<b>привет мир</b>", "DaTa:,x"}) {
        EXPECT_EQ(mainFrame(url), Decision::allow) << url;
        EXPECT_EQ(subFrame(url), Decision::allow) << url;
    }
}

TEST(NavigationPolicy, OnlyApplicationDocumentsUnderAnApplicationMainDocumentMayPost) {
    const std::optional<std::string> appMain = "https://app.orvela.ru/inbox";
    EXPECT_TRUE(policy.mayPost("https://app.orvela.ru/inbox", true, appMain));
    EXPECT_TRUE(policy.mayPost("https://app.orvela.ru/inbox", false, appMain));
    EXPECT_TRUE(policy.mayPost("", true, appMain)) << "the main frame's document speaks for the main document";
    EXPECT_FALSE(policy.mayPost("", false, appMain)) << "a child without an address is nobody's";
    for (const char* address : {"about:blank", "about:srcdoc", "data:text/html,x", "https://orvela.ru/",
                                "https://passport.yandex.ru/auth", "https://evil.example/", "http://app.orvela.ru/",
                                "https://app.orvela.ru:8443/"}) {
        EXPECT_FALSE(policy.mayPost(address, true, appMain)) << address;
        EXPECT_FALSE(policy.mayPost(address, false, appMain)) << address;
    }
    // Under a foreign main document the application itself, in a child, is not heard.
    for (std::optional<std::string> main : {std::optional<std::string>(), std::optional<std::string>("https://orvela.ru/"),
                                            std::optional<std::string>("https://app.orvela.ru:8443/inbox")}) {
        EXPECT_FALSE(policy.mayPost("https://app.orvela.ru/inbox", false, main)) << main.value_or("none");
        EXPECT_FALSE(policy.mayPost("", true, main)) << main.value_or("none");
    }
}

TEST(NavigationPolicy, ApplicationHostComesFromTheOrigin) {
    NavigationPolicy local("http://localhost:8080/app");
    EXPECT_EQ(local.appHost(), "localhost");
    EXPECT_TRUE(local.isAppPage(std::string("http://LOCALHOST:8080/inbox")));
    EXPECT_FALSE(local.isAppPage(std::string("http://localhost:9999/")));
    EXPECT_FALSE(local.isAppPage(std::string("http://localhost/")));
    EXPECT_FALSE(local.isAppPage(std::string("https://localhost:8080/")));
    NavigationPolicy fallback("no host here");
    EXPECT_EQ(fallback.appHost(), "app.orvela.ru");
    EXPECT_TRUE(fallback.isAppPage(std::string("https://app.orvela.ru/")));
    EXPECT_FALSE(fallback.isAppPage(std::string("http://app.orvela.ru/")));
}

}  // namespace
}  // namespace orvela
