#include "reminders/LocalNotificationCenter.h"
#include "reminders/ReminderScheduler.h"
#include "tests/integration/FakeNotificationServer.h"
#include "tests/integration/Harness.h"

#include <algorithm>
#include <csignal>
#include <optional>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace orvela {
namespace {

using testing::FakeNotificationServer;
using testing::runFor;
using testing::runUntil;

double now() { return static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC; }

struct Reminders : ::testing::Test {
    FakeNotificationServer server;
    std::shared_ptr<LocalNotificationCenter> center = LocalNotificationCenter::create(LocalNotificationCenter::Environment::desktop());
    std::shared_ptr<ReminderScheduler> scheduler = ReminderScheduler::create(center);
    std::vector<std::string> opened;

    void SetUp() override {
        scheduler->onOpen = [this](const std::string& item) { opened.push_back(item); };
    }
    void TearDown() override {
        center->removePendingRequests({"reminder:1", "reminder:2", "reminder:3", "calendar:1"});
    }
    std::vector<std::string> pending() {
        std::vector<std::string> identifiers;
        bool done = false;
        center->pendingRequests([&](std::vector<NotificationRequest> requests) {
            for (const auto& request : requests) identifiers.push_back(request.identifier);
            done = true;
        });
        runUntil([&] { return done; });
        return identifiers;
    }
};

TEST_F(Reminders, AReminderIsShownAtItsTimeAndAClickOpensItsItem) {
    scheduler->update({{"1", "42", "Позвонить в банк", (now() + 2) * 1000}});
    ASSERT_TRUE(runUntil([&] { return server.notifications().size() == 1; }, 8));
    auto shown = server.notifications()[0];
    EXPECT_EQ(shown.summary, "Позвонить в банк");
    EXPECT_EQ(shown.body, "Напоминание Orvela");
    EXPECT_EQ(shown.desktopEntry, "ru.orvela.Orvela");
    EXPECT_NE(std::find(shown.actions.begin(), shown.actions.end(), "default"), shown.actions.end());
    EXPECT_TRUE(pending().empty());

    server.click(shown.id);
    EXPECT_TRUE(runUntil([&] { return opened == std::vector<std::string>{"42"}; }));
}

TEST_F(Reminders, NothingIsShownWhileTheWindowIsInFront) {
    scheduler->isWindowInFront = [] { return true; };
    auto before = server.notifications().size();
    scheduler->update({{"2", "43", "Тихо", (now() + 1) * 1000}});
    runFor(3);
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(server.notifications().size(), before);
}

TEST_F(Reminders, AnEmptyListWithdrawsOnlyReminders) {
    NotificationRequest foreign{"calendar:1", "Чужое", "", false, {}, *CalendarTrigger::at(now() + 3600)};
    center->add(foreign);
    scheduler->update({{"3", "44", "Потом", (now() + 3600) * 1000}});
    ASSERT_TRUE(runUntil([&] { return pending().size() == 2; }));
    scheduler->update({});
    EXPECT_TRUE(runUntil([&] { return pending() == std::vector<std::string>{"calendar:1"}; }));
}

TEST_F(Reminders, AClickAfterARestartStillOpensItsItem) {
    scheduler->update({{"1", "77", "После перезапуска", (now() + 1) * 1000}});
    ASSERT_TRUE(runUntil([&] { return server.notifications().size() == 1; }, 8));
    auto shown = server.notifications()[0];
    auto stillPending = [&] {
        auto identifiers = pending();
        return std::find(identifiers.begin(), identifiers.end(), "reminder:1") != identifiers.end();
    };
    ASSERT_TRUE(runUntil([&] { return !stillPending(); }));

    // The application restarts while the notification is still on screen.
    center.reset();
    scheduler.reset();
    auto restarted = LocalNotificationCenter::create(LocalNotificationCenter::Environment::desktop());
    auto restartedScheduler = ReminderScheduler::create(restarted);
    restartedScheduler->onOpen = [this](const std::string& item) { opened.push_back(item); };
    runFor(0.5);
    server.click(shown.id);
    EXPECT_TRUE(runUntil([&] { return opened == std::vector<std::string>{"77"}; }));
    center = restarted;
    scheduler = restartedScheduler;
}

// The page sends its whole list again every few moments, as it does while it runs.
class PageResendingItsList {
public:
    PageResendingItsList(std::shared_ptr<ReminderScheduler> scheduler, std::vector<NativeReminder> list)
        : scheduler_(std::move(scheduler)), list_(std::move(list)) {
        scheduler_->update(list_);
        source_ = g_timeout_add(300, [](gpointer data) -> gboolean {
            auto* page = static_cast<PageResendingItsList*>(data);
            page->scheduler_->update(page->list_);
            return G_SOURCE_CONTINUE;
        }, this);
    }
    ~PageResendingItsList() { g_source_remove(source_); }

private:
    std::shared_ptr<ReminderScheduler> scheduler_;
    std::vector<NativeReminder> list_;
    guint source_ = 0;
};

bool isPending(LocalNotificationCenter& center, const std::string& identifier) {
    std::optional<bool> listed;
    center.pendingRequests([&](std::vector<NotificationRequest> requests) {
        listed = std::any_of(requests.begin(), requests.end(), [&](const auto& request) { return request.identifier == identifier; });
    });
    runUntil([&] { return listed.has_value(); }, 2);
    return listed.value_or(false);
}

TEST(RemindersWithoutAServer, AReminderDueWhileNoServerRunsIsShownOnceOneStartsWhileThePageKeepsSendingIt) {
    auto center = LocalNotificationCenter::create(LocalNotificationCenter::Environment::desktop());
    auto scheduler = ReminderScheduler::create(center);
    ::testing::internal::CaptureStderr();
    PageResendingItsList page(scheduler, {{"5", "46", "Дождётся", (now() + 1) * 1000}});
    runFor(3.5);
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(isPending(*center, "reminder:5")) << "a reminder no server took stays pending";

    FakeNotificationServer server;
    ASSERT_TRUE(runUntil([&] { return server.notifications().size() == 1; }, 8));
    EXPECT_EQ(server.notifications()[0].summary, "Дождётся");
    runFor(1.5);
    EXPECT_EQ(server.notifications().size(), 1u);
    EXPECT_FALSE(isPending(*center, "reminder:5"));
}

TEST(RemindersWithoutAServer, DeliveryFailsQuietlyWithOneLine) {
    auto center = LocalNotificationCenter::create(LocalNotificationCenter::Environment::desktop());
    auto scheduler = ReminderScheduler::create(center);
    ::testing::internal::CaptureStderr();
    scheduler->update({{"4", "45", "Некому показать", (now() + 1) * 1000}});
    runFor(2.5);
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    EXPECT_EQ(logged.rfind("Orvela: notifications: ", 0), 0u) << logged;
    center->removePendingRequests({"reminder:4"});
    runFor(0.2);
}

// dunst, a notification server people run, on the test's desktop and bus.
class Dunst {
public:
    Dunst() {
        gchar* program = g_find_program_in_path("dunst");
        if (!program) return;
        const char* argv[] = {program, nullptr};
        g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, testing::endWithTests,
                      GINT_TO_POINTER(getpid()), &pid_, nullptr);
        g_free(program);
    }
    ~Dunst() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool installed() const { return pid_ > 0; }

