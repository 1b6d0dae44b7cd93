// The orvela executable under faults: killed at random moments, a full disk, a
// page that never answers, and launches for tests and pictures beside the
// user's data. Nothing typed may be lost.
#include "tests/integration/AppDriver.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace orvela {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::vector<std::string> storedList(const std::string& key) { return storedQueue(key == "pendingCapturesInFlight"); }

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The application has the text once it is on disk, filed, or handed to the page.
bool applicationHas(const std::string& text) {
    auto has = [&](const std::vector<std::string>& list) { return std::find(list.begin(), list.end(), text) != list.end(); };
    if (has(storedList("pendingCaptures")) || has(storedList("pendingCapturesInFlight")) || inboxHas(text)) return true;
    auto handed = traced("capture");
    return std::find(handed.begin(), handed.end(), json(text)) != handed.end();
}

bool waitForReady(size_t readyBefore, double seconds = 20) {
    return runUntil([&] { return traced("ready").size() > readyBefore; }, seconds);
}

struct Faults : ::testing::Test {
    void SetUp() override {
        Harness::shared().startSite();
        siteOrigin() = Harness::shared().origin();
        Harness::shared().control("captures=ok&reject=&captureDelay=0&captureHang=0");
        forgetDefaults();
    }
};

TEST_F(Faults, KilledAtRandomMomentsOfCaptureAndFlushNothingIsLost) {
    auto seed = static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
    std::mt19937 random(seed);
    const int trials = 50;
    const int delays[] = {0, 400, 1500};
    std::vector<std::string> taken;
    for (int trial = 0; trial < trials; ++trial) {
        int delay = delays[trial % 3];
        Harness::shared().control("captureDelay=" + std::to_string(delay));
        size_t ready = traced("ready").size();
        Application app;
        ASSERT_TRUE(waitForReady(ready)) << "trial " << trial;
        if (trial % 5 == 4) {
            // Killed while the queue left by earlier trials is being sent.
            runFor(std::uniform_real_distribution<double>(0, 1.5)(random));
            app.end(SIGKILL);
            continue;
        }
        std::string text = "kill-" + std::to_string(seed % 10000) + "-" + std::to_string(trial);
        typeIntoPanel(text);
        // Once the application has the text, no kill may lose it.
        ASSERT_TRUE(runUntil([&] { return applicationHas(text); }, 5)) << "the application never took " << text;
        taken.push_back(text);
        runFor(std::uniform_real_distribution<double>(0, (delay + 300) / 1000.0)(random));
        app.end(SIGKILL);
    }

    Harness::shared().control("captureDelay=0");
    {
        size_t ready = traced("ready").size();
        Application last;
        ASSERT_TRUE(waitForReady(ready));
        EXPECT_TRUE(runUntil([] { return storedList("pendingCaptures").empty() && storedList("pendingCapturesInFlight").empty(); }, 60));
    }
    std::map<std::string, int> filed;
    for (const auto& text : inboxTexts()) ++filed[text];
    int lost = 0, duplicated = 0;
    for (const auto& text : taken) {
        if (filed[text] == 0) ++lost;
        if (filed[text] > 1) ++duplicated;
    }
    std::printf("kill -9 trials: %d, captures taken: %zu, lost: %d, duplicated: %d (seed %u)\n", trials, taken.size(), lost,
                duplicated, seed);
    RecordProperty("lost", lost);
    RecordProperty("duplicated", duplicated);
    EXPECT_EQ(lost, 0) << "seed " << seed;
}

