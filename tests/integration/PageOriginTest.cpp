// Only the application's own origin in the main frame hears captures and calls
// and is heard.
#include "tests/integration/WebHostFixture.h"

#include <gtest/gtest.h>

namespace orvela {
namespace {

using testing::Harness;
using testing::runFor;
using testing::runUntil;

std::optional<bool> captureAnswer(WebController& web, const std::string& text) {
    std::optional<bool> answer;
    web.capture(text, [&](bool saved) { answer = saved; });
    runUntil([&] { return answer.has_value(); });
    return answer;
}

TEST_F(WebHost, APageOnAnotherPortOfTheHostTakesTheMainFrameAndGetsNothing) {
    ASSERT_TRUE(waitReady());
    std::string other = harness.otherOrigin();
    messages.clear();
    // The same site on another port: it says ready, sends its Inbox count and an
    // empty reminder list, which would withdraw every reminder.
    loadAndWait(other + "/inbox");
    ASSERT_TRUE(runUntil([&] { return traced(harness.otherSiteState(), "ready") > 0; }));
    runFor(1);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(web->bridgeReady());

    EXPECT_EQ(captureAnswer(*web, "пароль от почты"), false);
    web->openItem("42");
    web->command(PageScripts::openSearch);
    runFor(1);
    auto state = harness.otherSiteState();
    EXPECT_EQ(traced(state, "capture"), 0);
    EXPECT_EQ(traced(state, "openItem"), 0);
    EXPECT_EQ(traced(state, "command"), 0);
    EXPECT_TRUE(state["inbox"].empty());
    EXPECT_EQ(uri(), other + "/inbox");
}

TEST_F(WebHost, AForeignMainDocumentWithTheApplicationInAChildGetsNothing) {
    ASSERT_TRUE(waitReady());
    int readyBefore = traced(harness.siteState(), "ready");
    messages.clear();
    // Its own page object would take the capture and answer true.
    loadAndWait("data:text/html,<script>window.orvelaNative = {capture: (text) => { document.title = text; return true; }}"
                "</script><iframe src='" + harness.origin() + "/inbox'></iframe>");
    ASSERT_TRUE(runUntil([&] { return traced(harness.siteState(), "ready") > readyBefore; }));
    runFor(1);
    EXPECT_FALSE(web->bridgeReady());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(captureAnswer(*web, "пароль от почты"), false);
    EXPECT_NE(evaluate("document.title"), "пароль от почты");
}

TEST_F(WebHost, AnApplicationChildOfTheApplicationIsHeardButDoesNotMakeItReady) {
    ASSERT_TRUE(waitReady());
    harness.control("inbox=3");
    // The main document is the application's, but it has not said ready itself.
    loadAndWait(harness.origin() + "/frames?child=app");
    ASSERT_TRUE(runUntil([&] {
        auto counts = received<BridgeMessage::Inbox>();
        return !counts.empty() && counts.back().count == 3;
    }));
    runFor(1);
    EXPECT_FALSE(web->bridgeReady());
    EXPECT_EQ(captureAnswer(*web, "рано"), false);
    harness.control("inbox=0");
}

}  // namespace
}  // namespace orvela
