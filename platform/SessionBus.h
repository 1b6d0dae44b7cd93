#pragma once

typedef struct _GDBusConnection GDBusConnection;

namespace orvela {

// The desktop session's bus, opened once and kept for the rest of the process
// (subscriptions and exported objects live on it); nothing, with one line logged,
// when there is none.
GDBusConnection* sessionBus();

}  // namespace orvela
