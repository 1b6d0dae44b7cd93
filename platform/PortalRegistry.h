#pragma once

#include <functional>
#include <string>

namespace orvela::PortalRegistry {

// The desktop portal learns which application a connection belongs to from its
// first call and refuses to be told later, so the application id is registered
// with the portal's host registry before anything else is asked of the portal.
// Runs the task once the registration has been answered, at once when it was;
// registers again with a new owner of the portal's name (a restarted portal).
// Portals without the registry answer with an error, after which the task runs
// all the same; any other refusal is logged once.
void whenRegistered(std::function<void()> task);

// The id registered: the application's, as the desktop entry and the bus name are called.
inline constexpr const char* applicationId = "ru.orvela.Orvela";

}  // namespace orvela::PortalRegistry
