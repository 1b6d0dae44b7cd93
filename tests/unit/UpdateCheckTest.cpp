#include "app/Appcast.h"
#include "app/UpdateChecker.h"
#include "app/VersionComparison.h"

#include <gtest/gtest.h>
#include <libsoup/soup.h>

namespace orvela {
namespace {

TEST(VersionComparison, NumbersCountAsNumbersAndWordsMarkPreReleases) {
    EXPECT_GT(compareVersions("1.10", "1.9"), 0);
    EXPECT_LT(compareVersions("1.0", "1.0.1"), 0);
    EXPECT_EQ(compareVersions("1.0", "1.0.0"), 0);
    EXPECT_EQ(compareVersions("2.0.0", "2"), 0);
    EXPECT_LT(compareVersions("1.0b1", "1.0"), 0);
    EXPECT_LT(compareVersions("1.0b1", "1.0b2"), 0);
    EXPECT_LT(compareVersions("1.0a2", "1.0b1"), 0);
    EXPECT_GT(compareVersions("1.0", "1.0rc3"), 0);
    EXPECT_EQ(compareVersions("1.02", "1.2"), 0);
    EXPECT_GT(compareVersions("10", "9.9.9"), 0);
    EXPECT_GT(compareVersions("1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.1", "1"), 0);
    EXPECT_GT(compareVersions("123456789012345678901234567890", "123456789012345678901234567889"), 0);
}

std::string feedOf(const std::string& items) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Orvela</title>)" + items + "</channel></rss>";
}

TEST(Appcast, TheNewestReleaseForLinuxOrEverySystemWins) {
    auto feed = Appcast::parse(feedOf(R"(
<item><title>2.0 for the Mac</title><link>https://orvela.ru/mac</link>
  <enclosure url="https://orvela.ru/Orvela-2.0.dmg" sparkle:version="2.0" sparkle:os="macos"/></item>
<item><title>1.4</title><link>https://orvela.ru/download/1.4</link><sparkle:version>1.4</sparkle:version>
  <sparkle:shortVersionString>1.4 «Весна»</sparkle:shortVersionString></item>
<item><title>1.10</title><enclosure url="https://orvela.ru/orvela_1.10.deb" sparkle:version="1.10"
  sparkle:shortVersionString="1.10" sparkle:os="linux"/></item>
<item><title>no version</title><link>https://orvela.ru/x</link></item>)"));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->items.size(), 3u);
    auto newest = feed->newestFor("linux");
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->version, "1.10");
    EXPECT_EQ(newest->page, "https://orvela.ru/orvela_1.10.deb");
    EXPECT_EQ(feed->items[1].shortVersion, "1.4 «Весна»");
    EXPECT_EQ(feed->newestFor("macos")->version, "2.0");
}

TEST(Appcast, WhatIsNotAFeedIsRefusedAndNothingOutsideIsRead) {
    EXPECT_FALSE(Appcast::parse("not xml at all"));
    EXPECT_FALSE(Appcast::parse("<html><body>502</body></html>"));
    EXPECT_FALSE(Appcast::parse(""));
    auto withEntity = Appcast::parse(R"(<?xml version="1.0"?>
<!DOCTYPE rss [<!ENTITY secret SYSTEM "file:///etc/hostname">]>
<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
<item><link>https://orvela.ru/d</link><sparkle:version>9&secret;</sparkle:version></item></channel></rss>)");
    ASSERT_TRUE(withEntity);
    ASSERT_EQ(withEntity->items.size(), 1u);
    EXPECT_EQ(withEntity->items[0].version, "9");
}

// A feed served on loopback, with whatever the test puts in it.
struct FeedServer {
    SoupServer* server = soup_server_new(nullptr, nullptr);
    std::string body;
    int status = 200;
    std::string address;

    FeedServer() {
        soup_server_add_handler(
            server, "/feed",
            [](SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer self) {
                auto* feed = static_cast<FeedServer*>(self);
                soup_server_message_set_status(message, feed->status, nullptr);
                soup_server_message_set_response(message, "application/rss+xml", SOUP_MEMORY_COPY, feed->body.data(),
                                                 feed->body.size());
            },
            this, nullptr);
        soup_server_listen_local(server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr);
        GSList* uris = soup_server_get_uris(server);
        char* root = g_uri_to_string(static_cast<GUri*>(uris->data));
        address = std::string(root) + "feed";
        g_free(root);
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~FeedServer() { g_object_unref(server); }
};

UpdateChecker::Result checkAgainst(const std::string& feed, const std::string& version = "1.0.0") {
    DefaultsStore defaults(std::nullopt, {"-updateFeed", feed});
    auto checker = UpdateChecker::create(defaults, version, nullptr);
    std::optional<UpdateChecker::Result> result;
    checker->check([&](UpdateChecker::Result found) { result = found; });
    gint64 deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
    while (!result && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
    return result.value_or(UpdateChecker::Result{UpdateChecker::Result::Kind::failed, {}, "no answer in time"});
}

TEST(UpdateChecker, ANewerReleaseIsFoundAndEqualOlderOrForeignOnesAreNot) {
    using Kind = UpdateChecker::Result::Kind;
    FeedServer server;
    auto release = [](const std::string& version, const std::string& os) {
        return "<item><link>https://orvela.ru/download/" + version + "</link><sparkle:version>" + version +
               "</sparkle:version>" + (os.empty() ? "" : "<sparkle:os>" + os + "</sparkle:os>") + "</item>";
    };
    server.body = feedOf(release("1.1", "linux") + release("0.9", ""));
    auto newer = checkAgainst(server.address);
    ASSERT_EQ(newer.kind, Kind::newer) << newer.error;
    EXPECT_EQ(newer.release.page, "https://orvela.ru/download/1.1");

    server.body = feedOf(release("1.0", ""));
    EXPECT_EQ(checkAgainst(server.address).kind, Kind::upToDate) << "1.0 is 1.0.0";
    server.body = feedOf(release("0.9.9", "linux"));
    EXPECT_EQ(checkAgainst(server.address).kind, Kind::upToDate);
    server.body = feedOf(release("7.0", "windows"));
    EXPECT_EQ(checkAgainst(server.address).kind, Kind::upToDate);
    server.body = feedOf(release("1.0.1b1", ""));
    EXPECT_EQ(checkAgainst(server.address).kind, Kind::newer);
}

TEST(UpdateChecker, AnUnreadableFeedIsAFailureWithItsReason) {
    using Kind = UpdateChecker::Result::Kind;
    FeedServer server;
    server.body = "<rss><channel><item>";
    auto malformed = checkAgainst(server.address);
    EXPECT_EQ(malformed.kind, Kind::failed);
    EXPECT_FALSE(malformed.error.empty());

    server.status = 404;
    server.body = "Не найдено";
    EXPECT_EQ(checkAgainst(server.address).error, "HTTP 404");

    std::string closed;
    {
        FeedServer gone;
        closed = gone.address;
    }
    auto unreachable = checkAgainst(closed);
    EXPECT_EQ(unreachable.kind, Kind::failed);
    EXPECT_FALSE(unreachable.error.empty());

    EXPECT_EQ(checkAgainst("not an address").kind, Kind::failed);
}

}  // namespace
}  // namespace orvela
