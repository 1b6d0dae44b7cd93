#include "platform/SystemTray.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <string>

namespace orvela::SystemTray {

bool xembedTrayPresent() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x11 = GDK_DISPLAY_XDISPLAY(display);
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x11));
    return XGetSelectionOwner(x11, XInternAtom(x11, selection.c_str(), False)) != None;
}

}  // namespace orvela::SystemTray
