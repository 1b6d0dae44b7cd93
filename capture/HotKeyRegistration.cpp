#include "capture/HotKeyRegistration.h"

#include "platform/Log.h"

namespace orvela {

void HotKeyRegistration::registerHotKey(const Shortcut& shortcut) {
    bool registered = false;
    if (hotKey) {
        hotKey->unregister();
        registered = shortcut.hasRequiredModifier() && hotKey->registerShortcut(shortcut);
    }
    hotKeyTaken = !registered;
    if (hotKeyTaken) log("capture key " + shortcut.display() + " is taken");
}

}  // namespace orvela
