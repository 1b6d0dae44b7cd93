#include "platform/SessionBus.h"

#include "platform/Log.h"

#include <gio/gio.h>
#include <string>

namespace orvela {

GDBusConnection* sessionBus() {
    static GDBusConnection* bus = [] {
        GError* error = nullptr;
        GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (!connection) {
            log(std::string("no session bus: ") + error->message);
            g_error_free(error);
        }
        return connection;
    }();
    return bus;
}

}  // namespace orvela
