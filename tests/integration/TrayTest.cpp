// The tray icon and the launcher badge of the running orvela, as a panel and a
// dock on the session bus see them.
#include "tests/integration/AppDriver.h"
#include "tests/integration/TrayHost.h"

namespace orvela {
namespace {

using namespace testing;

std::vector<std::string> labels(const std::vector<TrayHost::Row>& rows) {
    std::vector<std::string> found;
    for (const auto& row : rows) found.push_back(row.separator ? "—" : row.label);
    return found;
}

struct Tray : ApplicationTest {
    TrayHost host;
};

TEST_F(Tray, TheItemShowsTheInboxCountAndItsMenuGoesToTheInbox) {
    Harness::shared().control("inbox=0");
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([&] { return host.registrations() == 1; }));
    EXPECT_EQ(host.label(), "");
    EXPECT_EQ(labels(host.menu()),
              (std::vector<std::string>{"Записать во «Входящие»…", "    Ctrl+Shift+Пробел", "—", "Входящие", "Сегодня", "Действия",
                                        "—", "Открыть Orvela", "Настройки…", "—", "Завершить Orvela"}));
    EXPECT_FALSE(host.menu()[1].enabled) << "the shortcut line only informs";

    // The page reports the new count on its next poll.
    Harness::shared().control("inbox=7");
    EXPECT_TRUE(runUntil([&] { return host.label() == " 7"; }));
    auto rows = host.menu();
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[3].label, "Входящие — 7");
    // Trays that draw no label see the count in the icon and the title.
    EXPECT_TRUE(runUntil([&] { return host.text("IconName") == "ru.orvela.Orvela-tray-7"; })) << host.text("IconName");
    EXPECT_EQ(host.text("Title"), "Orvela — 7 во «Входящих»");
    EXPECT_EQ(host.toolTip(), "Orvela — 7 во «Входящих»");
    // By name for trays that search the item's theme folder, and as pictures at
    // every size for those that find no such name.
    for (int size : {16, 22, 24, 32, 48}) {
        std::string sized = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_TRUE(std::filesystem::exists(host.text("IconThemePath") + "/hicolor/" + sized +
                                            "/status/ru.orvela.Orvela-tray-7.png")) << sized;
    }
    auto pictures = host.pixmaps();
    ASSERT_EQ(pictures.size(), 5u);
    for (const auto& [size, bytes] : pictures) EXPECT_EQ(bytes.size(), static_cast<size_t>(size * size * 4));
    EXPECT_TRUE(runUntil([&] { return !host.badges.empty() && host.badges.back() == std::pair<int64_t, bool>{7, true}; }));

    press("ctrl+3");
    host.click(rows[3].id);
    EXPECT_TRUE(runUntil([] { return !traced("navigate").empty() && traced("navigate").back() == "/inbox"; }));

    Harness::shared().control("inbox=0");
    EXPECT_TRUE(runUntil([&] { return host.label().empty(); }));
    EXPECT_TRUE(runUntil([&] { return host.text("IconName") == "ru.orvela.Orvela-tray"; }));
    EXPECT_EQ(host.text("Title"), "Orvela");
    EXPECT_TRUE(runUntil([&] { return host.badges.back() == std::pair<int64_t, bool>{0, false}; }));
}

TEST_F(Tray, ATakenCaptureKeyIsLeftOutOfTheMenu) {
    // Another program holds the capture key before the application starts.
    Background holder({(binaryFolder() / "orvela-capture-preview").string()});
    runFor(1.5);
    {
        Application app;
        ASSERT_TRUE(runUntil([&] { return host.registrations() == 1 && host.menu().size() == 10; }));
        EXPECT_EQ(host.menu()[1].separator, true);
    }
}

TEST_F(Tray, ANewKeyRecordedInTheSettingsIsRegisteredAndTheWindowRebuilt) {
    // Another program holds the capture key before the application starts.
    Background holder({(binaryFolder() / "orvela-capture-preview").string()});
    runFor(1.5);
    Application app;
    ASSERT_TRUE(runUntil([&] { return host.registrations() == 1 && host.menu().size() == 10; }));
    ASSERT_TRUE(runUntil(mainWindowVisible, 20));
    std::string first = openSettings();
    ASSERT_FALSE(first.empty());
    // The recorder has the focus first; Space presses it.
    press("space");
    press("ctrl+shift+k");
    EXPECT_TRUE(runUntil([&] {
        auto windows = visibleWindows("Настройки");
        return !windows.empty() && windows.front() != first;
    })) << "the settings window is built again for the new key";
    EXPECT_TRUE(runUntil([&] {
        auto rows = host.menu();
        return rows.size() == 11 && rows[1].label == "    Ctrl+Shift+K";
    }));

    press("Escape");
    press("ctrl+shift+k");
    EXPECT_TRUE(runUntil(panelVisible)) << "the new key opens the panel";
}

