#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

typedef struct _GTimeZone GTimeZone;

namespace orvela {

// Wall-clock fields of a local moment, whole seconds.
struct CalendarTrigger {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const CalendarTrigger&, const CalendarTrigger&) = default;

    // The fields of the instant in the given zone (the user's local zone when none),
    // the fraction of the second dropped. Nothing for an instant that is not finite
    // or lies outside the calendar's years 1 to 9999.
    static std::optional<CalendarTrigger> at(double secondsSinceEpoch, GTimeZone* zone = nullptr);

    // The first instant at which the wall clock of the zone shows these fields or
    // later: inside an hour skipped by a change to summer time, the first instant
    // after the gap; inside an hour that repeats, its first pass. Nothing for
    // fields that are no date.
    std::optional<double> firstInstant(GTimeZone* zone) const;
};

// A request for one local notification, as the notification centre keeps it.
struct NotificationRequest {
    std::string identifier;
    std::string title;
    std::string body;
    bool defaultSound = false;
    std::map<std::string, std::string> userInfo;
    CalendarTrigger trigger;

    friend bool operator==(const NotificationRequest&, const NotificationRequest&) = default;
};

// One reminder the page wants scheduled.
struct NativeReminder {
    std::string id;
    std::string itemId;
    std::string title;
    double atMs = 0;

    static constexpr const char* requestPrefix = "reminder:";
    static constexpr const char* notificationBody = "Напоминание Orvela";

    double dueTime() const { return atMs / 1000.0; }
    std::string requestIdentifier() const { return requestPrefix + id; }
    // Nothing when the due time has no calendar fields (not finite, out of range).
    std::optional<NotificationRequest> notificationRequest(GTimeZone* zone = nullptr) const;

    // The JSON form: "id", "itemId", "title", "atMs", in this order.
    std::string toJson() const;
    static std::optional<NativeReminder> fromJson(const nlohmann::json& value);
};

// Texts compare as canonically equivalent Unicode; atMs as a number (NaN is equal
// to nothing, 0 equals -0).
bool operator==(const NativeReminder& a, const NativeReminder& b);

}  // namespace orvela
