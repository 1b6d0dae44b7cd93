#include "tests/integration/Harness.h"
#include "web/WebController.h"

#include <csignal>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>

namespace orvela {
namespace {

using testing::Harness;
using testing::runFor;
using testing::runUntil;

// One fresh web host on the stand-in site, with what reached its callbacks.
struct WebHost : ::testing::Test {
    Harness& harness = Harness::shared();
    DefaultsStore defaults{std::nullopt, {"-origin", harness.origin()}};
    std::shared_ptr<WebController> web;
    std::vector<BridgeMessage> messages;
    std::vector<bool> readiness;

    void SetUp() override {
        harness.control("captures=ok&delay=0&hang=0");
        web = WebController::create(defaults);
        web->onMessage = [this](const BridgeMessage& message) { messages.push_back(message); };
        web->onBridgeReadyChange = [this](bool ready) { readiness.push_back(ready); };
        web->bringForward();
    }

    bool waitReady(double seconds = 20) { return runUntil([&] { return web->bridgeReady(); }, seconds); }

    std::string uri() const {
        const char* current = webkit_web_view_get_uri(web->webView());
        return current ? current : "";
    }

    void loadAndWait(const std::string& address) {
        bool finished = false;
        auto connection = SignalConnection::connect<void(WebKitWebView*, WebKitLoadEvent)>(
            web->webView(), "load-changed",
            [&](WebKitWebView*, WebKitLoadEvent event) { finished = finished || event == WEBKIT_LOAD_FINISHED; });
        webkit_web_view_load_uri(web->webView(), address.c_str());
        ASSERT_TRUE(runUntil([&] { return finished; }));
    }

    // Runs a script in the page and waits for it to finish.
    void runScript(const std::string& script) {
        bool done = false;
        webkit_web_view_evaluate_javascript(web->webView(), script.c_str(), -1, nullptr, nullptr, nullptr,
            [](GObject* view, GAsyncResult* result, gpointer flag) {
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
                if (value) g_object_unref(value);
                *static_cast<bool*>(flag) = true;
            },
            &done);
        ASSERT_TRUE(runUntil([&] { return done; }));
    }