    static std::string control(const std::string& arguments) {
        gchar* out = nullptr;
        g_spawn_command_line_sync(("dunstctl " + arguments).c_str(), &out, nullptr, nullptr, nullptr);
        std::string text = out ? out : "";
        g_free(out);
        return text;
    }

private:
    GPid pid_ = 0;
};

TEST(RemindersWithoutAServer, DunstStartingLaterShowsTheReminderThatWaited) {
    auto center = LocalNotificationCenter::create(LocalNotificationCenter::Environment::desktop());
    auto scheduler = ReminderScheduler::create(center);
    ::testing::internal::CaptureStderr();
    PageResendingItsList page(scheduler, {{"6", "47", "Дождётся dunst", (now() + 1) * 1000}});
    runFor(3.5);
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(isPending(*center, "reminder:6"));

    Dunst dunst;
    if (!dunst.installed()) GTEST_SKIP() << "dunst is not installed";
    EXPECT_TRUE(runUntil([&] { return !isPending(*center, "reminder:6"); }, 10)) << "dunst never showed it";
    EXPECT_EQ(Dunst::control("count displayed"), "1\n");
    Dunst::control("close-all");
    EXPECT_TRUE(runUntil([&] { return Dunst::control("history").find("Дождётся dunst") != std::string::npos; }, 5))
        << Dunst::control("history");
}

}  // namespace
}  // namespace orvela

int main(int argc, char** argv) {
    orvela::testing::Harness::prepareEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
