#include "capture/HotKey.h"

#include "capture/ShortcutRecorder.h"

#include "capture/KeyPositions.h"
#include "platform/MainQueue.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
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

// Every combination of the lock keys that may be on while the hot key is pressed.
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

constexpr unsigned meaningfulModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

}  // namespace

std::shared_ptr<HotKey> HotKey::create(std::function<void()> action) {
    std::shared_ptr<HotKey> hotKey(new HotKey(nextId_++, std::move(action)));
    instances_[hotKey->id] = hotKey;
    installHandlerOnce();
    return hotKey;
}

HotKey::HotKey(uint32_t id, std::function<void()> action) : id(id), action_(std::move(action)) {}

HotKey::~HotKey() { unregister(); }

void HotKey::teardown() {
    unregister();
    action_ = nullptr;
    instances_.erase(id);
}

uint32_t HotKey::lastPressTime() { return lastPressTime_; }

void HotKey::installHandlerOnce() {
    if (handlerInstalled_ || !x11Display()) return;
    handlerInstalled_ = true;
    gdk_window_add_filter(nullptr, [](GdkXEvent* native, GdkEvent*, gpointer) -> GdkFilterReturn {
        auto* event = static_cast<XEvent*>(native);
        if (event->type != KeyPress && event->type != KeyRelease) return GDK_FILTER_CONTINUE;
        if (event->xkey.window != DefaultRootWindow(event->xkey.display)) return GDK_FILTER_CONTINUE;
        if (event->type == KeyPress) pressed(event->xkey.keycode, event->xkey.state, static_cast<uint32_t>(event->xkey.time));
        return GDK_FILTER_REMOVE;
    }, nullptr);
}

void HotKey::pressed(unsigned keycode, unsigned state, uint32_t time) {
    lastPressTime_ = time;
    // While a new key is being recorded, the current one is a key like any other.
    if (auto* recorder = ShortcutRecorder::recordingNow()) {
        recorder->record(keycode, state);
        return;
    }
    for (const auto& [id, hotKey] : instances_) {
        if (!hotKey->registered() || hotKey->keycode_ != keycode) continue;
        if ((state & meaningfulModifiers) != hotKey->modifiers_) continue;
        // The action runs after this event has been handled; the task keeps its
        // hot key until then.
        MainQueue::async([hotKey = hotKey] {
            if (hotKey->action_) hotKey->action_();
        });
        return;
    }
}

bool HotKey::registerShortcut(const Shortcut& shortcut) {
    unregister();
    Display* display = x11Display();
    auto keycode = KeyPositions::x11Keycode(shortcut.keyCode);
    if (!display || !keycode) return false;
    unsigned modifiers = KeyPositions::x11Modifiers(shortcut.modifiers);
    Window root = DefaultRootWindow(display);

    XSync(display, False);
    grabRefused = false;
    XErrorHandler previous = XSetErrorHandler(recordRefusal);
    for (unsigned locks : lockVariants(display)) {
        XGrabKey(display, static_cast<int>(*keycode), modifiers | locks, root, False, GrabModeAsync, GrabModeAsync);
        grabs_.push_back({*keycode, modifiers | locks});
    }
    XSync(display, False);
    XSetErrorHandler(previous);

    keycode_ = *keycode;
    modifiers_ = modifiers;
    if (grabRefused) {
        unregister();
        return false;
    }
    return true;
}

void HotKey::unregister() {
    Display* display = x11Display();
    if (display && !grabs_.empty()) {
        // Releasing a variant that another program holds is harmless: X only
        // releases a client's own grabs.
        XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        for (const auto& grab : grabs_) XUngrabKey(display, static_cast<int>(grab.keycode), grab.modifiers, DefaultRootWindow(display));
        XSync(display, False);
        XSetErrorHandler(previous);
    }
    grabs_.clear();
}

}  // namespace orvela