    template <class Case>
    std::vector<Case> received() const {
        std::vector<Case> found;
        for (const auto& message : messages) {
            if (auto* value = std::get_if<Case>(&message.value)) found.push_back(*value);
        }
        return found;
    }
};

TEST_F(WebHost, ThePageReportsReadyInboxAndReminders) {
    harness.control("reminders=set", R"([{"id":"r1","itemId":"42","atMs":4102444800000,"title":"Позвонить"}])");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(readiness, std::vector<bool>{true});
    ASSERT_TRUE(runUntil([&] { return !received<BridgeMessage::Reminders>().empty(); }));
    auto reminders = received<BridgeMessage::Reminders>().back().list;
    ASSERT_EQ(reminders.size(), 1u);
    EXPECT_EQ(reminders[0], (NativeReminder{"r1", "42", "Позвонить", 4102444800000.0}));
    EXPECT_FALSE(received<BridgeMessage::Inbox>().empty());
    EXPECT_NE(web->userAgent().find(" Version/26.0 Safari/605.1.15 OrvelaMac/"), std::string::npos) << web->userAgent();
}

TEST_F(WebHost, MessagesFromForeignFramesAreIgnored) {
    ASSERT_TRUE(waitReady());
    messages.clear();
    // An application page with a frame from the other loopback name, which posts.
    loadAndWait(harness.origin() + "/frames");
    runFor(1);
    EXPECT_TRUE(messages.empty());
    // A main-frame page that is not the application's.
    loadAndWait("data:text/html,<script>window.webkit.messageHandlers.orvela.postMessage({type:'ready'})</script>");
    runFor(1);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(web->bridgeReady());
}

TEST_F(WebHost, CaptureAnswersWhatThePageAnswers) {
    ASSERT_TRUE(waitReady());
    std::vector<bool> answers;
    auto record = [&](bool saved) { answers.push_back(saved); };

    web->capture("  купить хлеб\nи молоко", record);
    ASSERT_TRUE(runUntil([&] { return answers.size() == 1; }));
    EXPECT_TRUE(answers[0]);
    EXPECT_EQ(harness.siteState()["inbox"].back()["text"], "  купить хлеб\nи молоко");

    harness.control("captures=fail");
    web->capture("не дойдёт", record);
    ASSERT_TRUE(runUntil([&] { return answers.size() == 2; }));
    EXPECT_FALSE(answers[1]);

    runScript("window.orvelaNative.capture = () => { throw new Error('сломалось'); }");
    web->capture("и это", record);
    ASSERT_TRUE(runUntil([&] { return answers.size() == 3; }));
    EXPECT_FALSE(answers[2]);
}

TEST_F(WebHost, CaptureWhileNotReadyAnswersFalseAtOnce) {
    std::optional<bool> answer;
    web->capture("рано", [&](bool saved) { answer = saved; });
    EXPECT_EQ(answer, false);
}

TEST_F(WebHost, NavigateLoadsTheAddressWhileNotReadyAndAsksThePageOnceReady) {
    web->navigate("/someday");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(uri(), harness.origin() + "/someday");

    web->navigate("/review");
    ASSERT_TRUE(runUntil([&] { return uri() == harness.origin() + "/review"; }));
    // The page moved by itself: no new load, so readiness never dropped.
    runFor(0.5);
    EXPECT_EQ(readiness, std::vector<bool>{true});
}

pid_t webProcess() {
    // The web process is a child of this test process.
    DIR* proc = ::opendir("/proc");
    pid_t found = 0;
    while (dirent* entry = ::readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, name, state, parent;
        if (!(stat >> pid >> name >> state >> parent)) continue;
        if (std::stoi(parent) == ::getpid() && name.find("WebKitWebProces") != std::string::npos) found = std::stoi(pid);
    }
    ::closedir(proc);
    return found;
}

TEST_F(WebHost, AKilledWebProcessClearsReadinessAndReloads) {
    ASSERT_TRUE(waitReady());
    pid_t process = webProcess();
    ASSERT_GT(process, 0);
    ::kill(process, SIGKILL);
    ASSERT_TRUE(runUntil([&] { return readiness.size() >= 2; }));
    EXPECT_FALSE(readiness[1]);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(readiness, (std::vector<bool>{true, false, true}));
}

TEST_F(WebHost, TheOfflineScreenCoversAnUnreachableSiteAndRetriesByItself) {
    ASSERT_TRUE(waitReady());
    harness.stopSite();
    web->reload();
    ASSERT_TRUE(runUntil([&] { return web->offlineScreenVisible(); }));
    EXPECT_TRUE(web->offline().isOffline.get());

    harness.startSite();
    // The next retry comes 15 seconds after the failure.
    ASSERT_TRUE(runUntil([&] { return !web->offlineScreenVisible(); }, OfflineModel::retryInterval + 10));
    EXPECT_TRUE(waitReady());
}

TEST_F(WebHost, TheRetryButtonReloadsAtOnce) {
    ASSERT_TRUE(waitReady());
    harness.stopSite();
    web->reload();
    ASSERT_TRUE(runUntil([&] { return web->offlineScreenVisible(); }));
    harness.startSite();
    web->offline().retry();
    EXPECT_TRUE(runUntil([&] { return !web->offlineScreenVisible(); }, 5));
}

TEST_F(WebHost, DownloadsTakeFreeNamesInTheDownloadsFolder) {
    ASSERT_TRUE(waitReady());
    std::filesystem::remove_all(harness.downloads());
    for (int i = 0; i < 3; ++i) {
        runScript("document.getElementById('report').click()");
        auto expected = harness.downloads() / (i == 0 ? "report.pdf" : "report " + std::to_string(i + 1) + ".pdf");
        ASSERT_TRUE(runUntil([&] { return std::filesystem::exists(expected) && std::filesystem::file_size(expected) > 0; }))
            << expected;
    }
    // The folder is shown by the file manager, here the test's own handler for folders.
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::find(opened.begin(), opened.end(), harness.downloads().string()) != opened.end();
    })) << ::testing::PrintToString(harness.openedInBrowser());
    // The page stays where it was.
    EXPECT_TRUE(web->bridgeReady());
}

TEST_F(WebHost, ForeignLinksGoToTheDefaultBrowser) {
    ASSERT_TRUE(waitReady());
    std::string foreign = "http://127.0.0.1:" + harness.origin().substr(harness.origin().rfind(':') + 1) + "/foreign";
    runScript("location.href = '" + foreign + "'");
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::find(opened.begin(), opened.end(), foreign) != opened.end();
    }));
    runScript("location.href = 'mailto:team@orvela.ru'");
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::find(opened.begin(), opened.end(), "mailto:team@orvela.ru") != opened.end();
    }));
    EXPECT_EQ(uri(), harness.origin() + "/");
    EXPECT_FALSE(web->offlineScreenVisible());
}

TEST_F(WebHost, ClosingTheWindowHidesIt) {
    ASSERT_TRUE(waitReady());
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(web->window()))));
    gtk_main_do_event(event);
    gdk_event_free(event);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(web->window())));
    web->bringForward();
    runFor(0.5);
    EXPECT_EQ(readiness, std::vector<bool>{true});
}

}  // namespace
}  // namespace orvela

int main(int argc, char** argv) {
    orvela::testing::Harness::prepareEnvironment();
    gtk_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
