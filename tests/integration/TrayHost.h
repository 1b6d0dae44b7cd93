#pragma once

#include <gio/gio.h>
#include <string>
#include <vector>

namespace orvela::testing {

// The panel side of the tray on the test's session bus: a status-notifier
// watcher that items register with, and a reader of what an item shows (its
// label and its menu, over dbusmenu) that can click a menu row.
class TrayHost {
public:
    TrayHost();
    ~TrayHost();
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    bool ready() const { return owned_; }
    // Every registration so far, newest last.
    int registrations() const { return static_cast<int>(items_.size()); }
    // Whether the newest item still answers on the bus.
    bool itemPresent();
    std::string label();
    // A text property of the newest item ("IconName", "Title", …); "<none>" when absent.
    std::string text(const char* property);
    // The title of the item's tooltip.
    std::string toolTip();
    // The item's pictures by size, each as its pixels' bytes (alpha, red, green, blue).
    std::vector<std::pair<int, std::string>> pixmaps();

    struct Row {
        int id;
        std::string label;
        bool separator;
        bool enabled;
    };
    std::vector<Row> menu();
    void click(int id);

    // The launcher-entry updates seen: (count, visible).
    std::vector<std::pair<int64_t, bool>> badges;

private:
    struct Item {
        std::string bus;
        std::string path;
    };
    GVariant* itemProperty(const char* name);
    static void methodCall(GDBusConnection*, const char* sender, const char*, const char*, const char* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* getProperty(GDBusConnection*, const char*, const char*, const char*, const char* name, GError**,
                                 gpointer self);

    GDBusConnection* bus_;
    GDBusNodeInfo* node_;
    guint object_ = 0;
    guint name_ = 0;
    guint badgeSignal_ = 0;
    bool owned_ = false;
    std::vector<Item> items_;
};

}  // namespace orvela::testing
