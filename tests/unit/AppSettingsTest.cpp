#include "settings/AppSettings.h"
#include "tests/unit/TemporaryFolder.h"

#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>

namespace orvela {
namespace {

struct Settings : ::testing::Test {
    testing::TemporaryFolder folder;
    DefaultsStore store{folder / "defaults.json"};
    LoginItem loginItem{folder / "autostart/ru.orvela.Orvela.desktop", "/opt/Orvela App/orvela"};

    std::unique_ptr<AppSettings> make() { return std::make_unique<AppSettings>(store, loginItem); }
};

TEST_F(Settings, FreshUserGetsDefaultsAndNothingIsWritten) {
    auto settings = make();
    EXPECT_EQ(settings->captureShortcut.get(), Shortcut::defaultCapture);
    EXPECT_TRUE(settings->showMenuBarIcon.get());
    EXPECT_TRUE(settings->showDockBadge.get());
    EXPECT_FALSE(std::filesystem::exists(folder / "defaults.json"));
}

TEST_F(Settings, StoredValuesAreReadAndUnreadableOnesFallBack) {
    store.setBool(false, "showDockBadge");
    store.setObject(std::string("no"), "showMenuBarIcon");
    std::string json = R"({"keyCode":40,"modifiers":393216})";
    store.setObject(DefaultsData(json.begin(), json.end()), "captureShortcut");
    auto settings = make();
    EXPECT_FALSE(settings->showDockBadge.get());
    EXPECT_TRUE(settings->showMenuBarIcon.get());
    EXPECT_EQ(settings->captureShortcut.get(), (Shortcut{40, 0x60000}));

    for (DefaultsValue corrupt : {DefaultsValue(DefaultsData{'{', 'x'}), DefaultsValue(std::string(json))}) {
        store.setObject(corrupt, "captureShortcut");
        EXPECT_EQ(make()->captureShortcut.get(), Shortcut::defaultCapture);
    }
}

TEST_F(Settings, ListenersSeeTheNewValueBeforeItIsStored) {
    auto settings = make();
    std::vector<std::string> events;
    auto whole = settings->objectWillChange.subscribe([&] { events.push_back("will change"); });
    auto badge = settings->showDockBadge.subscribe([&](bool value) {
        events.push_back(std::string("new ") + (value ? "on" : "off") + ", property " +
                         (settings->showDockBadge.get() ? "on" : "off") + ", stored " +
                         (store.objectForKey("showDockBadge") ? "yes" : "no"));
    });
    settings->showDockBadge.set(false);
    EXPECT_EQ(events, (std::vector<std::string>{"new on, property on, stored no", "will change",
                                                "new off, property on, stored no"}));
    EXPECT_FALSE(settings->showDockBadge.get());
    EXPECT_EQ(store.objectForKey("showDockBadge"), DefaultsValue(false));
}

TEST_F(Settings, WritingAnUnchangedValueStillNotifiesAndStores) {
    auto settings = make();
    int notifications = 0;
    auto subscription = settings->showMenuBarIcon.subscribe([&](bool) { ++notifications; });
    settings->showMenuBarIcon.set(true);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(store.objectForKey("showMenuBarIcon"), DefaultsValue(true));

    settings->captureShortcut.set(Shortcut{40, 0x180000});
    auto data = store.dataForKey("captureShortcut");
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), R"({"keyCode":40,"modifiers":1572864})");
    EXPECT_EQ(make()->captureShortcut.get(), (Shortcut{40, 0x180000}));
}

TEST_F(Settings, LaunchAtLoginFollowsTheAutostartEntry) {
    auto settings = make();
    EXPECT_FALSE(settings->launchAtLogin());
    settings->setLaunchAtLogin(true);
    EXPECT_TRUE(settings->launchAtLogin());
    std::ifstream entry(loginItem.entry());
    std::string text((std::istreambuf_iterator<char>(entry)), {});
    // The login starts it in the background, and skips the entry once the program is gone.
    EXPECT_NE(text.find("\nExec=\"/opt/Orvela App/orvela\" --background\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTryExec=/opt/Orvela App/orvela\n"), std::string::npos) << text;

    std::ofstream(loginItem.entry()) << "[Desktop Entry]\nType=Application\nExec=orvela\nHidden=true\n";
    EXPECT_FALSE(settings->launchAtLogin());

    settings->setLaunchAtLogin(false);
    EXPECT_FALSE(std::filesystem::exists(loginItem.entry()));
    settings->setLaunchAtLogin(false);
    EXPECT_FALSE(settings->launchAtLogin());
}

TEST(LoginItem, TheInstalledCommandIsFoundOnThePathNotTheRunningExecutable) {
    testing::TemporaryFolder folder;
    std::string path = g_getenv("PATH") ? g_getenv("PATH") : "";
    std::filesystem::create_directories(folder / "bin");
    std::ofstream(folder / "bin/orvela") << "#!/bin/sh\n";
    std::filesystem::permissions(folder / "bin/orvela", std::filesystem::perms::owner_all);
    g_setenv("PATH", (folder / "bin").c_str(), TRUE);
    EXPECT_EQ(LoginItem::installedCommand(), (folder / "bin/orvela").string());
    g_setenv("PATH", path.c_str(), TRUE);

    // With no command at all the entry is refused, not written with a stale path.
    LoginItem none(folder / "autostart/ru.orvela.Orvela.desktop", "");
    EXPECT_TRUE(none.registerItem().has_value());
    EXPECT_FALSE(std::filesystem::exists(none.entry()));
}

TEST_F(Settings, AFailedLoginSwitchIsLoggedAndLeavesItOff) {
    // A file where the autostart folder should be makes the entry unwritable.
    std::ofstream(folder / "autostart") << "";
    auto settings = make();
    int willChange = 0;
    auto subscription = settings->objectWillChange.subscribe([&] { ++willChange; });
    ::testing::internal::CaptureStderr();
    settings->setLaunchAtLogin(true);
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(logged.rfind("Orvela: login item: ", 0), 0u) << logged;
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1);
    EXPECT_EQ(willChange, 1);
    EXPECT_FALSE(settings->launchAtLogin());
}

TEST_F(Settings, ASwitchTheDiskRefusedReturnsToItsStoredValueAndTheLogSaysWhy) {
    store.setBool(false, "showDockBadge");
    auto settings = make();
    std::vector<bool> heard;
    auto badge = settings->showDockBadge.subscribe([&](bool value) { heard.push_back(value); });
    std::filesystem::remove(folder / "defaults.json");
    std::filesystem::create_directories(folder / "defaults.json");

    ::testing::internal::CaptureStderr();
    settings->showDockBadge.set(true);
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(settings->showDockBadge.get());
    EXPECT_EQ(heard, (std::vector<bool>{false, true, false}));
    EXPECT_NE(logged.find("Orvela: settings: showDockBadge could not be stored ("), std::string::npos) << logged;
    EXPECT_NE(logged.find("defaults.json"), std::string::npos) << logged;

    // Once the disk takes writes again, the refused value does not come back with them.
    std::filesystem::remove(folder / "defaults.json");
    EXPECT_TRUE(store.setBool(false, "showMenuBarIcon"));
    EXPECT_EQ(DefaultsStore(folder / "defaults.json").objectForKey("showDockBadge"), std::nullopt);
}

}  // namespace
}  // namespace orvela
