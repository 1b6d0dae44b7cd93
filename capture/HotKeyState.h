#pragma once

#include <string>

namespace orvela {

// Where the capture key stands with the desktop.
struct HotKeyState {
    enum class Kind {
        working,      // presses arrive
        waiting,      // asked the desktop, no answer yet, or binding again after it lost the key
        taken,        // refused: another program holds the combination, or it lacks a required modifier
        unsupported,  // this desktop lets no program take a key (Wayland without the portal's shortcuts)
        declined,     // the desktop asked the user, who said no; not asked again until the user wants it
        unassigned,   // the desktop holds the shortcut but has no key for it yet
        layoutSwitch, // held, but the keyboard's layout switch (Ctrl+Shift) turns it into a combination another program holds
    };
    Kind kind = Kind::working;
    // The trigger as the desktop describes the one it assigned, when it said
    // ("Ctrl+Alt+K"); empty where the desktop takes the combination as given (X11).
    std::string desktopTrigger;
    // The desktop, not the application, owns the binding (the portal's global
    // shortcuts): the key is changed in the desktop's own settings, or in its
    // dialog where it has one.
    bool desktopBinds = false;
    bool desktopDialog = false;

    friend bool operator==(const HotKeyState&, const HotKeyState&) = default;
};

}  // namespace orvela
