#include "platform/LocalZone.h"

#include <filesystem>
#include <glib.h>
#include <string>

namespace orvela {
namespace {

GTimeZone* readLocalZone() {
    if (const char* tz = g_getenv("TZ"); tz && *tz) {
        if (GTimeZone* zone = g_time_zone_new_identifier(tz)) return zone;
    }
    // /etc/localtime links into the zone database; its target names the zone.
    std::error_code code;
    auto target = std::filesystem::read_symlink("/etc/localtime", code);
    if (!code) {
        std::string path = target.string();
        auto at = path.find("zoneinfo/");
        if (at != std::string::npos) {
            if (GTimeZone* zone = g_time_zone_new_identifier(path.c_str() + at + 9)) return zone;
        }
    }
    return g_time_zone_new_local();
}

// Page messages ask for the zone several times a second; reading the zone file
// each time would cost a file opened and parsed per message.
struct Cache {
    GTimeZone* zone = nullptr;
    std::string tz;
};
Cache cache;

}  // namespace

GTimeZone* currentLocalZone() {
    const char* tz = g_getenv("TZ");
    std::string now = tz ? tz : "";
    if (cache.zone && now != cache.tz) forgetLocalZone();
    if (!cache.zone) {
        cache.zone = readLocalZone();
        cache.tz = now;
    }
    return g_time_zone_ref(cache.zone);
}

void forgetLocalZone() {
    if (cache.zone) g_time_zone_unref(cache.zone);
    cache.zone = nullptr;
}

}  // namespace orvela
