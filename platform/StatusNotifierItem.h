#pragma once

#include <cstdint>
#include <gio/gio.h>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _DbusmenuServer DbusmenuServer;

namespace orvela {

// A tray item as status-notifier hosts (KDE's, waybar, Xfce's, GNOME's
// AppIndicator extension) read it: exported on the session bus under a name of
// its own, registered with every watcher that appears, its menu served over
// dbusmenu from a GTK menu that may change at any time. Hosts hear a change
// signal only when what it announces really changed.
class StatusNotifierItem {
public:
    // One picture of the icon: rows of pixels, four bytes each, alpha, red,
    // green, blue.
    struct Pixmap {
        int size = 0;
        std::vector<uint8_t> argb;

        bool operator==(const Pixmap&) const = default;
    };

    // The menu is served for as long as the item lives. The item is a menu:
    // hosts open it on any click.
    StatusNotifierItem(std::string id, GtkWidget* menu);
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // The icon by name, looked up in themePath first, and as pictures for hosts
    // that find no icon of that name.
    void setIcon(const std::string& name, const std::string& themePath, std::vector<Pixmap> pixmaps);
    // The title, which is also the tooltip's text.
    void setTitle(const std::string& title);
    // The text beside the icon, for hosts that draw one.
    void setLabel(const std::string& label);

private:
    static void methodCall(GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant*,
                           GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* property(GDBusConnection*, const char*, const char*, const char*, const char* name, GError**,
                              gpointer self);
    void registerWithWatcher();
    void emit(const char* signal, GVariant* parameters = nullptr);

    std::string id_;
    std::string busName_;
    GDBusConnection* bus_ = nullptr;
    DbusmenuServer* menuServer_ = nullptr;
    guint object_ = 0;
    guint ownName_ = 0;
    guint watchWatcher_ = 0;
    bool nameOwned_ = false;
    // The watcher's unique name now, and the one the item registered with.
    std::string watcher_;
    std::string registeredWith_;
    std::string iconName_;
    std::string themePath_;
    std::vector<Pixmap> pixmaps_;
    std::string title_;
    std::string label_;
};

}  // namespace orvela
