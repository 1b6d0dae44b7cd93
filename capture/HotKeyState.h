#pragma once

#include <string>

namespace orvela {

// Where the capture key stands with the desktop.
struct HotKeyState {
    enum class Kind {
        working,      // presses arrive
        waiting,      // asked the desktop, no answer yet
        taken,        // refused: another program holds the combination, or it lacks a required modifier
        unsupported,  // this desktop lets no program take a key (Wayland without the portal's shortcuts)
    };
    Kind kind = Kind::working;
    // The trigger as the desktop describes the one it assigned, when it said
    // ("Ctrl+Alt+K"); empty where the desktop takes the combination as given (X11).
    std::string desktopTrigger;

    friend bool operator==(const HotKeyState&, const HotKeyState&) = default;
};

}  // namespace orvela
