// The orvela executable as a user meets it: started against the stand-in site,
// driven with the keyboard through the X server, reached again through links and
// second launches.
#include "tests/integration/FakeNotificationServer.h"
#include "tests/integration/Harness.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela {
namespace {

using nlohmann::json;
using testing::FakeNotificationServer;
using testing::Harness;
using testing::runFor;
using testing::runUntil;

std::filesystem::path binaryFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

struct Output {
    int status = -1;
    std::string out;
};

Output runProgram(std::vector<std::string> arguments, std::vector<std::string> extraEnvironment = {}) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    char** environment = g_get_environ();
    for (const auto& entry : extraEnvironment) {
        auto equals = entry.find('=');
        environment = g_environ_setenv(environment, entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, TRUE);
    }
    char* out = nullptr;
    int status = -1;
    g_spawn_sync(nullptr, argv.data(), environment, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr, &status,
                 nullptr);
    g_strfreev(environment);
    Output result{g_spawn_check_wait_status(status, nullptr) ? 0 : (WIFEXITED(status) ? WEXITSTATUS(status) : -1),
                  out ? out : ""};
    g_free(out);
    return result;
}

void xdotool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdotool");
    runProgram(std::move(arguments));
}

void press(const std::string& keys) { xdotool({"key", "--clearmodifiers", keys}); }

// The visible windows with exactly this title.
std::vector<std::string> visibleWindows(const std::string& title) {
    auto found = runProgram({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}).out;
    std::vector<std::string> windows;
    std::istringstream lines(found);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) windows.push_back(line);
    return windows;
}

bool mainWindowVisible() { return !visibleWindows("Orvela").empty(); }
bool panelVisible() { return !visibleWindows("Запись").empty(); }

// The site's address, also while it is stopped.
std::string& siteOrigin() {
    static std::string origin;
    return origin;
}

// The orvela process, started with the given "-key value" pairs and the site as its origin.
class Application {
public:
    explicit Application(std::vector<std::string> pairs = {}, std::vector<std::string> environment = {}) {
        std::vector<std::string> arguments{(binaryFolder() / "orvela").string(), "-origin", siteOrigin()};
        arguments.insert(arguments.end(), pairs.begin(), pairs.end());
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        char** env = g_get_environ();
        for (const auto& entry : environment) {
            auto equals = entry.find('=');
            env = g_environ_setenv(env, entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, TRUE);
        }
        g_spawn_async(nullptr, argv.data(), env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid_, nullptr);
        g_strfreev(env);
    }
    ~Application() { end(SIGTERM); }

    void end(int signal) {
        if (!pid_) return;
        ::kill(pid_, signal);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
        // The next instance must find the application's name free on the bus.
        runFor(0.3);
    }
    bool running() const { return pid_ && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    GPid pid_ = 0;
};

json site() { return Harness::shared().siteState(); }

bool inboxHas(const std::string& text) {
    auto state = site();
    for (const auto& item : state["inbox"])
        if (item["text"] == text) return true;
    return false;
}

std::vector<std::string> inboxTexts() {
    std::vector<std::string> texts;
    auto state = site();
    for (const auto& item : state["inbox"]) texts.push_back(item["text"]);
    return texts;
}

// The texts the site was asked to file, in order, with whether it took them.
std::vector<std::pair<std::string, bool>> attempts() {
    std::vector<std::pair<std::string, bool>> found;
    auto state = site();
    for (const auto& attempt : state["attempts"]) found.emplace_back(attempt["text"], attempt["accepted"]);
    return found;
}

std::vector<json> traced(const std::string& call) {
    std::vector<json> values;
    auto state = site();
    for (const auto& entry : state["trace"])
        if (entry["call"] == call) values.push_back(entry["value"]);
    return values;
}

std::vector<std::string> pendingCaptures() {
    std::ifstream file(Harness::shared().home() / ".config/orvela/defaults.json");
    auto stored = json::parse(file, nullptr, false);
    if (!stored.is_object() || !stored.contains("pendingCaptures")) return {};
    return stored["pendingCaptures"].get<std::vector<std::string>>();
}

// The page has loaded and, a moment later, reported ready.
bool waitForPage(size_t loadsBefore) {
    bool loaded = runUntil([&] { return traced("loaded").size() > loadsBefore; }, 20);
    runFor(1);
    if (!loaded) ADD_FAILURE() << "the page did not load; the site saw " << site().dump();
    return loaded;
}

void focusMainWindow() {
    auto windows = visibleWindows("Orvela");
    if (!windows.empty()) xdotool({"windowactivate", "--sync", windows.front()});
}

// The user presses the capture key, types the text and presses Return.
void captureThroughPanel(const std::string& text) {
    ASSERT_TRUE(runUntil([] { return !panelVisible(); }));
    press("ctrl+shift+space");
    ASSERT_TRUE(runUntil(panelVisible)) << "the capture key opened no panel";
    runFor(0.2);
    xdotool({"type", "--delay", "15", text});
    press("Return");
    ASSERT_TRUE(runUntil([] { return !panelVisible(); })) << "the panel stayed after Return";
}

struct ApplicationTest : ::testing::Test {
    void SetUp() override {
        Harness::shared().startSite();
        siteOrigin() = Harness::shared().origin();
        Harness::shared().control("captures=ok&reject=");
        std::filesystem::remove(Harness::shared().home() / ".config/orvela/defaults.json");
    }
};

TEST_F(ApplicationTest, SmokeTestSaysOkAndEndsEvenWithASnapshotAsked) {
    auto program = (binaryFolder() / "orvela").string();
    auto smoke = runProgram({program, "-origin", siteOrigin(), "-smokeTest", "YES"});
    EXPECT_EQ(smoke.status, 0);
    EXPECT_EQ(smoke.out, "smoke: ok\n");
    auto both = runProgram({program, "-smokeTest", "YES", "-snapshot", "pictures"});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, "smoke: ok\n");
}

