#pragma once

#include "platform/GObjectPtr.h"

#include <functional>
#include <gio/gio.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace orvela::testing {

// This process's widgets as a screen reader meets them through AT-SPI. The
// reading is done by the screen-reader script in a process of its own, since
// this one must keep answering the accessibility bus meanwhile.
class ScreenReader {
public:
    // Every accessible object of this process in reading order: role, name,
    // description, states and relations (by the targets' role and name). With a
    // role, only in the windows of that role ("alert").
    static nlohmann::json tree(const std::string& windowRole = "");
    // The first object in the tree with this role and name; null when none.
    static nlohmann::json find(const nlohmann::json& tree, const std::string& role, const std::string& name);

    // Listens from now on to what a screen reader speaks from: focus, showing,
    // checked and name changes.
    ScreenReader();
    ~ScreenReader();
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    // Whether the listener is registered and hearing.
    bool listening() const { return ready_; }
    const std::vector<nlohmann::json>& heard() const { return heard_; }
    // Runs the main loop until an event like this one is heard, counting the ones
    // heard before too.
    bool hears(const std::function<bool(const nlohmann::json&)>& event, double seconds = 5);
    // The names of the objects that got the keyboard, in order (each once, though
    // GTK tells twice).
    std::vector<std::string> focused() const;

private:
    static void lineRead(GObject* source, GAsyncResult* result, gpointer self);
    void readLine();

    GObjectPtr<GSubprocess> process_;
    GObjectPtr<GDataInputStream> lines_;
    GObjectPtr<GCancellable> cancellable_;
    std::vector<nlohmann::json> heard_;
    bool ready_ = false;
};

}  // namespace orvela::testing
