#pragma once

#include <functional>
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace orvela::PortalRegistry {

// The desktop portal learns which application a connection belongs to from its
// first call and refuses to be told later, so the application id is registered
// with the portal's host registry before anything else is asked of the portal
// on that connection. Runs the task once the registration has been answered, at
// once when it was; registers again with a new owner of the portal's name (a
// restarted portal). Portals without the registry answer with an error, after
// which the task runs all the same; any other refusal is logged once.
void whenRegistered(GDBusConnection* bus, std::function<void()> task);

// The connection is closed: its registration is of no more use.
void forget(GDBusConnection* bus);

// The id registered: the application's, as the desktop entry and the bus name are called.
inline constexpr const char* applicationId = "ru.orvela.Orvela";

}  // namespace orvela::PortalRegistry
