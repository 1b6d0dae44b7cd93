#include "reminders/LocalNotificationCenter.h"

#include "platform/MainQueue.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <limits>
#include <glib.h>

namespace orvela {
namespace {

// The body with a line that gives the time the reminder was for, on the wall
// clock the request was made for.
std::string lateBody(const NotificationRequest& request) {
    const CalendarTrigger& t = request.trigger;
    char due[64];
    std::snprintf(due, sizeof due, "%02d.%02d.%04d в %02d:%02d", t.day, t.month, t.year, t.hour, t.minute);
    std::string body = request.body;
    if (!body.empty()) body += "\n";
    return body + LocalNotificationCenter::lateNote + due;
}

}  // namespace

std::shared_ptr<LocalNotificationCenter> LocalNotificationCenter::create(Environment environment) {
    std::shared_ptr<LocalNotificationCenter> center(new LocalNotificationCenter(std::move(environment)));
    center->state_ = center->store_.load();
    center->reindex();
    std::weak_ptr<LocalNotificationCenter> weak = center;
    if (center->environment_.listen) {
        center->environment_.listen(
            [weak](const Shown& where) {
                if (auto self = weak.lock()) self->clicked(where);
            },
            [weak] {
                if (auto self = weak.lock()) self->fireDue();
            });
    }
    if (center->environment_.watchZone) {
        center->environment_.watchZone([weak] {
            if (auto self = weak.lock()) self->fireDue();
        });
    }
    // Requests that fell due while the application was away are shown once the
    // centre's delegate, installed right after this, can be asked.
    MainQueue::async<LocalNotificationCenter>(weak, [](LocalNotificationCenter& self) { self.fireDue(); });
    return center;
}

void LocalNotificationCenter::requestAuthorization(std::function<void(bool)> completion) {
    MainQueue::async([completion = std::move(completion)] {
        if (completion) completion(true);
    });
}

void LocalNotificationCenter::pendingRequests(std::function<void(std::vector<NotificationRequest>)> completion) {
    std::weak_ptr<LocalNotificationCenter> weak = weak_from_this();
    MainQueue::async([weak, completion = std::move(completion)] {
        auto center = weak.lock();
        completion(center ? center->state_.pending : std::vector<NotificationRequest>{});
    });
}

void LocalNotificationCenter::change(NotificationChange change) {
    change(state_);
    unsaved_.push_back(std::move(change));
}

void LocalNotificationCenter::removePendingRequests(const std::vector<std::string>& identifiers) {
    size_t before = state_.pending.size();
    change(NotificationStore::remove(identifiers));
    if (state_.pending.size() == before) {
        unsaved_.pop_back();
        return;
    }
    reindex();
    scheduleSave();
}

void LocalNotificationCenter::add(const NotificationRequest& request) {
    auto [position, inserted] = positions_.try_emplace(request.identifier, state_.pending.size());
    if (inserted) state_.pending.push_back(request);
    else state_.pending[position->second] = request;
    unsaved_.push_back(NotificationStore::upsert(request));
    scheduleSave();
}

void LocalNotificationCenter::reindex() {
    positions_.clear();
    for (size_t i = 0; i < state_.pending.size(); ++i) positions_.emplace(state_.pending[i].identifier, i);
}

// What other processes stored comes in with every save.
void LocalNotificationCenter::save() {
    auto stored = store_.save(unsaved_, state_);
    if (!stored) return;
    unsaved_.clear();
    state_ = std::move(*stored);
    reindex();
}

// A page's list may change thousands of requests at once; they are written and
// the timer set once, when the main loop is next idle.
void LocalNotificationCenter::scheduleSave() {
    if (saveScheduled_) return;
    saveScheduled_ = true;
    MainQueue::async<LocalNotificationCenter>(weak_from_this(), [](LocalNotificationCenter& center) {
        center.saveScheduled_ = false;
        center.save();
        center.arm();
    });
}

void LocalNotificationCenter::fireDue() {
    double now = environment_.now();
    GTimeZone* zone = environment_.zone();
    // Only the first look after a start judges lateness: what fell due a day or
    // more before it came while the application was away and is no longer worth
    // a notification. Later, a request is as late as a clock step or a missing
    // server made it, and is shown all the same.
    bool returning = !std::exchange(lookedSinceStart_, true);
    std::vector<std::pair<double, NotificationRequest>> due;
    std::vector<std::string> expired;
    for (const auto& request : state_.pending) {
        auto instant = request.trigger.firstInstant(zone);
        if (instant && *instant > now) continue;
        // Fields that are no date never come; they leave at once.
        if (!instant || (returning && now - *instant >= latestReplay)) expired.push_back(request.identifier);
        else if (!delivering_.contains(request.identifier)) due.emplace_back(*instant, request);
    }
    g_time_zone_unref(zone);
    if (!expired.empty()) {
        change(NotificationStore::remove(expired));
        reindex();
        save();
    }
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [instant, request] : due) deliver(request, now - instant >= lateAfter);
    arm();
}

void LocalNotificationCenter::arm() {
    if (!environment_.wakeAt) return;
    double now = environment_.now();
    double next = std::numeric_limits<double>::infinity();
    GTimeZone* zone = environment_.zone();
    for (const auto& request : state_.pending) {
        // Due ones wait for a server, not for the clock.
        auto instant = request.trigger.firstInstant(zone);
        if (instant && *instant > now) next = std::min(next, *instant);
    }
    g_time_zone_unref(zone);
    std::weak_ptr<LocalNotificationCenter> weak = weak_from_this();
    environment_.wakeAt(next, [weak] {
        if (auto center = weak.lock()) center->fireDue();
    });
}

void LocalNotificationCenter::deliver(const NotificationRequest& request, bool late) {
    delivering_.insert(request.identifier);
    std::weak_ptr<LocalNotificationCenter> weak = weak_from_this();
    auto present = [weak, request, late](bool presented) {
        auto center = weak.lock();
        if (!center) return;
        if (!presented || !center->environment_.show) return center->shown(request, std::nullopt);
        // The stored request stays as it was added; only the text shown says it is late.
        NotificationRequest content = request;
        if (late) content.body = lateBody(request);
        center->environment_.show(content, [weak, request](std::optional<Shown> where) {
            auto shownBy = weak.lock();
            if (!shownBy) return;
            // No server took it: it stays pending for the next server or wake.
            if (!where) {
                shownBy->delivering_.erase(request.identifier);
                return;
            }
            shownBy->shown(request, std::move(where));
        });
    };
    if (willPresent) willPresent(request, present);
    else present(true);
}

// The request has had its moment: shown, or kept silent while the user looked at
// the window. Only now does it leave the file.
void LocalNotificationCenter::shown(const NotificationRequest& request, std::optional<Shown> where) {
    delivering_.erase(request.identifier);
    change(NotificationStore::removeExactly(request));
    if (where) change(NotificationStore::addShown({where->server, where->id, environment_.now(), request}));
    reindex();
    save();
}

void LocalNotificationCenter::clicked(const Shown& where) {
    auto found = std::find_if(state_.shown.begin(), state_.shown.end(), [&](const ShownNotification& entry) {
        return entry.server == where.server && entry.id == where.id;
    });
    if (found == state_.shown.end()) return;
    NotificationRequest request = found->request;
    change(NotificationStore::removeShown(where.server, where.id));
    save();
    if (didReceive) didReceive(request, [] {});
}

}  // namespace orvela
