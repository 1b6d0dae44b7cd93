#include "platform/LocalZone.h"
#include "reminders/LocalNotificationCenter.h"
#include "reminders/ReminderScheduler.h"
#include "tests/unit/TemporaryFolder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>

namespace orvela {
namespace {

void runPendingTasks() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

double instantIn(const char* zoneName, CalendarTrigger fields) {
    GTimeZone* zone = g_time_zone_new_identifier(zoneName);
    auto instant = fields.firstInstant(zone);
    g_time_zone_unref(zone);
    return instant.value_or(-1);
}

TEST(CalendarTrigger, FirstInstantOnTheLocalWallClock) {
    // 2024-06-01 12:00 in Berlin (summer time, UTC+2) is 10:00 UTC.
    EXPECT_EQ(instantIn("Europe/Berlin", {2024, 6, 1, 12, 0, 0}), 1717236000);
    // 02:30 on 2024-03-31 does not exist there: the clock jumps from 02:00 to
    // 03:00, at 01:00 UTC, which is when the wall clock first passes 02:30.
    EXPECT_EQ(instantIn("Europe/Berlin", {2024, 3, 31, 2, 30, 0}), 1711846800);
    // 02:30 on 2024-10-27 happens twice; the first pass is 00:30 UTC.
    EXPECT_EQ(instantIn("Europe/Berlin", {2024, 10, 27, 2, 30, 0}), 1729989000);
    EXPECT_EQ(instantIn("Europe/Moscow", {2023, 11, 15, 1, 13, 20}), 1700000000);
    EXPECT_EQ(instantIn("UTC", {2023, 2, 30, 0, 0, 0}), -1);
}

struct Centre : ::testing::Test {
    testing::TemporaryFolder folder;
    double clock = 1'700'000'000;  // 2023-11-14 22:13:20 UTC, 01:13:20 in Moscow
    std::vector<NotificationRequest> shown;
    bool serverUp = true;
    std::string server = "bus/:1.7";
    std::function<void(const LocalNotificationCenter::Shown&)> clickListener;
    std::function<void()> serverAppeared;
    std::function<void()> zoneChanged;
    const char* zoneName = "Europe/Moscow";
    double wakeInstant = 0;

    std::shared_ptr<LocalNotificationCenter> make() {
        LocalNotificationCenter::Environment environment;
        environment.stateFile = folder / "state/notifications.json";
        environment.now = [this] { return clock; };
        environment.zone = [this] { return zoneName ? g_time_zone_new_identifier(zoneName) : currentLocalZone(); };
        environment.watchZone = [this](std::function<void()> changed) { zoneChanged = std::move(changed); };
        environment.show = [this](const NotificationRequest& request,
                                  std::function<void(std::optional<LocalNotificationCenter::Shown>)> done) {
            if (!serverUp) return done(std::nullopt);
            shown.push_back(request);
            done(LocalNotificationCenter::Shown{server, static_cast<uint32_t>(shown.size())});
        };
        environment.listen = [this](auto clicked, auto appeared) {
            clickListener = std::move(clicked);
            serverAppeared = std::move(appeared);
        };
        environment.wakeAt = [this](double instant, std::function<void()>) { wakeInstant = instant; };
        auto center = LocalNotificationCenter::create(std::move(environment));
        runPendingTasks();
        return center;
    }

    // Due the given number of seconds after the clock, on Moscow's wall clock.
    NotificationRequest request(const std::string& id, double secondsFromNow) {
        GTimeZone* zone = g_time_zone_new_identifier("Europe/Moscow");
        auto built = NativeReminder{id, "item-" + id, "Напомнить " + id, (clock + secondsFromNow) * 1000}.notificationRequest(zone);
        g_time_zone_unref(zone);
        return *built;
    }

    // The user clicks the notification the server numbered so.
    void click(uint32_t id, const std::string& by) {
        clickListener({by, id});
        runPendingTasks();
    }

