#pragma once

#include "capture/Shortcut.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace orvela {

// One system-wide key combination and what it does. On X11 the combination is
// grabbed on the root window, in every variant of Caps Lock, Num Lock and Scroll
// Lock, so it works whatever lock keys are on. Each press runs the action on the
// main loop, after the event that brought it has been handled.
class HotKey {
public:
    // The new hot key is kept in the process-wide registry, which presses are
    // looked up in, until teardown().
    static std::shared_ptr<HotKey> create(std::function<void()> action);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    // Grabs the combination; false when it cannot be had: another program holds
    // it, the key has no X11 keycode, or there is no X11 display (Wayland).
    // Nothing half-grabbed is left behind on failure.
    bool registerShortcut(const Shortcut& shortcut);
    void unregister();
    bool registered() const { return !grabs_.empty(); }

    void teardown();

    const uint32_t id;

    // The X server time of the latest press of any hot key, 0 before the first:
    // the timestamp with which a window shown in answer may take the focus.
    static uint32_t lastPressTime();

private:
    explicit HotKey(uint32_t id, std::function<void()> action);
    static void installHandlerOnce();
    static void pressed(unsigned keycode, unsigned state, uint32_t time);

    struct Grab {
        unsigned keycode;
        unsigned modifiers;
    };
    std::function<void()> action_;
    std::vector<Grab> grabs_;
    unsigned keycode_ = 0;
    unsigned modifiers_ = 0;

    static inline std::map<uint32_t, std::shared_ptr<HotKey>> instances_;
    static inline uint32_t nextId_ = 1;
    static inline bool handlerInstalled_ = false;
    static inline uint32_t lastPressTime_ = 0;
};

}  // namespace orvela