TEST_F(ApplicationTest, UnderTheTestRunnerNothingIsShownOrLoaded) {
    size_t loads = traced("loaded").size();
    Application app({"-smokeTest", "YES"}, {"XCTestConfigurationFilePath=/tmp/tests.xctestconfiguration"});
    runFor(3);
    EXPECT_TRUE(app.running()) << "the test host only runs its event loop";
    EXPECT_EQ(runProgram({"xdotool", "search", "--onlyvisible", "--class", "orvela"}).out, "");
    EXPECT_EQ(traced("loaded").size(), loads);
}

TEST_F(ApplicationTest, ACaptureTypedInThePanelLandsInTheInbox) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    captureThroughPanel("buy milk");
    EXPECT_TRUE(runUntil([] { return inboxHas("buy milk"); }));
    EXPECT_TRUE(pendingCaptures().empty());
}

TEST_F(ApplicationTest, CapturesWhileTheSiteIsDownAreQueuedAndDeliveredInOrderWhenItIsBack) {
    Harness::shared().stopSite();
    Application app;
    ASSERT_TRUE(runUntil(mainWindowVisible, 20));
    captureThroughPanel("offline one");
    captureThroughPanel("offline two");
    EXPECT_EQ(pendingCaptures(), (std::vector<std::string>{"offline one", "offline two"}));

    Harness::shared().startSite();
    size_t loads = traced("loaded").size();
    focusMainWindow();
    press("ctrl+r");
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([] { return pendingCaptures().empty(); }));
    auto inbox = inboxTexts();
    auto one = std::find(inbox.begin(), inbox.end(), "offline one");
    ASSERT_NE(one, inbox.end());
    ASSERT_NE(one + 1, inbox.end());
    EXPECT_EQ(*(one + 1), "offline two");
}

TEST_F(ApplicationTest, ARefusedQueuedTextHoldsBackTheRestUntilTheNextReady) {
    Harness::shared().stopSite();
    Application app;
    ASSERT_TRUE(runUntil(mainWindowVisible, 20));
    for (const char* text : {"first", "second", "third"}) captureThroughPanel(text);
    ASSERT_EQ(pendingCaptures(), (std::vector<std::string>{"first", "second", "third"}));

    Harness::shared().control("reject=second");
    size_t loads = traced("loaded").size();
    focusMainWindow();
    press("ctrl+r");
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([] { return pendingCaptures().size() == 2; }));
    runFor(2.5);
    EXPECT_EQ(pendingCaptures(), (std::vector<std::string>{"second", "third"}));
    EXPECT_EQ(attempts(), (std::vector<std::pair<std::string, bool>>{{"first", true}, {"second", false}}));

    // The next ready report tries the head once more, and only the head.
    loads = traced("loaded").size();
    press("ctrl+r");
    ASSERT_TRUE(waitForPage(loads));
    runFor(1.5);
    EXPECT_EQ(attempts().size(), 3u);
    EXPECT_EQ(pendingCaptures(), (std::vector<std::string>{"second", "third"}));

    Harness::shared().control("reject=");
    loads = traced("loaded").size();
    press("ctrl+r");
    ASSERT_TRUE(waitForPage(loads));
    EXPECT_TRUE(runUntil([] { return pendingCaptures().empty(); }));
    EXPECT_TRUE(runUntil([] { return inboxHas("third"); }));
}

TEST_F(ApplicationTest, WhatWasQueuedBeforeAKillIsDeliveredAfterTheRestart) {
    Harness::shared().stopSite();
    {
        Application app;
        ASSERT_TRUE(runUntil(mainWindowVisible, 20));
        captureThroughPanel("survives a kill");
        ASSERT_EQ(pendingCaptures(), std::vector<std::string>{"survives a kill"});
        app.end(SIGKILL);
    }
    Harness::shared().startSite();
    Application again;
    EXPECT_TRUE(runUntil([] { return inboxHas("survives a kill"); }, 20));
    EXPECT_TRUE(runUntil([] { return pendingCaptures().empty(); }));
}

