#include "platform/StatusNotifierItem.h"

#include "platform/Log.h"
#include "platform/SessionBus.h"

#include <libdbusmenu-glib/server.h>
#include <libdbusmenu-gtk/parser.h>
#include <unistd.h>
#include <utility>

namespace orvela {
namespace {

constexpr const char* itemPath = "/StatusNotifierItem";
constexpr const char* menuPath = "/MenuBar";
constexpr const char* itemInterface = "org.kde.StatusNotifierItem";
constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";

// The item's interface as KDE defines it, with the label that Ayatana's hosts
// draw beside the icon.
constexpr const char* introspection = R"xml(<node><interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="XAyatanaLabel" type="s" access="read"/>
  <property name="XAyatanaLabelGuide" type="s" access="read"/>
  <property name="XAyatanaOrderingIndex" type="u" access="read"/>
  <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
  <method name="ProvideXdgActivationToken"><arg type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg type="s"/></signal>
  <signal name="NewIconThemePath"><arg type="s"/></signal>
  <signal name="XAyatanaNewLabel"><arg type="s"/><arg type="s"/></signal>
</interface></node>)xml";

GDBusInterfaceInfo* interfaceInfo() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
    return node->interfaces[0];
}

GVariant* noPixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

GVariant* pixmapArray(const std::vector<StatusNotifierItem::Pixmap>& pixmaps) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (const auto& pixmap : pixmaps)
        g_variant_builder_add(&builder, "(ii@ay)", pixmap.size, pixmap.size,
                              g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(), pixmap.argb.size(), 1));
    return g_variant_builder_end(&builder);
}

// Each item of the process needs a bus name of its own: hosts drop an item when
// its name goes, which is how a removed item leaves the tray.
std::string uniqueItemName() {
    static int made = 0;
    return "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++made);
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(std::string id, GtkWidget* menu)
    : id_(std::move(id)), busName_(uniqueItemName()), bus_(sessionBus()) {
    if (!bus_) return;
    static const GDBusInterfaceVTable table{&StatusNotifierItem::methodCall, &StatusNotifierItem::property, nullptr, {}};
    GError* error = nullptr;
    object_ = g_dbus_connection_register_object(bus_, itemPath, interfaceInfo(), &table, this, nullptr, &error);
    if (!object_) {
        log(std::string("tray: the item cannot be exported: ") + error->message);
        g_error_free(error);
        return;
    }
    menuServer_ = dbusmenu_server_new(menuPath);
    DbusmenuMenuitem* root = dbusmenu_gtk_parse_menu_structure(menu);
    dbusmenu_server_set_root(menuServer_, root);
    g_object_unref(root);
    ownName_ = g_bus_own_name_on_connection(
        bus_, busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer self) {
            auto* item = static_cast<StatusNotifierItem*>(self);
            item->nameOwned_ = true;
            item->registerWithWatcher();
        },
        nullptr, this, nullptr);
    // A watcher that starts later, or again after a panel restart, has not heard of the item.
    watchWatcher_ = g_bus_watch_name_on_connection(
        bus_, watcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char* owner, gpointer self) {
            auto* item = static_cast<StatusNotifierItem*>(self);
            item->watcher_ = owner;
            item->registerWithWatcher();
        },
        [](GDBusConnection*, const char*, gpointer self) { static_cast<StatusNotifierItem*>(self)->watcher_.clear(); },
        this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (watchWatcher_) g_bus_unwatch_name(watchWatcher_);
    if (ownName_) g_bus_unown_name(ownName_);
    if (menuServer_) g_object_unref(menuServer_);
    if (object_) g_dbus_connection_unregister_object(bus_, object_);
}

// Once per watcher: the name and the watcher may come in either order.
void StatusNotifierItem::registerWithWatcher() {
    if (!nameOwned_ || watcher_.empty() || watcher_ == registeredWith_) return;
    registeredWith_ = watcher_;
    g_dbus_connection_call(
        bus_, watcher_.c_str(), "/StatusNotifierWatcher", watcherName, "RegisterStatusNotifierItem",
        g_variant_new("(s)", busName_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer) {
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (reply) g_variant_unref(reply);
            // No watcher yet is the usual case: the watch registers the item when one comes.
            if (error && !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) &&
                !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER))
                log(std::string("tray: the panel refused the item: ") + error->message);
            if (error) g_error_free(error);
        },
        nullptr);
}

void StatusNotifierItem::emit(const char* signal, GVariant* parameters) {
    if (!object_) {
        if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
        return;
    }
    g_dbus_connection_emit_signal(bus_, nullptr, itemPath, itemInterface, signal, parameters, nullptr);
}

void StatusNotifierItem::setIcon(const std::string& name, const std::string& themePath, std::vector<Pixmap> pixmaps) {
    if (themePath != themePath_) {
        themePath_ = themePath;
        emit("NewIconThemePath", g_variant_new("(s)", themePath_.c_str()));
    }
    if (name == iconName_ && pixmaps == pixmaps_) return;
    iconName_ = name;
    pixmaps_ = std::move(pixmaps);
    emit("NewIcon");
}

void StatusNotifierItem::setTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    emit("NewTitle");
    emit("NewToolTip");
}

void StatusNotifierItem::setLabel(const std::string& label) {
    if (label == label_) return;
    label_ = label;
    emit("XAyatanaNewLabel", g_variant_new("(ss)", label_.c_str(), ""));
}

// Clicks, scrolls and activation tokens ask nothing of an item that is a menu.
void StatusNotifierItem::methodCall(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
                                    GDBusMethodInvocation* invocation, gpointer) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* StatusNotifierItem::property(GDBusConnection*, const char*, const char*, const char*, const char* name,
                                       GError**, gpointer self) {
    auto* item = static_cast<StatusNotifierItem*>(self);
    std::string property = name;
    if (property == "Category") return g_variant_new_string("ApplicationStatus");
    if (property == "Id") return g_variant_new_string(item->id_.c_str());
    if (property == "Title") return g_variant_new_string(item->title_.c_str());
    if (property == "Status") return g_variant_new_string("Active");
    if (property == "WindowId") return g_variant_new_int32(0);
    if (property == "IconThemePath") return g_variant_new_string(item->themePath_.c_str());
    if (property == "Menu") return g_variant_new_object_path(menuPath);
    if (property == "ItemIsMenu") return g_variant_new_boolean(TRUE);
    if (property == "IconName") return g_variant_new_string(item->iconName_.c_str());
    if (property == "IconPixmap") return pixmapArray(item->pixmaps_);
    if (property == "ToolTip")
        return g_variant_new("(s@a(iiay)ss)", "", noPixmaps(), item->title_.c_str(), "");
    if (property == "XAyatanaLabel") return g_variant_new_string(item->label_.c_str());
    if (property == "XAyatanaOrderingIndex") return g_variant_new_uint32(0);
    if (property == "OverlayIconPixmap" || property == "AttentionIconPixmap") return noPixmaps();
    return g_variant_new_string("");
}

}  // namespace orvela
