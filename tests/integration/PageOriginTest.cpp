// Only the application's own origin in the main frame hears captures and calls
// and is heard; other programs start only on the user's click.
#include "tests/integration/WebHostFixture.h"

#include <algorithm>
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

long openedCount(Harness& harness, const std::string& address) {
    auto opened = harness.openedInBrowser();
    return std::count(opened.begin(), opened.end(), address);
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

TEST_F(WebHost, AForeignFrameCannotStartAnotherProgramButTheUsersClickCan) {
    ASSERT_TRUE(waitReady());
    ::testing::internal::CaptureStderr();
    loadAndWait(harness.origin() + "/frames?attack=scheme");
    ASSERT_TRUE(runUntil([&] { return traced(harness.siteState(), "attack", "scheme:sent") > 0; }));
    runFor(1.5);
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(openedCount(harness, "mailto:frame@attack.test"), 0);
    EXPECT_NE(logged.find("Orvela: not opening a mailto: address"), std::string::npos) << logged;

    loadAndWait(harness.origin() + "/inbox");
    ASSERT_TRUE(waitReady());
    long before = openedCount(harness, "mailto:team@orvela.ru");
    // The link's place on the screen, for a click through the X server as a person's.
    auto box = nlohmann::json::parse(evaluate("(() => { const link = document.getElementById('mail');"
                                              " link.scrollIntoView(); const box = link.getBoundingClientRect();"
                                              " return JSON.stringify({x: box.x + box.width / 2, y: box.y + box.height / 2}); })()"));
    GtkWidget* view = GTK_WIDGET(web->webView());
    int viewX = 0, viewY = 0, originX = 0, originY = 0;
    gtk_widget_translate_coordinates(view, GTK_WIDGET(web->window()), 0, 0, &viewX, &viewY);
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(web->window())), &originX, &originY);
    int x = originX + viewX + box["x"].get<int>();
    int y = originY + viewY + box["y"].get<int>();
    ASSERT_EQ(testing::xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}), 0);
    EXPECT_TRUE(runUntil([&] { return openedCount(harness, "mailto:team@orvela.ru") > before; }))
        << ::testing::PrintToString(harness.openedInBrowser());
    EXPECT_TRUE(web->bridgeReady());
}

}  // namespace
}  // namespace orvela