TEST_F(ApplicationTest, LinksAndSecondLaunchesReachTheRunningInstance) {
    auto home = Harness::shared().home();
    auto program = (binaryFolder() / "orvela").string();
    {
        std::ofstream entry(home / ".local/share/applications/orvela-test.desktop");
        entry << "[Desktop Entry]\nType=Application\nName=Orvela\nExec=" << program
              << " %u\nMimeType=x-scheme-handler/orvela;\n";
        std::ofstream list(home / ".config/mimeapps.list", std::ios::app);
        list << "x-scheme-handler/orvela=orvela-test.desktop\n";
    }
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));

    runProgram({"gio", "open", "orvela://someday/ignored?path=1"});
    EXPECT_TRUE(runUntil([] {
        auto paths = traced("navigate");
        return !paths.empty() && paths.back() == "/someday";
    }));

    runProgram({"gio", "open", "orvela://capture"});
    EXPECT_TRUE(runUntil(panelVisible));
    press("Escape");
    ASSERT_TRUE(runUntil([] { return !panelVisible(); }));

    focusMainWindow();
    press("ctrl+w");
    ASSERT_TRUE(runUntil([] { return !mainWindowVisible(); }));
    auto second = runProgram({program});
    EXPECT_EQ(second.status, 0);
    EXPECT_TRUE(runUntil(mainWindowVisible)) << "a second launch brings the hidden window back";
    EXPECT_TRUE(app.running());

    // The application's actions are on the bus too, as for any GTK application.
    runProgram({"gdbus", "call", "--session", "--dest", "ru.orvela.Orvela", "--object-path", "/ru/orvela/Orvela",
                "--method", "org.gtk.Actions.Activate", "help", "[]", "{}"});
    EXPECT_TRUE(runUntil([] {
        auto opened = Harness::shared().openedInBrowser();
        return std::find(opened.begin(), opened.end(), "https://orvela.ru") != opened.end();
    }));
}

TEST_F(ApplicationTest, AClickedReminderOpensItsItemInThePage) {
    FakeNotificationServer server;
    double now = static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC;
    json reminders = json::array({{{"id", "r1"}, {"itemId", "i42"}, {"title", "Позвонить в банк"}, {"atMs", (now + 4) * 1000}}});
    Harness::shared().control("reminders=set", reminders.dump());
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    // While the window is in front a reminder is not shown; it goes out of sight.
    focusMainWindow();
    press("ctrl+w");
    ASSERT_TRUE(runUntil([] { return !mainWindowVisible(); }));

    ASSERT_TRUE(runUntil([&] { return server.notifications().size() == 1; }, 15));
    EXPECT_EQ(server.notifications()[0].summary, "Позвонить в банк");
    server.click(server.notifications()[0].id);
    EXPECT_TRUE(runUntil([] { return traced("openItem") == std::vector<json>{"i42"}; }));
    EXPECT_TRUE(mainWindowVisible());
    Harness::shared().control("reminders=set", "[]");
}

TEST_F(ApplicationTest, MenuShortcutsReachThePage) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    focusMainWindow();

    press("ctrl+2");
    EXPECT_TRUE(runUntil([] {
        auto paths = traced("navigate");
        return !paths.empty() && paths.back() == "/inbox";
    }));
    press("ctrl+7");
    EXPECT_TRUE(runUntil([] { return traced("navigate").back() == "/calendar"; }));
    press("ctrl+n");
    press("ctrl+k");
    press("ctrl+f");
    press("ctrl+shift+n");
    EXPECT_TRUE(runUntil([] { return traced("command").size() == 4; }));
    EXPECT_EQ(traced("command"), (std::vector<json>{"openQuickAdd", "openSearch", "openSearch", "openDiktor"}));
}

TEST_F(ApplicationTest, ZoomStepsStopAtTheirBoundsAndActualSizeRestores) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    focusMainWindow();
    double natural = traced("loaded").back()["width"];
    auto width = [] { return traced("width").empty() ? 0.0 : traced("width").back().get<double>(); };

    for (int i = 0; i < 6; ++i) press("ctrl+minus");
    EXPECT_TRUE(runUntil([&] { return std::abs(width() - natural / 0.6) <= 2; })) << width() << " of " << natural;
    press("ctrl+0");
    EXPECT_TRUE(runUntil([&] { return width() == natural; })) << width();
    for (int i = 0; i < 12; ++i) press("ctrl+equal");
    EXPECT_TRUE(runUntil([&] { return std::abs(width() - natural / 2.0) <= 2; })) << width() << " of " << natural;
}

}  // namespace
}  // namespace orvela

int main(int argc, char** argv) {
    orvela::testing::Harness::prepareEnvironment();
    ::setenv("NO_AT_BRIDGE", "1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
