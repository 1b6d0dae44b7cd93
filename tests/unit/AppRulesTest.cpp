#include "app/AppLinks.h"
#include "app/PageZoom.h"
#include "platform/DefaultsStore.h"

#include <gtest/gtest.h>

namespace orvela {
namespace {

TEST(PageZoom, StepsAccumulateInDoublesAndStopAtTheBounds) {
    double zoom = PageZoom::actualSize;
    for (int i = 0; i < 4; ++i) zoom = PageZoom::zoomedOut(zoom);
    EXPECT_EQ(zoom, 0.6000000000000001);
    zoom = PageZoom::zoomedOut(zoom);
    EXPECT_EQ(zoom, 0.6);
    EXPECT_EQ(PageZoom::zoomedOut(zoom), 0.6);

    zoom = PageZoom::actualSize;
    for (int i = 0; i < 9; ++i) zoom = PageZoom::zoomedIn(zoom);
    EXPECT_EQ(zoom, 1.9000000000000008);
    EXPECT_EQ(PageZoom::zoomedIn(zoom), 2.0);
    EXPECT_EQ(PageZoom::zoomedIn(1.95), 2.0);
    EXPECT_EQ(PageZoom::zoomedIn(2.0), 2.0);
}

TEST(AppLinks, OnlyTheHostOfOrvelaAddressesCountsInTheirOrder) {
    using Kind = AppLink::Kind;
    EXPECT_EQ(appLinks({"orvela://capture", "orvela://someday/deep/path?x=1#top", "https://orvela.ru/inbox",
                        "mailto:someone@example.org", "orvela:", "orvela://inbox", "not a link", ""}),
              (std::vector<AppLink>{{Kind::capture, ""},
                                    {Kind::navigate, "/someday"},
                                    {Kind::navigate, "/"},
                                    {Kind::navigate, "/inbox"}}));
    EXPECT_EQ(appLinks({"orvela://capture/more"}), (std::vector<AppLink>{{Kind::capture, ""}}));
    EXPECT_TRUE(appLinks({"orvelax://capture", "file:///tmp/orvela"}).empty());
}

TEST(LaunchArguments, DefaultsPairsAreTakenOutAndTheRestKeptInOrder) {
    std::vector<std::string> arguments{"-origin", "http://localhost:8080", "orvela://inbox",
                                       "-smokeTest", "YES", "orvela://capture", "--help"};
    EXPECT_EQ(DefaultsStore::otherArguments(arguments),
              (std::vector<std::string>{"orvela://inbox", "orvela://capture", "--help"}));
    EXPECT_EQ(DefaultsStore::argumentDomain(arguments).size(), 2u);
    // A lone key at the end has no value and is not a pair.
    EXPECT_EQ(DefaultsStore::otherArguments({"orvela://next", "-origin"}),
              (std::vector<std::string>{"orvela://next", "-origin"}));
}

}  // namespace
}  // namespace orvela
