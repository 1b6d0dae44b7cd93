#include "tests/integration/TrayHost.h"

#include "tests/integration/Harness.h"

namespace orvela::testing {
namespace {

constexpr const char* watcherXml = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>)";

std::string stringOf(GVariant* properties, const char* key) {
    const char* value = nullptr;
    return g_variant_lookup(properties, key, "&s", &value) ? value : "";
}

}  // namespace

TrayHost::TrayHost()
    : bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)), node_(g_dbus_node_info_new_for_xml(watcherXml, nullptr)) {
    static const GDBusInterfaceVTable table{&TrayHost::methodCall, &TrayHost::getProperty, nullptr, {}};
    object_ = g_dbus_connection_register_object(bus_, "/StatusNotifierWatcher", node_->interfaces[0], &table, this,
                                                nullptr, nullptr);
    name_ = g_bus_own_name_on_connection(
        bus_, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer self) { static_cast<TrayHost*>(self)->owned_ = true; }, nullptr,
        this, nullptr);
    badgeSignal_ = g_dbus_connection_signal_subscribe(
        bus_, nullptr, "com.canonical.Unity.LauncherEntry", "Update", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters, gpointer self) {
            const char* application = nullptr;
            GVariant* properties = nullptr;
            g_variant_get(parameters, "(&s@a{sv})", &application, &properties);
            gint64 count = -1;
            gboolean visible = FALSE;
            g_variant_lookup(properties, "count", "x", &count);
            g_variant_lookup(properties, "count-visible", "b", &visible);
            if (std::string(application) == "application://ru.orvela.Orvela.desktop")
                static_cast<TrayHost*>(self)->badges.emplace_back(count, visible);
            g_variant_unref(properties);
        },
        this, nullptr);
    runUntil([this] { return owned_; });
}

TrayHost::~TrayHost() {
    g_dbus_connection_signal_unsubscribe(bus_, badgeSignal_);
    g_bus_unown_name(name_);
    g_dbus_connection_unregister_object(bus_, object_);
    g_dbus_node_info_unref(node_);
    g_object_unref(bus_);
}

void TrayHost::methodCall(GDBusConnection*, const char* sender, const char*, const char*, const char* method,
                          GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    auto* host = static_cast<TrayHost*>(self);
    if (std::string(method) == "RegisterStatusNotifierItem") {
        const char* service = nullptr;
        g_variant_get(parameters, "(&s)", &service);
        // Items give either their object path, on the caller's connection, or a bus name.
        if (service[0] == '/')
            host->items_.push_back({sender, service});
        else
            host->items_.push_back({service, "/StatusNotifierItem"});
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* TrayHost::getProperty(GDBusConnection*, const char*, const char*, const char*, const char* name, GError**,
                                gpointer self) {
    std::string property = name;
    if (property == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
    if (property == "ProtocolVersion") return g_variant_new_int32(0);
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    for (const auto& item : static_cast<TrayHost*>(self)->items_)
        g_variant_builder_add(&items, "s", (item.bus + item.path).c_str());
    return g_variant_builder_end(&items);
}

GVariant* TrayHost::itemProperty(const char* name) {
    if (items_.empty()) return nullptr;
    const auto& item = items_.back();
    GVariant* reply = g_dbus_connection_call_sync(bus_, item.bus.c_str(), item.path.c_str(), "org.freedesktop.DBus.Properties",
                                                  "Get", g_variant_new("(ss)", "org.kde.StatusNotifierItem", name),
                                                  G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    if (!reply) return nullptr;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    g_variant_unref(reply);
    return value;
}

bool TrayHost::itemPresent() {
    GVariant* id = itemProperty("Id");
    if (id) g_variant_unref(id);
    return id != nullptr;
}

std::string TrayHost::label() { return text("XAyatanaLabel"); }

std::string TrayHost::text(const char* property) {
    GVariant* value = itemProperty(property);
    if (!value) return "<none>";
    std::string found = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ? g_variant_get_string(value, nullptr) : "";
    g_variant_unref(value);
    return found;
}

std::string TrayHost::toolTip() {
    GVariant* value = itemProperty("ToolTip");
    if (!value) return "<none>";
    std::string title;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE("(sa(iiay)ss)"))) {
        GVariant* child = g_variant_get_child_value(value, 2);
        title = g_variant_get_string(child, nullptr);
        g_variant_unref(child);
    }
    g_variant_unref(value);
    return title;
}

std::vector<std::pair<int, std::string>> TrayHost::pixmaps() {
    std::vector<std::pair<int, std::string>> found;
    GVariant* value = itemProperty("IconPixmap");
    if (!value) return found;
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    gint32 width = 0, height = 0;
    GVariant* bytes = nullptr;
    while (g_variant_iter_next(&iter, "(ii@ay)", &width, &height, &bytes)) {
        gsize length = 0;
        auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &length, 1));
        if (width == height) found.emplace_back(width, std::string(data, length));
        g_variant_unref(bytes);
    }
    g_variant_unref(value);
    return found;
}

std::vector<TrayHost::Row> TrayHost::menu() {
    std::vector<Row> rows;
    GVariant* path = itemProperty("Menu");
    if (!path) return rows;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, items_.back().bus.c_str(), g_variant_get_string(path, nullptr), "com.canonical.dbusmenu", "GetLayout",
        g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)), G_VARIANT_TYPE("(u(ia{sv}av))"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    g_variant_unref(path);
    if (!reply) return rows;
    GVariant* root = g_variant_get_child_value(reply, 1);
    GVariant* children = g_variant_get_child_value(root, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
        GVariant* boxed = g_variant_get_child_value(children, i);
        GVariant* child = g_variant_get_variant(boxed);
        gint32 id = 0;
        GVariant* properties = nullptr;
        g_variant_get_child(child, 0, "i", &id);
        properties = g_variant_get_child_value(child, 1);
        gboolean enabled = TRUE;
        g_variant_lookup(properties, "enabled", "b", &enabled);
        gboolean visible = TRUE;
        g_variant_lookup(properties, "visible", "b", &visible);
        if (visible) rows.push_back({id, stringOf(properties, "label"), stringOf(properties, "type") == "separator", enabled != FALSE});
        g_variant_unref(properties);
        g_variant_unref(child);
        g_variant_unref(boxed);
    }
    g_variant_unref(children);
    g_variant_unref(root);
    g_variant_unref(reply);
    return rows;
}

void TrayHost::click(int id) {
    GVariant* path = itemProperty("Menu");
    if (!path) return;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, items_.back().bus.c_str(), g_variant_get_string(path, nullptr), "com.canonical.dbusmenu", "Event",
        g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u), nullptr, G_DBUS_CALL_FLAGS_NONE, 2000,
        nullptr, nullptr);
    g_variant_unref(path);
    if (reply) g_variant_unref(reply);
}

}  // namespace orvela::testing
