#include "reminders/NativeReminder.h"

#include "platform/CanonicalText.h"

#include <cmath>
#include <glib.h>

namespace orvela {

std::optional<CalendarTrigger> CalendarTrigger::at(double secondsSinceEpoch, GTimeZone* zone) {
    if (!std::isfinite(secondsSinceEpoch)) return std::nullopt;
    double whole = std::floor(secondsSinceEpoch);
    // GDateTime covers the years 1 to 9999; anything further is no calendar date.
    if (std::fabs(whole) > 4e11) return std::nullopt;
    GTimeZone* local = zone ? g_time_zone_ref(zone) : g_time_zone_new_local();
    GDateTime* utc = g_date_time_new_from_unix_utc(static_cast<gint64>(whole));
    GDateTime* moment = utc ? g_date_time_to_timezone(utc, local) : nullptr;
    std::optional<CalendarTrigger> trigger;
    if (moment) {
        trigger = CalendarTrigger{g_date_time_get_year(moment), g_date_time_get_month(moment),
                                  g_date_time_get_day_of_month(moment), g_date_time_get_hour(moment),
                                  g_date_time_get_minute(moment), g_date_time_get_second(moment)};
        g_date_time_unref(moment);
    }
    if (utc) g_date_time_unref(utc);
    g_time_zone_unref(local);
    return trigger;
}

std::optional<NotificationRequest> NativeReminder::notificationRequest(GTimeZone* zone) const {
    auto trigger = CalendarTrigger::at(dueTime(), zone);
    if (!trigger) return std::nullopt;
    return NotificationRequest{requestIdentifier(), title, notificationBody, true, {{"itemId", itemId}}, *trigger};
}

std::string NativeReminder::toJson() const {
    nlohmann::ordered_json ordered = {{"id", id}, {"itemId", itemId}, {"title", title}, {"atMs", atMs}};
    return ordered.dump();
}

std::optional<NativeReminder> NativeReminder::fromJson(const nlohmann::json& value) {
    if (!value.is_object()) return std::nullopt;
    auto id = value.find("id");
    auto itemId = value.find("itemId");
    auto title = value.find("title");
    auto atMs = value.find("atMs");
    if (id == value.end() || itemId == value.end() || title == value.end() || atMs == value.end())
        return std::nullopt;
    if (!id->is_string() || !itemId->is_string() || !title->is_string() || !atMs->is_number())
        return std::nullopt;
    return NativeReminder{id->get<std::string>(), itemId->get<std::string>(), title->get<std::string>(),
                          atMs->get<double>()};
}

bool operator==(const NativeReminder& a, const NativeReminder& b) {
    return a.atMs == b.atMs && canonicallyEqual(a.id, b.id) && canonicallyEqual(a.itemId, b.itemId) &&
           canonicallyEqual(a.title, b.title);
}

}  // namespace orvela
