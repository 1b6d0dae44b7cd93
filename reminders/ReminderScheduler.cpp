#include "reminders/ReminderScheduler.h"

#include "platform/LocalZone.h"
#include "platform/MainQueue.h"
#include "reminders/ReminderPlan.h"

#include <glib.h>

namespace orvela {

std::shared_ptr<ReminderScheduler> ReminderScheduler::create(std::shared_ptr<NotificationCenter> center,
                                                             std::function<double()> now) {
    if (!now) now = [] { return static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC; };
    std::shared_ptr<ReminderScheduler> scheduler(new ReminderScheduler(center, std::move(now)));
    std::weak_ptr<ReminderScheduler> weak = scheduler;
    // Both answers are given on a later turn of the main loop.
    center->willPresent = [weak](const NotificationRequest&, std::function<void(bool)> present) {
        MainQueue::async([weak, present = std::move(present)] {
            auto strong = weak.lock();
            present(!(strong && strong->isWindowInFront && strong->isWindowInFront()));
        });
    };
    center->didReceive = [weak](const NotificationRequest& request, std::function<void()> completion) {
        auto found = request.userInfo.find(itemIdKey);
        std::optional<std::string> itemId;
        if (found != request.userInfo.end()) itemId = found->second;
        MainQueue::async([weak, itemId, completion = std::move(completion)] {
            auto strong = weak.lock();
            if (strong && itemId && strong->onOpen) strong->onOpen(*itemId);
            if (completion) completion();
        });
    };
    return scheduler;
}

void ReminderScheduler::update(const std::vector<NativeReminder>& list) {
    if (!list.empty() && !asked) {
        asked = true;
        center_->requestAuthorization([](bool) {});
    }
    std::weak_ptr<ReminderScheduler> weak = weak_from_this();
    center_->pendingRequests([weak, list](std::vector<NotificationRequest> pending) {
        auto scheduler = weak.lock();
        if (!scheduler) return;
        std::vector<std::string> identifiers;
        identifiers.reserve(pending.size());
        for (const auto& request : pending) identifiers.push_back(request.identifier);
        auto plan = ReminderPlan::make(list, identifiers, scheduler->now_());
        if (!plan.toRemove.empty()) scheduler->center_->removePendingRequests(plan.toRemove);
        GTimeZone* zone = currentLocalZone();
        for (const auto& reminder : plan.toAdd) {
            if (auto request = reminder.notificationRequest(zone)) scheduler->center_->add(*request);
        }
        g_time_zone_unref(zone);
    });
}

}  // namespace orvela
