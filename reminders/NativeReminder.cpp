#include "reminders/NativeReminder.h"

#include "platform/CanonicalText.h"
#include "platform/LocalZone.h"

#include <cmath>
#include <glib.h>

namespace orvela {

std::optional<CalendarTrigger> CalendarTrigger::at(double secondsSinceEpoch, GTimeZone* zone) {
    if (!std::isfinite(secondsSinceEpoch)) return std::nullopt;
    double whole = std::floor(secondsSinceEpoch);
    // GDateTime covers the years 1 to 9999; anything further is no calendar date.
    if (std::fabs(whole) > 4e11) return std::nullopt;
    GTimeZone* local = zone ? g_time_zone_ref(zone) : currentLocalZone();
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

std::optional<double> CalendarTrigger::firstInstant(GTimeZone* zone) const {
    GDateTime* naive = g_date_time_new_utc(year, month, day, hour, minute, second);
    if (!naive) return std::nullopt;
    // The fields read as if they were universal time; the zone's offset moves them.
    gint64 wall = g_date_time_to_unix(naive);
    g_date_time_unref(naive);
    auto offsetAt = [zone](gint64 instant) -> gint64 {
        int interval = g_time_zone_find_interval(zone, G_TIME_TYPE_UNIVERSAL, instant);
        return interval < 0 ? 0 : g_time_zone_get_offset(zone, interval);
    };
    // A day either side lies outside any change of offset that matters here.
    gint64 before = offsetAt(wall - 86400);
    gint64 after = offsetAt(wall + 86400);
    std::optional<gint64> first;
    for (gint64 offset : {before, after}) {
        gint64 candidate = wall - offset;
        if (offsetAt(candidate) == offset && (!first || candidate < *first)) first = candidate;
    }
    if (first) return static_cast<double>(*first);
    // The fields fall into a gap: the clock jumps past them at the change of offset.
    gint64 low = wall - after;
    gint64 high = wall - before;
    while (low < high) {
        gint64 middle = low + (high - low) / 2;
        if (offsetAt(middle) == after) high = middle;
        else low = middle + 1;
    }
    return static_cast<double>(low);
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
