#include "capture/X11KeyGrab.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
#include <algorithm>
#include <gdk/gdkx.h>

namespace orvela {
namespace {

Display* x11Display() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    return GDK_DISPLAY_XDISPLAY(display);
}

// The modifier bit that a lock key sits on in the current keyboard mapping, 0
// when it is not mapped.
unsigned lockMask(Display* display, KeySym keysym) {
    KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0) return 0;
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == keycode) mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask;
}

// Every combination of the lock keys that may be on while the key is pressed.
std::vector<unsigned> lockVariants(Display* display) {
    std::vector<unsigned> locks = {LockMask};
    for (KeySym lock : {KeySym(XK_Num_Lock), KeySym(XK_Scroll_Lock)}) {
        if (unsigned mask = lockMask(display, lock); mask && mask != LockMask) locks.push_back(mask);
    }
    std::vector<unsigned> variants;
    for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
        unsigned mask = 0;
        for (size_t i = 0; i < locks.size(); ++i) {
            if (subset & (1u << i)) mask |= locks[i];
        }
        variants.push_back(mask);
    }
    return variants;
}

// X reports a refused grab asynchronously, as an error; it is caught here while
// the grabs are made and the connection is synchronised.
bool grabRefused = false;
int recordRefusal(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) grabRefused = true;
    return 0;
}

// The devices an XInput2 client may have grabbed a key for: all master devices
// at once, or one master keyboard.
std::vector<int> xinput2Keyboards(Display* display) {
    int opcode = 0, event = 0, error = 0, major = 2, minor = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return {};
    // GDK has announced its XInput2 version on this connection already, and then
    // asking again fails; the answer does not matter: without XInput2 the grabs
    // below fail with an error, which counts as nobody holding the key.
    XIQueryVersion(display, &major, &minor);
    std::vector<int> devices = {XIAllMasterDevices};
    int count = 0;
    XIDeviceInfo* info = XIQueryDevice(display, XIAllMasterDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (info[i].use == XIMasterKeyboard) devices.push_back(info[i].deviceid);
    }
    if (info) XIFreeDeviceInfo(info);
    return devices;
}

// Core and XInput2 passive grabs do not conflict with each other in the X server,
// so a combination an XInput2 client holds would be granted to a core grab and
// never arrive. Grabbing it through XInput2 for a moment finds that client.
bool heldThroughXInput2(Display* display, unsigned keycode, const std::vector<unsigned>& variants) {
    Window root = DefaultRootWindow(display);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XISetMask(bits, XI_KeyRelease);
    bool held = false;
    for (int device : xinput2Keyboards(display)) {
        XIEventMask mask{device, sizeof bits, bits};
        std::vector<XIGrabModifiers> modifiers;
        for (unsigned variant : variants) modifiers.push_back({static_cast<int>(variant), 0});
        grabRefused = false;
        int failed = XIGrabKeycode(display, device, static_cast<int>(keycode), root, XIGrabModeAsync, XIGrabModeAsync,
                                   False, &mask, static_cast<int>(modifiers.size()), modifiers.data());
        XSync(display, False);
        // Only the variants granted here are released: the others are not ours.
        std::vector<XIGrabModifiers> granted;
        for (const auto& modifier : modifiers) {
            if (modifier.status == 0) granted.push_back({modifier.modifiers, 0});
        }
        if (!granted.empty())
            XIUngrabKeycode(display, device, static_cast<int>(keycode), root, static_cast<int>(granted.size()),
                            granted.data());
        if (failed > 0 || grabRefused) held = true;
    }
    XSync(display, False);
    return held;
}

// Every variant of the combination for the lock keys' current places.
std::vector<unsigned> variantsOf(Display* display, unsigned modifiers) {
    std::vector<unsigned> variants;
    for (unsigned lock : lockVariants(display)) variants.push_back(modifiers | lock);
    return variants;
}

// Grabs these variants, unless another client holds any of them; false then,
// with those that were granted already still held (the caller lets them go).
bool grabVariants(Display* display, unsigned keycode, const std::vector<unsigned>& variants) {
    if (variants.empty()) return true;
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(recordRefusal);
    bool refused = heldThroughXInput2(display, keycode, variants);
    grabRefused = false;
    if (!refused) {
        Window root = DefaultRootWindow(display);
        for (unsigned variant : variants)
            XGrabKey(display, static_cast<int>(keycode), variant, root, False, GrabModeAsync, GrabModeAsync);
        XSync(display, False);
        refused = grabRefused;
    }
    XSetErrorHandler(previous);
    return !refused;
}

void ungrabVariants(Display* display, unsigned keycode, const std::vector<unsigned>& variants) {
    // Releasing a variant that another program holds is harmless: X only
    // releases a client's own grabs.
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    for (unsigned variant : variants) XUngrabKey(display, static_cast<int>(keycode), variant, DefaultRootWindow(display));
    XSync(display, False);
    XSetErrorHandler(previous);
}

}  // namespace

bool X11KeyGrab::grab(unsigned keycode, unsigned modifiers) {
    release();
    Display* display = x11Display();
    if (!display) return false;
    keycode_ = keycode;
    modifiers_ = modifiers;
    variants_ = variantsOf(display, modifiers);
    if (grabVariants(display, keycode, variants_)) return true;
    release();
    return false;
}

// Keyboard mapping changes come for many reasons (a layout switched, another
// keyboard typed on, a key remapped); the grabs change only when the lock keys
// moved, and the new variants are taken before the old ones go, so that the
// combination is never free for a moment.
bool X11KeyGrab::regrab() {
    Display* display = x11Display();
    if (!held() || !display) return false;
    std::vector<unsigned> wanted = variantsOf(display, modifiers_);
    if (wanted == variants_) return true;
    std::vector<unsigned> added, dropped;
    for (unsigned variant : wanted) {
        if (std::find(variants_.begin(), variants_.end(), variant) == variants_.end()) added.push_back(variant);
    }
    for (unsigned variant : variants_) {
        if (std::find(wanted.begin(), wanted.end(), variant) == wanted.end()) dropped.push_back(variant);
    }
    bool granted = grabVariants(display, keycode_, added);
    variants_.insert(variants_.end(), added.begin(), added.end());
    if (!granted) {
        release();
        return false;
    }
    ungrabVariants(display, keycode_, dropped);
    variants_ = wanted;
    return true;
}

void X11KeyGrab::release() {
    Display* display = x11Display();
    if (display && !variants_.empty()) ungrabVariants(display, keycode_, variants_);
    variants_.clear();
}

}  // namespace orvela
