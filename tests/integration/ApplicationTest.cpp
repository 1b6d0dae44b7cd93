// The orvela executable as a user meets it: started against the stand-in site,
// driven with the keyboard through the X server, reached again through links and
// second launches.
#include "tests/integration/FakeNotificationServer.h"
#include "tests/integration/AppDriver.h"

#include <algorithm>
#include <filesystem>
#include <csignal>
#include <fstream>
#include <set>
#include <sstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela {
namespace {

using namespace testing;

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

TEST_F(ApplicationTest, AQuietLaunchShowsTheWindowWithoutTakingTheKeyboard) {
    // Someone else's window has the keyboard.
    Background other({"xmessage", "-name", "someone-else", "elsewhere"});
    auto otherWindow = [] {
        auto found = runProgram({"xdotool", "search", "--onlyvisible", "--classname", "someone-else"}).out;
        return found.substr(0, found.find('\n'));
    };
    ASSERT_TRUE(runUntil([&] { return !otherWindow().empty(); }));
    xdotool({"windowactivate", "--sync", otherWindow()});
    auto active = [] { return runProgram({"xdotool", "getactivewindow"}).out; };
    auto before = active();

    size_t loads = traced("loaded").size();
    Application app({"-e2eCapture", ""});
    ASSERT_TRUE(waitForPage(loads));
    EXPECT_TRUE(mainWindowVisible());
    EXPECT_EQ(active(), before);
    // Taskbars and pagers leave it out.
    auto state = runProgram({"xprop", "-id", visibleWindows("Orvela").front(), "_NET_WM_STATE"}).out;
    EXPECT_NE(state.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << state;
}

TEST_F(ApplicationTest, ACaptureTypedInThePanelLandsInTheInbox) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    captureThroughPanel("buy milk");
    EXPECT_TRUE(runUntil([] { return inboxHas("buy milk"); }));
    EXPECT_TRUE(pendingCaptures().empty());
}

// Nothing in the application draws with the GPU, so no GPU driver is loaded into
// it; the browser it starts still gets the user's own environment.
TEST_F(ApplicationTest, NoGpuDriverIsLoadedAndTheBrowserGetsTheUsersEnvironment) {
    size_t loads = traced("loaded").size();
    Application app({}, {"WEBKIT_DISABLE_COMPOSITING_MODE=1"});
    ASSERT_TRUE(waitForPage(loads));
    std::ifstream maps("/proc/" + std::to_string(app.pid()) + "/maps");
    std::string mapped{std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(mapped.empty());
    for (const char* driver : {"_dri.so", "libGLX_mesa", "libEGL_mesa", "libLLVM"})
        EXPECT_EQ(mapped.find(driver), std::string::npos) << driver << " is loaded";

    auto before = Harness::shared().openedInBrowser().size();
    runProgram({"gdbus", "call", "--session", "--dest", "ru.orvela.Orvela", "--object-path", "/ru/orvela/Orvela",
                "--method", "org.gtk.Actions.Activate", "help", "[]", "{}"});
    ASSERT_TRUE(runUntil([&] { return Harness::shared().openedInBrowser().size() > before; }));
    auto environment = Harness::shared().openedWithEnvironment();
    for (const char* setting : {"GDK_GL=", "WEBKIT_DISABLE_DMABUF_RENDERER=", "WEBKIT_WEB_RENDER_DEVICE_FILE="})
        EXPECT_EQ(environment.find(setting), std::string::npos) << setting;
    EXPECT_NE(environment.find("WEBKIT_DISABLE_COMPOSITING_MODE=1"), std::string::npos)
        << "the user's own setting is kept:\n" << environment;
}

// The pages' sandbox carries the application's id, by which the desktop's portals
// know whose pages ask them for things; WebKit takes it from the application.
TEST_F(ApplicationTest, ThePagesSandboxCarriesTheApplicationsId) {
    if (std::system("bwrap --ro-bind / / --unshare-all --die-with-parent true 2>/dev/null") != 0)
        GTEST_SKIP() << "bubblewrap cannot make a sandbox on this machine";
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    pid_t page = descendantNamed(app.pid(), "WebKitWebProces");
    ASSERT_GT(page, 0);
    std::ifstream info("/proc/" + std::to_string(page) + "/root/.flatpak-info");
    std::string text{std::istreambuf_iterator<char>(info), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("\nname=ru.orvela.Orvela\n"), std::string::npos) << text;
}

// Without a session bus to be found GLib starts one for the application (X11's
// autolaunch). That bus outlives it and starts other programs: it must carry the
// user's environment, not the application's drawing settings.
TEST_F(ApplicationTest, ASessionBusStartedForItGetsTheUsersEnvironment) {
    auto daemons = [] {
        std::set<std::string> found;
        std::istringstream pids(runProgram({"pgrep", "-x", "dbus-daemon"}).out);
        for (std::string pid; pids >> pid;) found.insert(pid);
        return found;
    };
    auto before = daemons();
    auto runtime = Harness::shared().home() / "runtime-without-bus";
    std::filesystem::create_directories(runtime);
    size_t loads = traced("loaded").size();
    Application app({}, {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR=" + runtime.string()});
    ASSERT_TRUE(waitForPage(loads));
    std::vector<std::string> started;
    for (const auto& pid : daemons())
        if (!before.count(pid)) started.push_back(pid);
    app.end(SIGTERM);
    if (started.empty()) GTEST_SKIP() << "GLib could not start a session bus here (dbus-launch, machine id)";
    for (const auto& pid : started) {
        std::ifstream file("/proc/" + pid + "/environ");
        std::string environment{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        ::kill(std::stoi(pid), SIGTERM);
        for (const char* setting : {"GDK_GL=", "WEBKIT_DISABLE_COMPOSITING_MODE=", "WEBKIT_WEB_RENDER_DEVICE_FILE="})
            EXPECT_EQ(environment.find(setting), std::string::npos) << setting;
    }
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
    EXPECT_TRUE(runUntil([] { return attempts().size() >= 2; }));
    runFor(2.5);
    EXPECT_EQ(pendingCaptures(), (std::vector<std::string>{"second", "third"}));
    EXPECT_EQ(attempts(), (std::vector<std::pair<std::string, bool>>{{"first", true}, {"second", false}}));

    // The next ready report tries the head once more, and only the head.
    loads = traced("loaded").size();
    press("ctrl+r");
    ASSERT_TRUE(waitForPage(loads));
    EXPECT_TRUE(runUntil([] { return attempts().size() >= 3; }));
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

TEST_F(ApplicationTest, APageDialogLeavesTheCapturePanelItsKeysAndTheTextIsKept) {
    size_t loads = traced("loaded").size();
    Application app({"-captureAnswerDeadline", "2"});
    ASSERT_TRUE(waitForPage(loads));
    runProgram({(binaryFolder() / "orvela").string(), "orvela://delete"});
    ASSERT_TRUE(runUntil([] { return visibleWindows("Orvela").size() == 2; })) << "the page asked nothing";

    // The page's script waits for the answer; the panel takes the keys all the same.
    // (Latin letters: xdotool drops Cyrillic ones now and then.)
    const std::string text = "while the page asks";
    typeIntoPanel(text);
    EXPECT_TRUE(runUntil([] { return !panelVisible(); }, 6)) << "the panel never got its Return";
    EXPECT_TRUE(traced("confirm").empty()) << "the keys answered the page's question";
    EXPECT_EQ(pendingCaptures(), std::vector<std::string>{text});
    EXPECT_EQ(visibleWindows("Orvela").size(), 2u);
}

std::string windowState(const std::string& window) {
    return runProgram({"xprop", "-id", window, "_NET_WM_STATE"}).out;
}

TEST_F(ApplicationTest, FullScreenAndMinimiseActOnTheMainWindowFromTheSettingsToo) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    std::string main = visibleWindows("Orvela").front();
    std::string settings = openSettings();
    ASSERT_FALSE(settings.empty());
    press("F11");
    EXPECT_TRUE(runUntil([&] { return windowState(main).find("_NET_WM_STATE_FULLSCREEN") != std::string::npos; }));
    EXPECT_EQ(windowState(settings).find("_NET_WM_STATE_FULLSCREEN"), std::string::npos);
    xdotool({"windowactivate", "--sync", settings});
    runFor(0.3);
    press("F11");
    EXPECT_TRUE(runUntil([&] { return windowState(main).find("_NET_WM_STATE_FULLSCREEN") == std::string::npos; }));
    xdotool({"windowactivate", "--sync", settings});
    runFor(0.3);
    press("ctrl+m");
    EXPECT_TRUE(runUntil([&] { return windowState(main).find("_NET_WM_STATE_HIDDEN") != std::string::npos; }));
    EXPECT_EQ(windowState(settings).find("_NET_WM_STATE_HIDDEN"), std::string::npos);
}

// The labels of the menu bar as the application exports it on the bus.
std::string menuBar() {
    std::string groups = "[";
    for (int group = 0; group < 40; ++group) groups += (group ? "," : "") + std::to_string(group);
    groups += "]";
    return runProgram({"gdbus", "call", "--session", "--dest", "ru.orvela.Orvela", "--object-path",
                       "/ru/orvela/Orvela/menus/menubar", "--method", "org.gtk.Menus.Start", groups})
        .out;
}

TEST_F(ApplicationTest, TheWindowMenuListsOnlyShownWindows) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    const std::string settingsEntry = "<'Настройки'>";
    EXPECT_EQ(menuBar().find(settingsEntry), std::string::npos);
    focusMainWindow();
    press("ctrl+comma");
    ASSERT_TRUE(runUntil([] { return !visibleWindows("Настройки").empty(); }));
    EXPECT_TRUE(runUntil([&] { return menuBar().find(settingsEntry) != std::string::npos; })) << menuBar();
    xdotool({"windowactivate", "--sync", visibleWindows("Настройки").front()});
    press("ctrl+w");
    ASSERT_TRUE(runUntil([] { return visibleWindows("Настройки").empty(); }));
    EXPECT_TRUE(runUntil([&] { return menuBar().find(settingsEntry) == std::string::npos; })) << menuBar();
}

TEST_F(ApplicationTest, WhileRecordingTheCaptureKeyIsRecordedNotObeyed) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_FALSE(openSettings().empty());
    press("space");  // the keyboard starts on the recorder: recording
    runFor(0.3);
    press("ctrl+shift+space");
    runFor(1.5);
    EXPECT_FALSE(panelVisible()) << "the capture key opened the panel while a key was being recorded";
    // Recorded, recording is over: the key opens the panel again.
    press("ctrl+shift+space");
    EXPECT_TRUE(runUntil(panelVisible));
    press("Escape");
}

TEST_F(ApplicationTest, StartingItAgainBringsBackAMinimisedWindow) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    std::string main = visibleWindows("Orvela").front();
    xdotool({"windowminimize", "--sync", main});
    ASSERT_TRUE(runUntil([&] { return windowState(main).find("_NET_WM_STATE_HIDDEN") != std::string::npos; }));
    EXPECT_EQ(runProgram({(binaryFolder() / "orvela").string()}).status, 0);
    EXPECT_TRUE(runUntil([&] { return windowState(main).find("_NET_WM_STATE_HIDDEN") == std::string::npos; }));
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
    // Its start-up trace shows that it made no web context of its own: no second
    // network process writing the same cookies.
    auto second = runProgram({"sh", "-c", "exec \"$0\" 2>&1", program}, {"ORVELA_STARTUP_TRACE=1"});
    EXPECT_EQ(second.status, 0);
    EXPECT_NE(second.out.find("startup: main"), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find("context-made"), std::string::npos) << second.out;
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

// A capture link opened, or the capture key pressed, while another program has
// the keyboard (just used, so a window manager that prevents focus stealing
// sides with it) brings the panel with the keyboard in it.
TEST_F(ApplicationTest, ACaptureLinkGivesThePanelTheKeyboardOverAnotherProgram) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    // A window that takes the focus as most programs' windows do.
    Background other({"xmessage", "-xrm", "*input: true", "-name", "other-program", "-center", "another program"});
    ASSERT_TRUE(runUntil([] { return !visibleWindows("other-program").empty(); }));
    xdotool({"windowactivate", "--sync", visibleWindows("other-program").front()});
    press("a");
    runFor(0.3);

    runProgram({(binaryFolder() / "orvela").string(), "orvela://capture"},
               {"DESKTOP_STARTUP_ID=test-launch_TIME" + std::to_string(g_get_monotonic_time() / 1000)});
    ASSERT_TRUE(runUntil(panelVisible));
    runFor(0.3);
    xdotool({"type", "--delay", "15", "linked capture"});
    press("Return");
    EXPECT_TRUE(runUntil([] { return inboxHas("linked capture"); })) << "the panel never had the keyboard";

    // The same through the capture key, pressed while the other program is in front.
    ASSERT_TRUE(runUntil([] { return !panelVisible(); }));
    xdotool({"windowactivate", "--sync", visibleWindows("other-program").front()});
    press("a");
    runFor(0.3);
    captureThroughPanel("keyed capture");
    EXPECT_TRUE(runUntil([] { return inboxHas("keyed capture"); })) << "the panel never had the keyboard";
}

TEST_F(ApplicationTest, AClickedReminderOpensItsItemInThePage) {
    FakeNotificationServer server;
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    // While the window is in front a reminder is not shown; it goes out of sight
    // before the page has one, however slowly the machine runs.
    focusMainWindow();
    press("ctrl+w");
    ASSERT_TRUE(runUntil([] { return !mainWindowVisible(); }));
    double now = static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC;
    json reminders = json::array({{{"id", "r1"}, {"itemId", "i42"}, {"title", "Позвонить в банк"}, {"atMs", (now + 4) * 1000}}});
    Harness::shared().control("reminders=set", reminders.dump());

    ASSERT_TRUE(runUntil([&] { return server.notifications().size() == 1; }, 15));
    EXPECT_EQ(server.notifications()[0].summary, "Позвонить в банк");
    // The click's activation token goes with the window it brings back.
    std::string token = "reminder-click_TIME" + std::to_string(g_get_monotonic_time() / 1000);
    server.click(server.notifications()[0].id, token);
    EXPECT_TRUE(runUntil([] { return traced("openItem") == std::vector<json>{"i42"}; }));
    EXPECT_TRUE(mainWindowVisible());
    auto startupId = runProgram({"xprop", "-id", visibleWindows("Orvela").front(), "_NET_STARTUP_ID"}).out;
    EXPECT_NE(startupId.find(token), std::string::npos) << startupId;
    Harness::shared().control("reminders=set", "[]");
}

TEST_F(ApplicationTest, AskedForUpdatesItOffersANewerReleaseOrSaysThereIsNone) {
    Harness::shared().control("release=9.1");
    Application app({"-updateFeed", siteOrigin() + "/appcast.xml"});
    ASSERT_TRUE(runUntil(mainWindowVisible, 20));
    auto checkForUpdates = [] {
        runProgram({"gdbus", "call", "--session", "--dest", "ru.orvela.Orvela", "--object-path", "/ru/orvela/Orvela",
                    "--method", "org.gtk.Actions.Activate", "check-updates", "[]", "{}"});
    };
    auto dialogShown = [] { return !visibleWindows("Обновление Orvela").empty(); };
    checkForUpdates();
    ASSERT_TRUE(runUntil(dialogShown));
    xdotool({"windowactivate", "--sync", visibleWindows("Обновление Orvela").front()});
    press("Return");
    EXPECT_TRUE(runUntil([] {
        auto opened = Harness::shared().openedInBrowser();
        return std::find(opened.begin(), opened.end(), siteOrigin() + "/download/9.1") != opened.end();
    }));
    ASSERT_TRUE(runUntil([&] { return !dialogShown(); }));

    Harness::shared().control("release=1.0");
    checkForUpdates();
    ASSERT_TRUE(runUntil(dialogShown)) << "the user asked, so the answer is shown";
    press("Return");
    EXPECT_TRUE(runUntil([&] { return !dialogShown(); }));
    Harness::shared().control("release=");
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
