#include "reminders/LocalNotificationCenter.h"

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

#include <algorithm>
#include <glib.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

namespace orvela {
namespace {

using nlohmann::json;

// Written by hand rather than through a document: the file is rewritten on every
// change and may hold thousands of requests.
void appendText(std::string& out, const std::string& text) { out += json(text).dump(); }

void appendRequest(std::string& out, const NotificationRequest& request) {
    const CalendarTrigger& t = request.trigger;
    out += "{\"identifier\":";
    appendText(out, request.identifier);
    out += ",\"title\":";
    appendText(out, request.title);
    out += ",\"body\":";
    appendText(out, request.body);
    out += request.defaultSound ? ",\"defaultSound\":true" : ",\"defaultSound\":false";
    out += ",\"userInfo\":{";
    bool first = true;
    for (const auto& [key, value] : request.userInfo) {
        if (!first) out += ",";
        first = false;
        appendText(out, key);
        out += ":";
        appendText(out, value);
    }
    out += "},\"trigger\":{\"year\":" + std::to_string(t.year) + ",\"month\":" + std::to_string(t.month) +
           ",\"day\":" + std::to_string(t.day) + ",\"hour\":" + std::to_string(t.hour) +
           ",\"minute\":" + std::to_string(t.minute) + ",\"second\":" + std::to_string(t.second) + "}}";
}

std::optional<NotificationRequest> decode(const json& entry) {
    try {
        NotificationRequest request;
        request.identifier = entry.at("identifier").get<std::string>();
        request.title = entry.at("title").get<std::string>();
        request.body = entry.at("body").get<std::string>();
        request.defaultSound = entry.at("defaultSound").get<bool>();
        request.userInfo = entry.at("userInfo").get<std::map<std::string, std::string>>();
        const json& t = entry.at("trigger");
        request.trigger = {t.at("year").get<int>(), t.at("month").get<int>(), t.at("day").get<int>(),
                           t.at("hour").get<int>(), t.at("minute").get<int>(), t.at("second").get<int>()};
        return request;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::shared_ptr<LocalNotificationCenter> LocalNotificationCenter::create(Environment environment) {
    std::shared_ptr<LocalNotificationCenter> center(new LocalNotificationCenter(std::move(environment)));
    center->load();
    // Requests that fell due while the application was away are shown once the
    // centre's delegate, installed right after this, can be asked.
    MainQueue::async<LocalNotificationCenter>(center, [](LocalNotificationCenter& self) { self.fireDue(); });
    return center;
}

void LocalNotificationCenter::load() {
    auto contents = readWholeFile(environment_.stateFile);
    if (contents.error) log("reminders: " + *contents.error);
    if (!contents.text) return;
    json state = json::parse(*contents.text, nullptr, false);
    if (!state.is_object() || !state["pending"].is_array()) {
        auto aside = moveAside(environment_.stateFile);
        log("reminders: " + environment_.stateFile.string() + " could not be read; moved to " +
            (aside ? aside->string() : std::string("nowhere")));
        return;
    }
    for (const auto& entry : state["pending"]) {
        if (auto request = decode(entry)) pending_.push_back(std::move(*request));
    }
    reindex();
}

void LocalNotificationCenter::save() const {
    std::string text = "{\"pending\":[";
    text.reserve(pending_.size() * 200);
    for (size_t i = 0; i < pending_.size(); ++i) {
        if (i > 0) text += ",\n";
        appendRequest(text, pending_[i]);
    }
    text += "]}\n";
    if (auto error = writeFileAtomically(environment_.stateFile, text)) log("reminders: " + *error);
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
        completion(center ? center->pending_ : std::vector<NotificationRequest>{});
    });
}

void LocalNotificationCenter::removePendingRequests(const std::vector<std::string>& identifiers) {
    std::unordered_set<std::string> withdrawn(identifiers.begin(), identifiers.end());
    size_t removed = std::erase_if(pending_, [&](const NotificationRequest& request) {
        return withdrawn.contains(request.identifier);
    });
    if (removed == 0) return;
    reindex();
    scheduleFlush();
}

void LocalNotificationCenter::add(const NotificationRequest& request) {
    auto [position, inserted] = positions_.try_emplace(request.identifier, pending_.size());
    if (inserted) pending_.push_back(request);
    else pending_[position->second] = request;
    scheduleFlush();
}

void LocalNotificationCenter::reindex() {
    positions_.clear();
    for (size_t i = 0; i < pending_.size(); ++i) positions_.emplace(pending_[i].identifier, i);
}

// A page's list may change thousands of requests at once; they are written and
// the timer set once, when the main loop is next idle.
void LocalNotificationCenter::scheduleFlush() {
    if (flushScheduled_) return;
    flushScheduled_ = true;
    MainQueue::async<LocalNotificationCenter>(weak_from_this(), [](LocalNotificationCenter& center) {
        center.flushScheduled_ = false;
        center.save();
        center.arm();
    });
}

void LocalNotificationCenter::fireDue() {
    double now = environment_.now();
    GTimeZone* zone = environment_.zone();
    std::vector<std::pair<double, NotificationRequest>> due;
    size_t removed = std::erase_if(pending_, [&](const NotificationRequest& request) {
        auto instant = request.trigger.firstInstant(zone);
        if (instant && *instant > now) return false;
        // Fields that are no date never come; they leave with the due ones.
        if (instant && now - *instant < latestReplay) due.emplace_back(*instant, request);
        return true;
    });
    g_time_zone_unref(zone);
    if (removed > 0) {
        reindex();
        save();
    }
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [instant, request] : due) deliver(request);
    arm();
}

void LocalNotificationCenter::arm() {
    if (!environment_.wakeAt) return;
    double now = environment_.now();
    double next = now + longestSleep;
    GTimeZone* zone = environment_.zone();
    for (const auto& request : pending_) {
        if (auto instant = request.trigger.firstInstant(zone)) next = std::min(next, *instant);
    }
    g_time_zone_unref(zone);
    std::weak_ptr<LocalNotificationCenter> weak = weak_from_this();
    environment_.wakeAt(next, [weak] {
        if (auto center = weak.lock()) center->fireDue();
    });
}

void LocalNotificationCenter::deliver(const NotificationRequest& request) {
    std::weak_ptr<LocalNotificationCenter> weak = weak_from_this();
    auto show = [weak, request](bool present) {
        auto center = weak.lock();
        if (!center || !present || !center->environment_.show) return;
        center->environment_.show(request, [weak, request] {
            auto clicked = weak.lock();
            if (clicked && clicked->didReceive) clicked->didReceive(request, [] {});
        });
    };
    if (willPresent) willPresent(request, show);
    else show(true);
}

}  // namespace orvela
