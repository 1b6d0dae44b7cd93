#pragma once

#include <vector>

namespace orvela {

// One key combination grabbed on the X11 root window, in every variant of Caps
// Lock, Num Lock and Scroll Lock, so it works whatever lock keys are on.
//
// Where the keyboard layout turns one of the combination's modifier keys into a
// layout switch while another is held (grp:ctrl_shift_toggle makes Shift after
// Ctrl, and Ctrl after Shift, switch the layout), the press arrives without that
// modifier. The combination is then grabbed without it as well, synchronously:
// such a press counts only when the switch keys are physically down, and any
// other is handed back to the window in front as if never grabbed.
class X11KeyGrab {
public:
    enum class Outcome {
        grabbed,
        // Another client holds a variant, through a core grab or an XInput2 one
        // (the GNOME and Cinnamon window managers grab that way), or there is no
        // X11 display. Nothing is left grabbed.
        taken,
        // The combination itself is held, but a variant the layout switch makes
        // of it belongs to another client (an input method's Ctrl+Space), so
        // pressing it would not arrive.
        layoutSwitch,
    };

    X11KeyGrab() = default;
    ~X11KeyGrab() { release(); }
    X11KeyGrab(const X11KeyGrab&) = delete;
    X11KeyGrab& operator=(const X11KeyGrab&) = delete;

    Outcome grab(unsigned keycode, unsigned modifiers);
    // Follows the lock keys to the bits they sit on now, and the layout switches
    // to the keys they are on now, without letting the combination go meanwhile.
    Outcome regrab();
    void release();
    bool held() const { return !variants_.empty(); }
    unsigned keycode() const { return keycode_; }
    unsigned modifiers() const { return modifiers_; }
    // What the latest grab or regrab came to.
    Outcome outcome() const { return outcome_; }

    // Whether a press with these modifiers (Shift, Control, Mod1, Mod4) is the
    // combination: exactly, or short of modifiers the layout switched with while
    // their keys are down. Asked while the press keeps the keyboard frozen, the
    // keys read are those down at the press.
    bool isCombination(unsigned keycode, unsigned modifiers) const;

    // A modifier the layout may turn into a layout switch, and the keys that give
    // it when pressed alone.
    struct Switch {
        unsigned modifier = 0;
        std::vector<unsigned> keys;
    };

private:
    Outcome follow();

    std::vector<unsigned> variants_;
    // The variants without switched modifiers, grabbed synchronously.
    std::vector<unsigned> switched_;
    std::vector<Switch> switches_;
    unsigned keycode_ = 0;
    unsigned modifiers_ = 0;
    Outcome outcome_ = Outcome::taken;
};

}  // namespace orvela
