#include "platform/LocalZone.h"
#include "reminders/NativeReminder.h"
#include "reminders/ReminderPlan.h"

#include <cmath>
#include <glib.h>
#include <gtest/gtest.h>

namespace orvela {
namespace {

class Zone {
public:
    explicit Zone(const char* identifier) : zone_(g_time_zone_new_identifier(identifier)) {}
    ~Zone() {
        if (zone_) g_time_zone_unref(zone_);
    }
    GTimeZone* get() const { return zone_; }

private:
    GTimeZone* zone_;
};

TEST(NativeReminder, IdentifierDueTimeAndRequest) {
    NativeReminder reminder{"a:b", "42", "", 1700000000999.0};
    EXPECT_EQ(reminder.requestIdentifier(), "reminder:a:b");
    EXPECT_EQ((NativeReminder{"", "1", "", 0}).requestIdentifier(), "reminder:");
    EXPECT_DOUBLE_EQ(reminder.dueTime(), 1700000000.999);

    Zone utc("UTC");
    auto request = reminder.notificationRequest(utc.get());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->identifier, "reminder:a:b");
    EXPECT_EQ(request->title, "");
    EXPECT_EQ(request->body, "Напоминание Orvela");
    EXPECT_TRUE(request->defaultSound);
    EXPECT_EQ(request->userInfo, (std::map<std::string, std::string>{{"itemId", "42"}}));
    // 2023-11-14 22:13:20.999 UTC; the fraction is dropped.
    EXPECT_EQ(request->trigger, (CalendarTrigger{2023, 11, 14, 22, 13, 20}));
}

TEST(NativeReminder, TriggerFieldsAreLocalWallClock) {
    Zone moscow("Europe/Moscow");
    EXPECT_EQ(CalendarTrigger::at(1700000000, moscow.get()), (CalendarTrigger{2023, 11, 15, 1, 13, 20}));
    Zone newYork("America/New_York");
    // 2024-03-10 07:30 UTC is 03:30 EDT, just after the skipped hour.
    EXPECT_EQ(CalendarTrigger::at(1710055800, newYork.get()), (CalendarTrigger{2024, 3, 10, 3, 30, 0}));
    EXPECT_EQ(CalendarTrigger::at(-0.5, moscow.get()), (CalendarTrigger{1970, 1, 1, 2, 59, 59}));
    EXPECT_EQ(CalendarTrigger::at(NAN, moscow.get()), std::nullopt);
    EXPECT_EQ(CalendarTrigger::at(INFINITY, moscow.get()), std::nullopt);
    EXPECT_EQ(CalendarTrigger::at(1e300, moscow.get()), std::nullopt);
    EXPECT_EQ((NativeReminder{"1", "2", "", NAN}).notificationRequest(moscow.get()), std::nullopt);
}

TEST(NativeReminder, EqualityAndJsonForm) {
    NativeReminder a{"1", "2", "ё", 5};
    EXPECT_EQ(a, (NativeReminder{"1", "2", "е\u0308", 5}));
    EXPECT_NE(a, (NativeReminder{"1", "2", "x", 5}));
    EXPECT_NE(a, (NativeReminder{"1", "2", "ё", 6}));
    EXPECT_EQ((NativeReminder{"1", "2", "", 0.0}), (NativeReminder{"1", "2", "", -0.0}));
    EXPECT_NE((NativeReminder{"1", "2", "", NAN}), (NativeReminder{"1", "2", "", NAN}));

    EXPECT_EQ(a.toJson(), R"({"id":"1","itemId":"2","title":"ё","atMs":5.0})");
    EXPECT_EQ(NativeReminder::fromJson(nlohmann::json::parse(a.toJson())), a);
    EXPECT_EQ(NativeReminder::fromJson(nlohmann::json::parse(R"({"id":"1","itemId":"2","atMs":5})")), std::nullopt);
    EXPECT_EQ(NativeReminder::fromJson(nlohmann::json::parse(R"({"id":"1","itemId":"2","title":"","atMs":"5"})")),
              std::nullopt);
}

std::string R(const std::string& id) { return "reminder:" + id; }

const double now = 1'700'000'000;
NativeReminder dueIn(const std::string& id, double seconds, std::string title = "") {
    return {id, "item-" + id, std::move(title), (now + seconds) * 1000.0};
}

TEST(ReminderPlan, AddsFutureRemindersNotPendingAndWithdrawsTheRest) {
    auto plan = ReminderPlan::make({}, {R("1"), "calendar:7"}, now);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_EQ(plan.toRemove, std::vector<std::string>{R("1")});

    plan = ReminderPlan::make({dueIn("1", 60)}, {R("1")}, now);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_TRUE(plan.toRemove.empty());

    plan = ReminderPlan::make({dueIn("1", 60)}, {}, now);
    EXPECT_EQ(plan.toAdd, std::vector<NativeReminder>{dueIn("1", 60)});

    // Past reminders are not scheduled again, but one still listed and still
    // pending has not been shown yet and keeps its request.
    plan = ReminderPlan::make({dueIn("1", -60), dueIn("2", 0), dueIn("3", -60)}, {R("1"), R("2")}, now);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_TRUE(plan.toRemove.empty());

    NativeReminder undated{"3", "x", "", NAN};
    EXPECT_TRUE(ReminderPlan::make({undated}, {}, now).toAdd.empty());
}

TEST(ReminderPlan, WithdrawalsAreUniqueSortedAndOnlyOurOwn) {
    auto plan = ReminderPlan::make({}, {R("b"), R("a"), R("B"), R("a")}, now);
    EXPECT_EQ(plan.toRemove, (std::vector<std::string>{R("B"), R("a"), R("b")}));

    plan = ReminderPlan::make({}, {"Reminder:1", "reminder1", "xreminder:1"}, now);
    EXPECT_TRUE(plan.toRemove.empty());
}

TEST(ReminderPlan, MatchesByIdentifierOnlyAndKeepsDuplicatesInOrder) {
    auto plan = ReminderPlan::make({dueIn("7", 60, "first"), dueIn("7", 120, "second")}, {}, now);
    ASSERT_EQ(plan.toAdd.size(), 2u);
    EXPECT_EQ(plan.toAdd[0].title, "first");
    EXPECT_EQ(plan.toAdd[1].title, "second");

    plan = ReminderPlan::make({dueIn("5", 60, "changed")}, {R("5")}, now);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_TRUE(plan.toRemove.empty());

    // Canonically equivalent identifiers are the same reminder.
    plan = ReminderPlan::make({dueIn("ё", 60)}, {R("е\u0308")}, now);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_TRUE(plan.toRemove.empty());
}

TEST(ReminderPlan, CarryingOutAPlanLeavesNothingToDo) {
    std::vector<NativeReminder> wanted{dueIn("1", 60), dueIn("2", -5), dueIn("3", 3600)};
    std::vector<std::string> pending{R("2"), R("9"), "other"};
    auto plan = ReminderPlan::make(wanted, pending, now);
    std::erase_if(pending, [&](const std::string& id) {
        return std::find(plan.toRemove.begin(), plan.toRemove.end(), id) != plan.toRemove.end();
    });
    for (const auto& reminder : plan.toAdd) pending.push_back(reminder.requestIdentifier());
    auto again = ReminderPlan::make(wanted, pending, now);
    EXPECT_TRUE(again.toAdd.empty());
    EXPECT_TRUE(again.toRemove.empty());
}

}  // namespace
}  // namespace orvela

namespace orvela {
namespace {

// A kept zone never hides a change of TZ, nor outlives being forgotten.
TEST(LocalZone, IsKeptUntilTzChangesOrItIsForgotten) {
    const char* before = g_getenv("TZ");
    std::string saved = before ? before : "";
    g_setenv("TZ", "Europe/Moscow", TRUE);
    GTimeZone* first = currentLocalZone();
    EXPECT_STREQ(g_time_zone_get_identifier(first), "Europe/Moscow");
    g_setenv("TZ", "Asia/Tokyo", TRUE);
    GTimeZone* tokyo = currentLocalZone();
    EXPECT_STREQ(g_time_zone_get_identifier(tokyo), "Asia/Tokyo");
    forgetLocalZone();
    GTimeZone* reread = currentLocalZone();
    EXPECT_STREQ(g_time_zone_get_identifier(reread), "Asia/Tokyo");
    for (GTimeZone* zone : {first, tokyo, reread}) g_time_zone_unref(zone);
    if (saved.empty()) g_unsetenv("TZ");
    else g_setenv("TZ", saved.c_str(), TRUE);
    forgetLocalZone();
}

}  // namespace
}  // namespace orvela
