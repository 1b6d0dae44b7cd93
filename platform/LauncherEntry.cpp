#include "platform/LauncherEntry.h"

#include "platform/Log.h"

#include <gio/gio.h>
#include <string>

namespace orvela::LauncherEntry {

void update(int64_t count, bool visible) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        log(std::string("launcher badge: ") + error->message);
        g_error_free(error);
        return;
    }
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&properties, "{sv}", "count", g_variant_new_int64(count));
    g_variant_builder_add(&properties, "{sv}", "count-visible", g_variant_new_boolean(visible));
    if (!g_dbus_connection_emit_signal(bus, nullptr, "/ru/orvela/Orvela/LauncherEntry", "com.canonical.Unity.LauncherEntry",
                                       "Update",
                                       g_variant_new("(sa{sv})", "application://ru.orvela.Orvela.desktop", &properties),
                                       &error)) {
        log(std::string("launcher badge: ") + error->message);
        g_error_free(error);
    }
    g_object_unref(bus);
}

}  // namespace orvela::LauncherEntry
