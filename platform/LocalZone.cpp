#include "platform/LocalZone.h"

#include <filesystem>
#include <glib.h>

namespace orvela {

GTimeZone* currentLocalZone() {
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

}  // namespace orvela
