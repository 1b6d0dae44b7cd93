#include "platform/ColorScheme.h"

#include "platform/PortalRegistry.h"
#include "platform/SessionBus.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

namespace orvela::ColorScheme {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* settingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* appearance = "org.freedesktop.appearance";
constexpr const char* colorSchemeKey = "color-scheme";
constexpr guint32 prefersDark = 1;

// Read wraps the value in one variant more than SettingChanged does.
void apply(GVariant* value) {
    GVariant* inner = g_variant_ref(value);
    while (g_variant_is_of_type(inner, G_VARIANT_TYPE_VARIANT)) {
        GVariant* unwrapped = g_variant_get_variant(inner);
        g_variant_unref(inner);
        inner = unwrapped;
    }
    if (g_variant_is_of_type(inner, G_VARIANT_TYPE_UINT32)) {
        if (GtkSettings* settings = gtk_settings_get_default())
            g_object_set(settings, "gtk-application-prefer-dark-theme", g_variant_get_uint32(inner) == prefersDark, nullptr);
    }
    g_variant_unref(inner);
}

void readNow(GDBusConnection* bus) {
    g_dbus_connection_call(bus, portalName, portalPath, settingsInterface, "Read",
                           g_variant_new("(ss)", appearance, colorSchemeKey), G_VARIANT_TYPE("(v)"),
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                           [](GObject* source, GAsyncResult* result, gpointer) {
                               GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
                               if (!reply) return;
                               GVariant* value = g_variant_get_child_value(reply, 0);
                               apply(value);
                               g_variant_unref(value);
                               g_variant_unref(reply);
                           },
                           nullptr);
}

}  // namespace

void follow() {
    GDBusConnection* bus = sessionBus();
    if (!bus) return;
    g_dbus_connection_signal_subscribe(
        bus, portalName, settingsInterface, "SettingChanged", portalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* arguments, gpointer) {
            const char* space = nullptr;
            const char* key = nullptr;
            GVariant* value = nullptr;
            if (!g_variant_is_of_type(arguments, G_VARIANT_TYPE("(ssv)"))) return;
            g_variant_get(arguments, "(&s&sv)", &space, &key, &value);
            if (g_str_equal(space, appearance) && g_str_equal(key, colorSchemeKey)) apply(value);
            g_variant_unref(value);
        },
        nullptr, nullptr);
    // Never waits: a desktop without a portal must not hold up the start.
    PortalRegistry::whenRegistered(bus, [bus] { readNow(bus); });
}

}  // namespace orvela::ColorScheme