    std::vector<std::string> pendingIdentifiers(NotificationCenter& center) {
        std::vector<std::string> identifiers;
        center.pendingRequests([&](std::vector<NotificationRequest> pending) {
            for (const auto& entry : pending) identifiers.push_back(entry.identifier);
        });
        runPendingTasks();
        return identifiers;
    }
};

TEST_F(Centre, RequestsWaitForTheirTriggerAndFireOnce) {
    auto center = make();
    center->add(request("1", 120));
    runPendingTasks();
    EXPECT_EQ(wakeInstant, clock + 120);  // nothing wakes the centre sooner
    center->add(request("2", 30));
    runPendingTasks();
    EXPECT_EQ(wakeInstant, clock + 30);

    clock += 30;
    center->fireDue();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].identifier, "reminder:2");
    EXPECT_EQ(shown[0].body, "Напоминание Orvela");
    EXPECT_EQ(pendingIdentifiers(*center), std::vector<std::string>{"reminder:1"});
    center->fireDue();
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(Centre, AnAdditionWithTheSameIdentifierReplacesThePendingOne) {
    auto center = make();
    center->add(request("1", 120));
    auto replacement = request("1", 600);
    replacement.title = "Новое";
    center->add(replacement);
    clock += 120;
    center->fireDue();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(pendingIdentifiers(*center), std::vector<std::string>{"reminder:1"});
    center->removePendingRequests({"reminder:1", "other"});
    EXPECT_TRUE(pendingIdentifiers(*center).empty());
}

TEST_F(Centre, PendingRequestsSurviveARestartAndLateOnesAreShownOnceOrDropped) {
    {
        auto center = make();
        center->add(request("soon", 3600));
        center->add(request("late", 60));
        center->add(request("stale", -2 * 24 * 3600 + 120));
        runPendingTasks();
    }
    EXPECT_TRUE(shown.empty());
    clock += 2 * 3600;
    auto restarted = make();
    // Two and one hours late: shown, in the order they fell due; over a day late: dropped.
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].identifier, "reminder:late");
    EXPECT_EQ(shown[1].identifier, "reminder:soon");
    EXPECT_TRUE(pendingIdentifiers(*restarted).empty());
    shown.clear();
    auto again = make();
    EXPECT_TRUE(shown.empty());
}

TEST_F(Centre, TheDelegateDecidesWhetherToShowAndHearsTheClick) {
    auto center = make();
    std::vector<std::string> clicked;
    bool present = false;
    center->willPresent = [&](const NotificationRequest&, std::function<void(bool)> answer) { answer(present); };
    center->didReceive = [&](const NotificationRequest& request, std::function<void()> completion) {
        clicked.push_back(request.userInfo.at("itemId"));
        completion();
    };
    center->add(request("hidden", 10));
    clock += 10;
    center->fireDue();
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(pendingIdentifiers(*center).empty());

    present = true;
    center->add(request("seen", 10));
    clock += 10;
    center->fireDue();
    ASSERT_EQ(shown.size(), 1u);
    click(1, server);
    EXPECT_EQ(clicked, std::vector<std::string>{"item-seen"});
}

TEST_F(Centre, WithoutAServerADueReminderWaitsAndIsShownOnceWhenOneAppears) {
    serverUp = false;
    auto center = make();
    center->add(request("1", 10));
    runPendingTasks();
    clock += 10;
    center->fireDue();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(pendingIdentifiers(*center), std::vector<std::string>{"reminder:1"});
    EXPECT_TRUE(std::isinf(wakeInstant)) << "no busy wake for a reminder that waits for a server";

    // Still there after a restart, then a server comes.
    center.reset();
    auto restarted = make();
    serverUp = true;
    serverAppeared();
    serverAppeared();
    restarted->fireDue();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(pendingIdentifiers(*restarted).empty());
}

// The page and the centre together, on the user's own zone, as the application runs them.
struct PageAndCentre : Centre {
    std::shared_ptr<LocalNotificationCenter> center;
    std::shared_ptr<ReminderScheduler> scheduler;
    std::vector<NativeReminder> list;

    void SetUp() override {
        zoneName = nullptr;
        center = make();
        scheduler = ReminderScheduler::create(center, [this] { return clock; });
    }
    void send() {
        scheduler->update(list);
        runPendingTasks();
    }
    // The scheduler answers whether to show on a later turn of the main loop.
    void wake(const std::function<void()>& by) {
        by();
        runPendingTasks();
    }
    NativeReminder dueIn(const std::string& id, double seconds) {
        return {id, "item-" + id, "Напомнить " + id, (clock + seconds) * 1000};
    }
};

