#include "capture/X11KeyGrab.h"

#include <X11/XKBlib.h>
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
// with those that were granted already still held (the caller lets them go). A
// synchronous grab freezes the keyboard at each press until it is allowed on.
bool grabVariants(Display* display, unsigned keycode, const std::vector<unsigned>& variants, bool synchronous) {
    if (variants.empty()) return true;
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(recordRefusal);
    bool refused = heldThroughXInput2(display, keycode, variants);
    grabRefused = false;
    if (!refused) {
        Window root = DefaultRootWindow(display);
        for (unsigned variant : variants)
            XGrabKey(display, static_cast<int>(keycode), variant, root, False, GrabModeAsync,
                     synchronous ? GrabModeSync : GrabModeAsync);
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

// Moves the grabs in held to those wanted, the new ones taken before the old
// ones go, so that the combination is never free for a moment. When another
// client holds one of the new ones, all of them go and held is left empty.
bool moveGrabs(Display* display, unsigned keycode, std::vector<unsigned>& held, const std::vector<unsigned>& wanted,
               bool synchronous) {
    std::vector<unsigned> added, dropped;
    for (unsigned variant : wanted) {
        if (std::find(held.begin(), held.end(), variant) == held.end()) added.push_back(variant);
    }
    for (unsigned variant : held) {
        if (std::find(wanted.begin(), wanted.end(), variant) == wanted.end()) dropped.push_back(variant);
    }
    if (!grabVariants(display, keycode, added, synchronous)) {
        held.insert(held.end(), added.begin(), added.end());
        ungrabVariants(display, keycode, held);
        held.clear();
        return false;
    }
    if (!dropped.empty()) ungrabVariants(display, keycode, dropped);
    held = wanted;
    return true;
}

// Whether the key, in this group, sets the modifier when pressed while the held
// modifiers are down: the held ones may choose another level of the key, whose
// action is then something else (ISO_Next_Group's LockGroup).
bool setsModifier(XkbDescPtr xkb, unsigned key, unsigned group, unsigned held, unsigned modifier) {
    XkbKeyTypePtr type = XkbKeyKeyType(xkb, key, group);
    unsigned level = 0;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& entry = type->map[i];
        if (entry.active && (held & type->mods.mask) == entry.mods.mask) {
            level = entry.level;
            break;
        }
    }
    if (!XkbKeyHasActions(xkb, key) || level >= XkbKeyGroupsWidth(xkb, key)) return false;
    const XkbAction* action = XkbKeyActionEntry(xkb, key, level, group);
    if (action->type != XkbSA_SetMods && action->type != XkbSA_LatchMods && action->type != XkbSA_LockMods)
        return false;
    unsigned mods = action->mods.flags & XkbSA_UseModMapMods ? xkb->map->modmap[key] : action->mods.mask;
    return mods & modifier;
}

// The modifiers of the combination that a key of the layout gives alone but not
// while some of the others are held, with the keys that give each.
std::vector<X11KeyGrab::Switch> layoutSwitches(Display* display, unsigned modifiers) {
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask | XkbModifierMapMask,
                               XkbUseCoreKbd);
    if (!xkb) return {};
    std::vector<X11KeyGrab::Switch> switches;
    for (unsigned modifier = 1; modifier <= modifiers; modifier <<= 1) {
        if (!(modifiers & modifier)) continue;
        const unsigned others = modifiers & ~modifier;
        X11KeyGrab::Switch found{modifier, {}};
        bool switched = false;
        for (unsigned key = xkb->min_key_code; key <= xkb->max_key_code; ++key) {
            bool gives = false;
            for (unsigned group = 0; group < unsigned(XkbKeyNumGroups(xkb, key)); ++group) {
                if (!setsModifier(xkb, key, group, 0, modifier)) continue;
                gives = true;
                // Every non-empty subset of the other modifiers, held before this key.
                for (unsigned held = others; held; held = (held - 1) & others) {
                    if (!setsModifier(xkb, key, group, held, modifier)) switched = true;
                }
            }
            if (gives) found.keys.push_back(key);
        }
        if (switched) switches.push_back(std::move(found));
    }
    XkbFreeKeyboard(xkb, 0, True);
    return switches;
}

}  // namespace

X11KeyGrab::Outcome X11KeyGrab::grab(unsigned keycode, unsigned modifiers) {
    release();
    keycode_ = keycode;
    modifiers_ = modifiers;
    return follow();
}

// Keyboard mapping changes come for many reasons (a layout switched, another
// keyboard typed on, a key remapped); the grabs change only when the lock keys
// or the layout switches moved.
X11KeyGrab::Outcome X11KeyGrab::regrab() {
    if (!held()) return Outcome::taken;
    return follow();
}

X11KeyGrab::Outcome X11KeyGrab::follow() {
    Display* display = x11Display();
    if (!display || !moveGrabs(display, keycode_, variants_, variantsOf(display, modifiers_), false)) {
        release();
        return outcome_ = Outcome::taken;
    }
    switches_ = layoutSwitches(display, modifiers_);
    // The first modifier key pressed always gives its modifier, so a press lacks
    // some of the switching ones, never all of the combination's.
    std::vector<unsigned> switched;
    unsigned switching = 0;
    for (const Switch& each : switches_) switching |= each.modifier;
    for (unsigned missing = switching; missing; missing = (missing - 1) & switching) {
        if (missing == modifiers_) continue;
        for (unsigned variant : variantsOf(display, modifiers_ & ~missing)) switched.push_back(variant);
    }
    if (!moveGrabs(display, keycode_, switched_, switched, true)) return outcome_ = Outcome::layoutSwitch;
    return outcome_ = Outcome::grabbed;
}

bool X11KeyGrab::isCombination(unsigned keycode, unsigned modifiers) const {
    if (!held() || keycode != keycode_ || (modifiers & ~modifiers_)) return false;
    if (modifiers == modifiers_) return true;
    Display* display = x11Display();
    if (switched_.empty() || !display) return false;
    char down[32] = {};
    XQueryKeymap(display, down);
    auto isDown = [&](unsigned key) { return (down[key / 8] >> (key % 8)) & 1; };
    const unsigned missing = modifiers_ & ~modifiers;
    unsigned confirmed = 0;
    for (const Switch& each : switches_) {
        if ((missing & each.modifier) && std::any_of(each.keys.begin(), each.keys.end(), isDown))
            confirmed |= each.modifier;
    }
    return confirmed == missing;
}

void X11KeyGrab::release() {
    Display* display = x11Display();
    if (display && !variants_.empty()) ungrabVariants(display, keycode_, variants_);
    if (display && !switched_.empty()) ungrabVariants(display, keycode_, switched_);
    variants_.clear();
    switched_.clear();
    switches_.clear();
}

}  // namespace orvela
