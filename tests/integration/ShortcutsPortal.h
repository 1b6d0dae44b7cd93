#pragma once

// The stand-in of the desktop portal's global shortcuts (shortcuts-portal), run
// on the test's session bus for as long as this object lives.
#include "tests/integration/AppDriver.h"

#include <gio/gio.h>

namespace orvela::testing {

class ShortcutsPortal {
public:
    struct State {
        uint32_t binds = 0;
        std::string preferred;
        uint32_t sessions = 0;
        std::string registered;
    };

    explicit ShortcutsPortal(std::vector<std::string> options = {})
        : process_(arguments(std::move(options))), bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        if (!runUntil([this] { return ready(); })) ADD_FAILURE() << "the stand-in portal did not start";
    }
    ~ShortcutsPortal() {
        process_.end(SIGTERM);
        // The name must be free before the next test looks for a portal.
        runUntil([this] { return !ready(); }, 5);
        g_object_unref(bus_);
    }
    ShortcutsPortal(const ShortcutsPortal&) = delete;
    ShortcutsPortal& operator=(const ShortcutsPortal&) = delete;

    void press(const std::string& token = "") { send("Press", g_variant_new("(ss)", "capture", token.c_str())); }
    void assign(const std::string& trigger) { send("Assign", g_variant_new("(s)", trigger.c_str())); }
    void refuse(bool refuse) { send("Refuse", g_variant_new("(b)", refuse)); }
    void fail(bool fail) { send("Fail", g_variant_new("(b)", fail)); }
    void closeSessions() { send("CloseSessions", nullptr); }
    void change(const std::string& trigger) { send("Change", g_variant_new("(s)", trigger.c_str())); }
    uint32_t configured() {
        GVariant* reply = control("Configured", nullptr);
        uint32_t calls = 0;
        if (reply) g_variant_get(reply, "(u)", &calls);
        if (reply) g_variant_unref(reply);
        return calls;
    }
    State state() {
        State state;
        GVariant* reply = control("State", nullptr);
        if (!reply) return state;
        const char* preferred = nullptr;
        const char* registered = nullptr;
        g_variant_get(reply, "(u&su&s)", &state.binds, &preferred, &state.sessions, &registered);
        state.preferred = preferred;
        state.registered = registered;
        g_variant_unref(reply);
        return state;
    }

private:
    static std::vector<std::string> arguments(std::vector<std::string> options) {
        options.insert(options.begin(), ORVELA_TEST_TOOLS "/shortcuts-portal");
        return options;
    }
    bool ready() {
        GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "NameHasOwner",
                                                      g_variant_new("(s)", "org.freedesktop.portal.Desktop"),
                                                      G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        gboolean owned = FALSE;
        if (reply) g_variant_get(reply, "(b)", &owned);
        if (reply) g_variant_unref(reply);
        return owned;
    }
    GVariant* control(const char* method, GVariant* arguments) {
        GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                                      "ru.orvela.test.ShortcutsPortal", method, arguments, nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        if (!reply) ADD_FAILURE() << "the stand-in portal did not answer " << method;
        return reply;
    }

    void send(const char* method, GVariant* arguments) {
        if (GVariant* reply = control(method, arguments)) g_variant_unref(reply);
    }

    Background process_;
    GDBusConnection* bus_;
};

}  // namespace orvela::testing