TEST_F(PageAndCentre, ADueReminderWaitsForAServerWhileThePageKeepsSendingItsList) {
    serverUp = false;  // a login before the desktop's notification server is up
    list = {dueIn("1", 10), dueIn("2", 3600)};
    send();
    clock += 10;
    wake([&] { center->fireDue(); });
    for (int i = 0; i < 5; ++i) {
        clock += 30;
        send();
    }
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(pendingIdentifiers(*center), (std::vector<std::string>{"reminder:1", "reminder:2"}));

    serverUp = true;
    wake(serverAppeared);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].identifier, "reminder:1");
    EXPECT_NE(shown[0].body.find(LocalNotificationCenter::lateNote), std::string::npos) << shown[0].body;
    send();
    wake([&] { center->fireDue(); });
    EXPECT_EQ(shown.size(), 1u) << "shown once, not added again";
    EXPECT_EQ(pendingIdentifiers(*center), std::vector<std::string>{"reminder:2"});

    // Only the page removing it takes a waiting reminder away.
    serverUp = false;
    clock += 3600;
    wake([&] { center->fireDue(); });
    list = {};
    send();
    serverUp = true;
    wake(serverAppeared);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(PageAndCentre, AClockSetDaysAheadShowsRemindersLateAndSettingItRightBringsThemBack) {
    list = {dueIn("1", 3600), dueIn("2", 2 * 3600)};
    send();
    clock += 3 * 24 * 3600;  // a wrong date typed in
    wake([&] { center->fireDue(); });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].identifier, "reminder:1");
    EXPECT_EQ(shown[0].title, "Напомнить 1");
    EXPECT_EQ(shown[0].body.rfind("Напоминание Orvela\n", 0), 0u) << shown[0].body;
    EXPECT_NE(shown[0].body.find(LocalNotificationCenter::lateNote), std::string::npos) << shown[0].body;
    send();
    EXPECT_TRUE(pendingIdentifiers(*center).empty());

    // The clock put right: the page's list is in the future again and is scheduled anew.
    clock -= 3 * 24 * 3600;
    send();
    EXPECT_EQ(pendingIdentifiers(*center), (std::vector<std::string>{"reminder:1", "reminder:2"}));
    clock += 3600;
    wake([&] { center->fireDue(); });
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].body, "Напоминание Orvela");
}

TEST_F(Centre, AClickOpensItsItemAfterARestartButNotForAnotherServersNumber) {
    std::vector<std::string> clicked;
    auto listen = [&](NotificationCenter& center) {
        center.didReceive = [&](const NotificationRequest& request, std::function<void()>) {
            clicked.push_back(request.userInfo.at("itemId"));
        };
    };
    {
        auto center = make();
        center->add(request("1", 10));
        runPendingTasks();
        clock += 10;
        center->fireDue();
        ASSERT_EQ(shown.size(), 1u);
    }
    auto restarted = make();
    listen(*restarted);
    click(1, "bus/:1.99");  // the same number from a restarted server is someone else's
    click(2, server);
    EXPECT_TRUE(clicked.empty());
    click(1, server);
    EXPECT_EQ(clicked, std::vector<std::string>{"item-1"});
}

TEST_F(Centre, AChangeOfTimeZoneMovesTheTriggersAtOnce) {
    auto center = make();
    center->add(request("1", 3 * 3600));  // 04:13:20 on Moscow's wall clock
    runPendingTasks();
    EXPECT_EQ(wakeInstant, clock + 3 * 3600);
    // The user moves to Yekaterinburg, two hours ahead: that wall-clock time comes an hour from now.
    zoneName = "Asia/Yekaterinburg";
    zoneChanged();
    EXPECT_EQ(wakeInstant, clock + 3600);
    zoneName = "Asia/Tokyo";  // six hours ahead: it has passed
    zoneChanged();
    ASSERT_EQ(shown.size(), 1u);
}

TEST_F(Centre, TwoProcessesOnOneFileKeepEachOthersRequests) {
    auto first = make();
    auto second = make();
    first->add(request("first", 600));
    runPendingTasks();
    second->add(request("second", 600));
    runPendingTasks();
    first->removePendingRequests({"nothing"});
    auto third = make();
    auto identifiers = pendingIdentifiers(*third);
    std::sort(identifiers.begin(), identifiers.end());
    EXPECT_EQ(identifiers, (std::vector<std::string>{"reminder:first", "reminder:second"}));
}

TEST_F(Centre, AStateFileThatCannotBeReadIsKept) {
    std::filesystem::create_directories(folder / "state/notifications.json");
    std::ofstream(folder / "state/notifications.json/inside") << "keep me";
    auto center = make();
    center->add(request("1", 600));
    runPendingTasks();
    bool kept = false;
    for (auto& entry : std::filesystem::directory_iterator(folder / "state"))
        kept |= entry.is_directory() && std::filesystem::exists(entry.path() / "inside");
    EXPECT_TRUE(kept);
    EXPECT_EQ(pendingIdentifiers(*make()), std::vector<std::string>{"reminder:1"});
}

TEST_F(Centre, AnUnreadableStateFileIsMovedAside) {
    std::filesystem::create_directories(folder / "state");
    std::ofstream(folder / "state/notifications.json") << "{broken";
    auto center = make();
    EXPECT_TRUE(pendingIdentifiers(*center).empty());
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(folder / "state")) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
}