TEST_F(Tray, TheMenuBarSwitchRemovesTheItemAndMakesANewOne) {
    Application app;
    ASSERT_TRUE(runUntil([&] { return host.registrations() == 1 && host.itemPresent(); }));
    ASSERT_TRUE(runUntil(mainWindowVisible, 20));
    ASSERT_FALSE(openSettings().empty());
    // The first Tab only shows where the focus is (on the recorder); the second
    // reaches the first switch.
    press("Tab");
    press("Tab");
    auto storedSwitch = [] { return storedDefaults().value("showMenuBarIcon", json()); };
    press("space");
    ASSERT_TRUE(runUntil([&] { return storedSwitch() == false; })) << storedDefaults().dump();
    EXPECT_TRUE(runUntil([&] { return !host.itemPresent(); }));
    int registered = host.registrations();
    press("space");
    ASSERT_TRUE(runUntil([&] { return storedSwitch() == true; })) << storedDefaults().dump() << "\n" << desktopState();
    EXPECT_TRUE(runUntil([&] { return host.registrations() > registered && host.itemPresent(); }))
        << host.registrations() << " registrations";
}

TEST_F(Tray, TheBadgeSwitchShowsTheCountAtOnce) {
    Harness::shared().control("inbox=3");
    auto defaults = Harness::shared().home() / ".config/orvela/defaults.json";
    std::filesystem::create_directories(defaults.parent_path());
    std::ofstream(defaults) << R"({"showDockBadge": false})";
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([&] { return host.label() == " 3"; }));
    EXPECT_EQ(host.badges.back(), (std::pair<int64_t, bool>{0, false}));
    ASSERT_FALSE(openSettings().empty());
    for (const char* key : {"Tab", "Tab", "Tab", "space"}) press(key);
    EXPECT_TRUE(runUntil([&] { return host.badges.back() == std::pair<int64_t, bool>{3, true}; }));
}

TEST_F(Tray, ADockStartedLaterGetsTheCountAndADockThatAsksIsAnswered) {
    Harness::shared().control("inbox=4");
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    ASSERT_TRUE(runUntil([&] { return !host.badges.empty() && host.badges.back() == std::pair<int64_t, bool>{4, true}; }));
    size_t sent = host.badges.size();

    // A dock comes onto the bus: it is told the count without waiting for a change.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    bool owned = false;
    guint dock = g_bus_own_name_on_connection(bus, "com.canonical.Unity", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer flag) { *static_cast<bool*>(flag) = true; }, nullptr, &owned, nullptr);
    ASSERT_TRUE(runUntil([&] { return owned; }));
    EXPECT_TRUE(runUntil([&] { return host.badges.size() > sent; }));
    EXPECT_EQ(host.badges.back(), (std::pair<int64_t, bool>{4, true}));

    GVariant* answer = g_dbus_connection_call_sync(bus, "ru.orvela.Orvela", "/ru/orvela/Orvela/LauncherEntry",
        "com.canonical.Unity.LauncherEntry", "Query", nullptr, G_VARIANT_TYPE("(sa{sv})"), G_DBUS_CALL_FLAGS_NONE, 5000,
        nullptr, nullptr);
    ASSERT_TRUE(answer);
    const char* uri = nullptr;
    GVariant* properties = nullptr;
    g_variant_get(answer, "(&s@a{sv})", &uri, &properties);
    EXPECT_STREQ(uri, "application://ru.orvela.Orvela.desktop");
    gint64 count = 0;
    gboolean visible = FALSE;
    EXPECT_TRUE(g_variant_lookup(properties, "count", "x", &count));
    EXPECT_TRUE(g_variant_lookup(properties, "count-visible", "b", &visible));
    EXPECT_EQ(count, 4);
    EXPECT_TRUE(visible);
    g_variant_unref(properties);
    g_variant_unref(answer);
    g_bus_unown_name(dock);
    g_object_unref(bus);
    Harness::shared().control("inbox=0");
}

TEST_F(Tray, SwitchedOffThereIsNoItemAndNoBadge) {
    Harness::shared().control("inbox=3");
    size_t loads = traced("loaded").size();
    auto defaults = Harness::shared().home() / ".config/orvela/defaults.json";
    std::filesystem::create_directories(defaults.parent_path());
    std::ofstream(defaults) << R"({"showMenuBarIcon": false, "showDockBadge": false})";
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    runFor(2.5);
    EXPECT_EQ(host.registrations(), 0);
    ASSERT_FALSE(host.badges.empty());
    EXPECT_EQ(host.badges.back(), (std::pair<int64_t, bool>{0, false}));
}

TEST_F(ApplicationTest, ATrayStartedLaterStillGetsTheItem) {
    Application app;
    ASSERT_TRUE(runUntil(mainWindowVisible, 20));
    TrayHost host;
    EXPECT_TRUE(runUntil([&] { return host.registrations() == 1 && host.menu().size() == 11; }));
}

}  // namespace
}  // namespace orvela