TEST_F(Faults, AFullSettingsFolderIsNeverCalledSavedAndTheTextIsStoredOnceThereIsRoom) {
    fs::path folder = defaultsFile().parent_path();
    fs::create_directories(folder);
    auto mounted = runProgram({"mount", "-t", "tmpfs", "-o", "size=64k,mode=0700", "tmpfs", folder.string()});
    if (mounted.status != 0) GTEST_SKIP() << "a tmpfs cannot be mounted here (this test needs root and mount rights)";
    struct Unmount {
        fs::path folder;
        ~Unmount() { runProgram({"umount", "-l", folder.string()}); }
    } unmount{folder};

    size_t ready = traced("ready").size();
    Application app;
    ASSERT_TRUE(waitForReady(ready));
    runFor(1);  // the window's frame is written once it rests
    {
        std::ofstream filler(folder / "filler", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }
    // Longer than a page of the disk: a short line could still fit into the room
    // left at the end of the queue's journal, and would rightly be stored.
    const std::string word = "disk full " + std::to_string(g_get_real_time() % 1000000) + " ";
    std::string text = word;
    ASSERT_TRUE(runUntil([] { return !panelVisible(); }));
    press("ctrl+shift+space");
    ASSERT_TRUE(runUntil(panelVisible)) << desktopState();
    runFor(0.2);
    xdotool({"type", "--delay", "15", word});
    for (int doubling = 0; doubling < 9; ++doubling) {
        press("ctrl+a");
        press("ctrl+c");
        press("ctrl+End");
        press("ctrl+v");
        text += text;
    }
    runFor(0.5);
    press("Return");
    runFor(2.5);
    EXPECT_TRUE(panelVisible()) << "the panel claimed a save it could not make";
    EXPECT_FALSE(inboxHas(text)) << "the page saw a text that was not on disk";

    fs::remove(folder / "filler");
    press("Return");
    EXPECT_TRUE(runUntil([] { return !panelVisible(); }));
    EXPECT_TRUE(runUntil([&] { return inboxHas(text); })) << "stored: " << contentsOf(defaultsFile());
    EXPECT_TRUE(storedList("pendingCapturesInFlight").empty());
}

TEST_F(Faults, APageThatNeverAnswersFreesThePanelAndTheQueueIsSentLater) {
    Harness::shared().control("captureHang=1");
    size_t ready = traced("ready").size();
    Application app({"-captureAnswerDeadline", "2"});
    ASSERT_TRUE(waitForReady(ready));
    const std::string text = "silence " + std::to_string(g_get_real_time() % 1000000);
    typeIntoPanel(text);
    EXPECT_TRUE(runUntil([] { return !panelVisible(); }, 6)) << "the panel stayed busy";
    EXPECT_EQ(storedList("pendingCaptures"), std::vector<std::string>{text});
    EXPECT_TRUE(storedList("pendingCapturesInFlight").empty());

    // The page answers again; the next ready report sends the queue.
    Harness::shared().control("captureHang=0");
    ready = traced("ready").size();
    focusMainWindow();
    press("ctrl+r");
    ASSERT_TRUE(waitForReady(ready));
    EXPECT_TRUE(runUntil([] { return storedList("pendingCaptures").empty(); }));
    EXPECT_TRUE(inboxHas(text));
}

// A bubblewrap that never answers the sandbox check (broken, or another program
// of that name first on the PATH) delays the first page; it neither keeps it
// away nor outlives the check.
TEST_F(Faults, ABubblewrapThatNeverAnswersDelaysThePageAndIsStopped) {
    fs::path folder = Harness::shared().home() / "hanging-bwrap";
    fs::create_directories(folder);
    std::ofstream(folder / "bwrap") << "#!/bin/sh\nexec sleep 60 </dev/null >/dev/null 2>&1\n";
    fs::permissions(folder / "bwrap", fs::perms::owner_all);
    size_t loads = traced("loaded").size();
    Application app({}, {"PATH=" + folder.string() + ":" + g_getenv("PATH")});
    ASSERT_TRUE(runUntil([&] { return descendantNamed(app.pid(), "sleep") > 0; }, 5)) << "the check did not start";
    EXPECT_TRUE(waitForPage(loads));
    EXPECT_EQ(descendantNamed(app.pid(), "sleep"), 0) << "the check was left running";
    EXPECT_TRUE(app.running());
}

// The wall-clock fields of a moment a few minutes ago, as the reminders file keeps them.
std::string localFieldsMinutesAgo(int minutes) {
    GDateTime* now = g_date_time_new_now_local();
    GDateTime* then = g_date_time_add_minutes(now, -minutes);
    json fields = {{"year", g_date_time_get_year(then)},     {"month", g_date_time_get_month(then)},
                   {"day", g_date_time_get_day_of_month(then)}, {"hour", g_date_time_get_hour(then)},
                   {"minute", g_date_time_get_minute(then)}, {"second", g_date_time_get_second(then)}};
    g_date_time_unref(then);
    g_date_time_unref(now);
    return fields.dump();
}

// Counts the launcher-badge signals on the session bus.
struct BadgeWatch {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    int signals = 0;
    guint subscription = g_dbus_connection_signal_subscribe(
        bus, nullptr, "com.canonical.Unity.LauncherEntry", "Update", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*, gpointer data) {
            ++static_cast<BadgeWatch*>(data)->signals;
        },
        this, nullptr);
    ~BadgeWatch() {
        g_dbus_connection_signal_unsubscribe(bus, subscription);
        g_object_unref(bus);
    }
};

TEST_F(Faults, LaunchesForTestsAndPicturesLeaveTheUsersDataAlone) {
    Harness::shared().control("inbox=3");
    fs::create_directories(defaultsFile().parent_path());
    std::ofstream(defaultsFile()) << R"({"pendingCaptures": ["не трогать"], "NSWindow Frame OrvelaMain": "10 20 900 700"})";
    fs::path reminders = Harness::shared().home() / ".local/state/orvela/notifications.json";
    fs::create_directories(reminders.parent_path());
    auto trigger = localFieldsMinutesAgo(5);
    std::ofstream(reminders) << R"({"pending":[{"identifier":"reminder:x","title":"Не показывать","body":"Напоминание Orvela","defaultSound":true,"userInfo":{"itemId":"1"},"trigger":)"
                             << trigger << "}]}\n";
    std::string defaultsBefore = contentsOf(defaultsFile());
    std::string remindersBefore = contentsOf(reminders);

    BadgeWatch badges;
    auto program = (binaryFolder() / "orvela").string();
    auto pictures = runProgram({program, "-origin", siteOrigin(), "-snapshot", "fault-pictures", "-snapshotPaths", "/inbox"});
    EXPECT_EQ(pictures.status, 0) << pictures.out;
    {
        Application host({}, {"XCTestConfigurationFilePath=/tmp/tests.xctestconfiguration"});
        runFor(2);
    }
    runFor(0.5);
    EXPECT_EQ(contentsOf(defaultsFile()), defaultsBefore);
    EXPECT_EQ(contentsOf(reminders), remindersBefore);
    EXPECT_EQ(badges.signals, 0);
    for (const auto& attempt : attempts()) EXPECT_NE(attempt.first, "не трогать");
    Harness::shared().control("inbox=0");
}

}  // namespace
}  // namespace orvela