// Records what the scheduler asks of its centre.
class RecordingCenter : public NotificationCenter {
public:
    std::vector<std::string> calls;
    std::vector<NotificationRequest> pending;
    std::vector<NotificationRequest> added;

    void requestAuthorization(std::function<void(bool)>) override { calls.push_back("authorize"); }
    void pendingRequests(std::function<void(std::vector<NotificationRequest>)> completion) override {
        calls.push_back("pending");
        completion(pending);
    }
    void removePendingRequests(const std::vector<std::string>& identifiers) override {
        std::string call = "remove";
        for (const auto& identifier : identifiers) call += " " + identifier;
        calls.push_back(call);
    }
    void add(const NotificationRequest& request) override {
        calls.push_back("add " + request.identifier);
        added.push_back(request);
    }
};

struct Scheduler : ::testing::Test {
    double now = 1'700'000'000;
    std::shared_ptr<RecordingCenter> center = std::make_shared<RecordingCenter>();
    std::shared_ptr<ReminderScheduler> scheduler = ReminderScheduler::create(center, [this] { return now; });

    NativeReminder dueIn(const std::string& id, double seconds) { return {id, "42", "Позвонить", (now + seconds) * 1000}; }
    NotificationRequest pendingRequest(const std::string& identifier) {
        NotificationRequest request;
        request.identifier = identifier;
        return request;
    }
};

TEST_F(Scheduler, AsksForPermissionOnceForTheFirstNonEmptyList) {
    center->pending = {pendingRequest("reminder:old"), pendingRequest("calendar:1")};
    scheduler->update({});
    EXPECT_EQ(center->calls, (std::vector<std::string>{"pending", "remove reminder:old"}));
    EXPECT_FALSE(scheduler->asked);

    center->calls.clear();
    center->pending = {};
    scheduler->update({dueIn("1", 3600), dueIn("2", -3600)});
    EXPECT_TRUE(scheduler->asked);
    EXPECT_EQ(center->calls, (std::vector<std::string>{"authorize", "pending", "add reminder:1"}));
    center->calls.clear();
    scheduler->update({dueIn("3", 60)});
    EXPECT_EQ(center->calls, (std::vector<std::string>{"pending", "add reminder:3"}));
}

TEST_F(Scheduler, WithdrawsBeforeAddingAndBuildsTheRequest) {
    center->pending = {pendingRequest("reminder:gone"), pendingRequest("reminder:kept")};
    scheduler->update({dueIn("kept", 60), dueIn("new", 60)});
    EXPECT_EQ(center->calls, (std::vector<std::string>{"authorize", "pending", "remove reminder:gone", "add reminder:new"}));
    ASSERT_EQ(center->added.size(), 1u);
    const auto& request = center->added[0];
    EXPECT_EQ(request.title, "Позвонить");
    EXPECT_EQ(request.body, "Напоминание Orvela");
    EXPECT_TRUE(request.defaultSound);
    EXPECT_EQ(request.userInfo, (std::map<std::string, std::string>{{"itemId", "42"}}));
}

TEST_F(Scheduler, NotificationsStayQuietWhileTheWindowIsInFront) {
    std::vector<bool> answers;
    auto ask = [&] {
        center->willPresent(pendingRequest("reminder:1"), [&](bool present) { answers.push_back(present); });
        runPendingTasks();
    };
    ask();
    scheduler->isWindowInFront = [] { return true; };
    ask();
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
}

TEST_F(Scheduler, AClickOpensTheItemThenCompletes) {
    std::vector<std::string> events;
    auto request = pendingRequest("reminder:1");
    request.userInfo = {{"itemId", "42"}};
    center->didReceive(request, [&] { events.push_back("completed"); });
    runPendingTasks();
    EXPECT_EQ(events, std::vector<std::string>{"completed"});

    scheduler->onOpen = [&](const std::string& item) { events.push_back("open " + item); };
    center->didReceive(request, [&] { events.push_back("completed"); });
    EXPECT_EQ(events.size(), 1u);  // on a later turn of the main loop
    runPendingTasks();
    EXPECT_EQ(events, (std::vector<std::string>{"completed", "open 42", "completed"}));

    request.userInfo = {};
    center->didReceive(request, [&] { events.push_back("completed"); });
    runPendingTasks();
    EXPECT_EQ(events.back(), "completed");
    EXPECT_EQ(events.size(), 4u);
}

}  // namespace
}  // namespace orvela
