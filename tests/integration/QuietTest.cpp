// What the running orvela leaves alone: the session bus while nothing changes,
// the screen at login while a tray shows its icon, and the user's way back to a
// hidden window.
#include "tests/integration/AppDriver.h"
#include "tests/integration/TrayHost.h"

namespace orvela {
namespace {

using namespace testing;

// Counts the signals of one interface on the session bus, from any sender.
class SignalCount {
public:
    explicit SignalCount(const char* interfaceName) : bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        subscription_ = g_dbus_connection_signal_subscribe(
            bus_, nullptr, interfaceName, nullptr, nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const char*, const char*, const char*, const char* name, GVariant*, gpointer self) {
                static_cast<SignalCount*>(self)->names.emplace_back(name);
            },
            this, nullptr);
    }
    ~SignalCount() {
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
        g_object_unref(bus_);
    }
    SignalCount(const SignalCount&) = delete;
    SignalCount& operator=(const SignalCount&) = delete;

    std::vector<std::string> names;

private:
    GDBusConnection* bus_;
    guint subscription_ = 0;
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += name + " ";
    return text;
}

// The ICCCM state of a window: "Normal", "Iconic", or "" once it is withdrawn.
std::string icccmState(const std::string& window) {
    auto out = runProgram({"xprop", "-id", window, "WM_STATE"}).out;
    for (const char* state : {"Normal", "Iconic"})
        if (out.find(std::string("window state: ") + state) != std::string::npos) return state;
    return "";
}

struct Quiet : ApplicationTest {};

TEST_F(Quiet, AnUnchangedCountIsNotToldAgainButAChangeIs) {
    Harness::shared().control("inbox=5");
    TrayHost host;
    SignalCount item("org.kde.StatusNotifierItem");
    SignalCount menu("com.canonical.dbusmenu");
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([&] { return host.label() == " 5"; }));
    ASSERT_TRUE(runUntil([&] { return !host.badges.empty() && host.badges.back() == std::pair<int64_t, bool>{5, true}; }));
    runFor(1);
    size_t badges = host.badges.size();
    size_t itemSignals = item.names.size();
    size_t menuSignals = menu.names.size();

    // The page reports the same count every two seconds.
    runFor(6.5);
    EXPECT_EQ(host.badges.size(), badges) << "the launcher entry was sent again with the same count";
    EXPECT_EQ(item.names.size(), itemSignals)
        << "the tray item signalled with nothing changed: "
        << joined({item.names.begin() + static_cast<long>(itemSignals), item.names.end()});
    EXPECT_EQ(menu.names.size(), menuSignals) << "the tray menu signalled with nothing changed";

    Harness::shared().control("inbox=6");
    EXPECT_TRUE(runUntil([&] { return host.badges.back() == std::pair<int64_t, bool>{6, true}; }));
    EXPECT_EQ(host.badges.size(), badges + 1);
    EXPECT_TRUE(runUntil([&] { return item.names.size() > itemSignals; })) << "a new count reaches the tray";
    Harness::shared().control("inbox=0");
}

TEST_F(Quiet, ALoginLaunchStaysInTheTrayWhenOneShowsIt) {
    TrayHost host;
    size_t loads = traced("loaded").size();
    Application app({"--background"});
    ASSERT_TRUE(waitForPage(loads));
    EXPECT_TRUE(runUntil([&] { return host.registrations() == 1 && host.itemPresent(); }));
    runFor(2);
    EXPECT_FALSE(mainWindowVisible()) << desktopState();

    // Its tray menu, or starting it again, brings the window.
    EXPECT_EQ(runProgram({(binaryFolder() / "orvela").string()}).status, 0);
    EXPECT_TRUE(runUntil(mainWindowVisible, 20));
}

TEST_F(Quiet, ALoginLaunchWithoutATrayShowsTheWindow) {
    Application app({"--background"});
    EXPECT_TRUE(runUntil(mainWindowVisible, 20)) << "the application would be running out of sight";
}

// An old-style tray (trayer here) that comes up just after the login's programs
// takes the icon, and the window stays out of sight.
TEST_F(Quiet, ALoginLaunchGoesIntoAnOldStyleTrayThatStartsAfterIt) {
    if (runProgram({"sh", "-c", "command -v trayer"}).status != 0) GTEST_SKIP() << "trayer is not installed";
    Harness::shared().control("inbox=4");
    Application app({"--background"});
    runFor(1);
    Background trayer({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "22"});
    EXPECT_TRUE(runUntil([] { return !visibleWindows("Orvela — 4 во «Входящих»").empty(); }, 15))
        << "no icon in the tray\n" << desktopState();
    runFor(5);
    EXPECT_FALSE(mainWindowVisible()) << desktopState();
}

TEST_F(Quiet, ALoginLaunchWithTheTrayIconSwitchedOffShowsTheWindow) {
    TrayHost host;
    auto defaults = Harness::shared().home() / ".config/orvela/defaults.json";
    std::filesystem::create_directories(defaults.parent_path());
    std::ofstream(defaults) << R"({"showMenuBarIcon": false})";
    Application app({"--background"});
    EXPECT_TRUE(runUntil(mainWindowVisible, 20));
}

TEST_F(Quiet, ALoginLaunchReachingARunningInstanceLeavesItAlone) {
    TrayHost host;
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    std::string main = visibleWindows("Orvela").front();
    xdotool({"windowminimize", "--sync", main});
    ASSERT_TRUE(runUntil([&] { return icccmState(main) == "Iconic"; }));
    EXPECT_EQ(runProgram({(binaryFolder() / "orvela").string(), "--background"}).status, 0);
    runFor(1.5);
    EXPECT_EQ(icccmState(main), "Iconic");
}

TEST_F(Quiet, HidingWithoutATrayMinimisesSoTheTaskbarStillHasIt) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    std::string main = visibleWindows("Orvela").front();
    focusMainWindow();
    press("ctrl+h");
    EXPECT_TRUE(runUntil([&] { return icccmState(main) == "Iconic"; })) << icccmState(main);
}

TEST_F(Quiet, HidingWithATrayWithdrawsTheWindows) {
    TrayHost host;
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([&] { return host.registrations() == 1; }));
    std::string main = visibleWindows("Orvela").front();
    focusMainWindow();
    press("ctrl+h");
    EXPECT_TRUE(runUntil([&] { return icccmState(main).empty(); })) << icccmState(main);
}

}  // namespace
}  // namespace orvela
