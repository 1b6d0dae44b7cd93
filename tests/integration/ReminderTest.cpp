#include "reminders/LocalNotificationCenter.h"
#include "reminders/ReminderScheduler.h"
#include "tests/integration/FakeNotificationServer.h"
#include "tests/integration/Harness.h"

#include <csignal>
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

TEST(RemindersWithoutAServer, AReminderDueWhileNoServerRunsIsShownOnceOneStarts) {
    auto center = LocalNotificationCenter::create(LocalNotificationCenter::Environment::desktop());
    auto scheduler = ReminderScheduler::create(center);
    ::testing::internal::CaptureStderr();
    scheduler->update({{"5", "46", "Дождётся", (now() + 1) * 1000}});
    runFor(2.5);
    ::testing::internal::GetCapturedStderr();
    bool listed = false;
    center->pendingRequests([&](std::vector<NotificationRequest> requests) {
        for (const auto& request : requests) listed |= request.identifier == "reminder:5";
    });
    EXPECT_TRUE(runUntil([&] { return listed; }, 2)) << "a reminder no server took stays pending";

    FakeNotificationServer server;
    ASSERT_TRUE(runUntil([&] { return server.notifications().size() == 1; }, 8));
    EXPECT_EQ(server.notifications()[0].summary, "Дождётся");
    runFor(1.5);
    EXPECT_EQ(server.notifications().size(), 1u);
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
}

}  // namespace
}  // namespace orvela

int main(int argc, char** argv) {
    orvela::testing::Harness::prepareEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
