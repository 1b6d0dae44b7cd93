#pragma once

#include <vector>

namespace orvela {

// One key combination grabbed on the X11 root window, in every variant of Caps
// Lock, Num Lock and Scroll Lock, so it works whatever lock keys are on.
class X11KeyGrab {
public:
    X11KeyGrab() = default;
    ~X11KeyGrab() { release(); }
    X11KeyGrab(const X11KeyGrab&) = delete;
    X11KeyGrab& operator=(const X11KeyGrab&) = delete;

    // False when another client holds any variant, through a core grab or an
    // XInput2 one (the GNOME and Cinnamon window managers grab that way), or when
    // there is no X11 display. Nothing half-grabbed is left behind on failure.
    bool grab(unsigned keycode, unsigned modifiers);
    // Follows the lock keys to the bits they sit on now, without letting the
    // combination go meanwhile; false when it cannot be had any more.
    bool regrab();
    void release();
    bool held() const { return !variants_.empty(); }
    unsigned keycode() const { return keycode_; }
    unsigned modifiers() const { return modifiers_; }

private:
    std::vector<unsigned> variants_;
    unsigned keycode_ = 0;
    unsigned modifiers_ = 0;
};

}  // namespace orvela
