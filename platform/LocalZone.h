#pragma once

typedef struct _GTimeZone GTimeZone;

namespace orvela {

// The user's time zone as it is now (TZ, else /etc/localtime), read afresh on
// every call so that a change of zone while the application runs is seen. The
// caller owns the returned reference.
GTimeZone* currentLocalZone();

}  // namespace orvela
