#pragma once

typedef struct _GTimeZone GTimeZone;

namespace orvela {

// The user's time zone (TZ, else /etc/localtime). It is read once and kept: a
// change of TZ is seen at the next call, a new /etc/localtime once
// forgetLocalZone() was called, which the watcher of that file does. The
// caller owns the returned reference.
GTimeZone* currentLocalZone();
// Makes the next currentLocalZone() read the zone again.
void forgetLocalZone();

}  // namespace orvela
