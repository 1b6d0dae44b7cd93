#pragma once

#include <optional>
#include <string>

namespace orvela {

// The main window's position and size as remembered between runs, in the
// defaults under "NSWindow Frame OrvelaMain" as "x y width height".
struct WindowFrame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    static constexpr const char* autosaveName = "OrvelaMain";
    static std::string defaultsKey() { return std::string("NSWindow Frame ") + autosaveName; }

    std::string toString() const;
    // Nothing unless four integers with a positive size.
    static std::optional<WindowFrame> parse(const std::string& text);

    friend bool operator==(const WindowFrame&, const WindowFrame&) = default;
};

}  // namespace orvela
