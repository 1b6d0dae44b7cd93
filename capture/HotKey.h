#pragma once

#include "capture/HotKeyState.h"
#include "capture/Shortcut.h"
#include "capture/X11KeyGrab.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

typedef struct _GtkWindow GtkWindow;

namespace orvela {

class GlobalShortcutsPortal;

// One system-wide key combination and what it does. The mechanism follows the
// display GDK opened: on X11 the combination is grabbed on the root window; on
// Wayland it is bound through the desktop portal's global shortcuts, which may
// assign another trigger or answer later. Each press runs the action on the main
// loop, after the event that brought it has been handled; holding the key down
// counts as one press.
class HotKey {
public:
    // The new hot key is kept in the process-wide registry, which presses are
    // looked up in, until teardown().
    static std::shared_ptr<HotKey> create(std::function<void()> action);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    // Releases the previous combination, then asks for this one. On X11 the
    // answer is final (working or taken); through the portal it is waiting, and
    // the answer comes through onStateChanged. Unsupported where neither works.
    HotKeyState registerShortcut(const Shortcut& shortcut);
    void unregister();
    bool registered() const;

    // A later change: the portal's answer, a trigger the user changed in the
    // desktop's settings, a grab lost when the keyboard mapping changed.
    std::function<void(const HotKeyState&)> onStateChanged;

    void teardown();

    // Where the desktop offers its own dialog for the key it bound (the portal's
    // version 2), opens it for the registered hot key and says true; the recorder
    // then leaves the choice to the desktop.
    static bool configureThroughDesktop(GtkWindow* parent);
    // Whether the desktop owns the binding (the portal answered): the key is
    // chosen in the desktop, not recorded here.
    static bool desktopBinds();
    // Whether the desktop may ask the user for the key again; false after the
    // user declined it there, until the user asks for it.
    void setMayAskDesktop(bool mayAsk);

    const uint32_t id;

    // The X server time of the latest press of any hot key, 0 before the first:
    // the timestamp with which a window shown in answer may take the focus.
    static uint32_t lastPressTime();

private:
    explicit HotKey(uint32_t id, std::function<void()> action);
    static void installHandlerOnce();
    // Whether the press was a hot key's, or the recorder's; any other goes back to the window in front.
    static bool pressed(unsigned keycode, unsigned state, uint32_t time);
    static void released(unsigned keycode);
    static void keyboardMappingChanged();
    void fire();
    HotKeyState bindThroughPortal(const Shortcut& shortcut);
    HotKeyState portalState(HotKeyState::Kind kind, const std::string& trigger) const;
    void bindAgain();
    void stateChanged(const HotKeyState& state);

    std::function<void()> action_;
    X11KeyGrab grab_;
    std::shared_ptr<GlobalShortcutsPortal> portal_;
    Shortcut portalShortcut_;
    bool portalBound_ = false;
    bool mayAskDesktop_ = true;
    // Seconds before binding again after the desktop ended the session.
    double rebindDelay_ = 1;

    static inline std::map<uint32_t, std::shared_ptr<HotKey>> instances_;
    static inline uint32_t nextId_ = 1;
    static inline bool handlerInstalled_ = false;
    static inline uint32_t lastPressTime_ = 0;
    // The keycode of a hot key held down: the key's auto-repeat presses are not new presses.
    static inline unsigned heldKeycode_ = 0;
};

}  // namespace orvela
