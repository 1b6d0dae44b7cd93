#pragma once

#include "tests/integration/Harness.h"

#include <csignal>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace orvela::testing {

constexpr const char* busName = "org.freedesktop.Notifications";
constexpr const char* objectPath = "/org/freedesktop/Notifications";

// A notification server on the test's session bus that records every call.
class FakeNotificationServer {
public:
    FakeNotificationServer() : bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        const char* argv[] = {"/usr/bin/python3", "-m", "dbusmock", "--template", "notification_daemon", "-p",
                              R"({"capabilities": "body actions sound"})", nullptr};
        g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &pid_, nullptr);
        EXPECT_TRUE(runUntil([&] { return owned(); }, 15));
    }
    ~FakeNotificationServer() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        // The bus may still list the name of a server that has just exited; the next test must not see it.
        runUntil([&] { return !owned(); }, 5);
        g_object_unref(bus_);
    }

    struct Notify {
        uint32_t id;
        std::string appName, summary, body;
        std::vector<std::string> actions;
        std::string desktopEntry;
    };

    // The Notify calls so far; each gets the id the server answered, 1, 2, …
    std::vector<Notify> notifications() {
        GVariant* reply = call("org.freedesktop.DBus.Mock", "GetCalls", nullptr);
        std::vector<Notify> found;
        if (!reply) return found;
        GVariantIter* calls = nullptr;
        g_variant_get(reply, "(a(tsav))", &calls);
        guint64 time;
        const char* method;
        GVariantIter* arguments;
        while (g_variant_iter_next(calls, "(t&sav)", &time, &method, &arguments)) {
            std::vector<GVariant*> values;
            while (GVariant* boxed = g_variant_iter_next_value(arguments)) {
                values.push_back(g_variant_get_variant(boxed));
                g_variant_unref(boxed);
            }
            if (std::string(method) == "Notify" && values.size() == 8) {
                Notify notify{static_cast<uint32_t>(found.size() + 1), g_variant_get_string(values[0], nullptr),
                              g_variant_get_string(values[3], nullptr), g_variant_get_string(values[4], nullptr), {}, {}};
                gsize count = 0;
                const gchar** actions = g_variant_get_strv(values[5], &count);
                for (gsize i = 0; i < count; ++i) notify.actions.push_back(actions[i]);
                g_free(actions);
                if (GVariant* entry = g_variant_lookup_value(values[6], "desktop-entry", nullptr)) {
                    notify.desktopEntry = g_variant_get_string(entry, nullptr);
                    g_variant_unref(entry);
                }
                found.push_back(notify);
            }
            for (GVariant* value : values) g_variant_unref(value);
            g_variant_iter_free(arguments);
        }
        g_variant_iter_free(calls);
        g_variant_unref(reply);
        return found;
    }

    // The user clicks the notification; a server that hands out activation
    // tokens sends one just before.
    void click(uint32_t id, const std::string& activationToken = "") {
        if (!activationToken.empty()) {
            GVariantBuilder token;
            g_variant_builder_init(&token, G_VARIANT_TYPE("av"));
            g_variant_builder_add(&token, "v", g_variant_new_uint32(id));
            g_variant_builder_add(&token, "v", g_variant_new_string(activationToken.c_str()));
            GVariant* reply = call("org.freedesktop.DBus.Mock", "EmitSignal",
                                   g_variant_new("(sssav)", busName, "ActivationToken", "us", &token));
            if (reply) g_variant_unref(reply);
        }
        GVariantBuilder arguments;
        g_variant_builder_init(&arguments, G_VARIANT_TYPE("av"));
        g_variant_builder_add(&arguments, "v", g_variant_new_uint32(id));
        g_variant_builder_add(&arguments, "v", g_variant_new_string("default"));
        GVariant* reply = call("org.freedesktop.DBus.Mock", "EmitSignal",
                               g_variant_new("(sssav)", busName, "ActionInvoked", "us", &arguments));
        if (reply) g_variant_unref(reply);
    }

private:
    bool owned() {
        GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", busName), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        gboolean has = FALSE;
        if (reply) {
            g_variant_get(reply, "(b)", &has);
            g_variant_unref(reply);
        }
        return has;
    }

    GVariant* call(const char* interface, const char* method, GVariant* parameters) {
        return g_dbus_connection_call_sync(bus_, busName, objectPath, interface, method, parameters, nullptr,
                                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    }

    GDBusConnection* bus_;
    GPid pid_ = 0;
};

}  // namespace orvela::testing
