#include "web/WindowFrame.h"

#include <sstream>

namespace orvela {

std::string WindowFrame::toString() const {
    return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) + " " + std::to_string(height);
}

std::optional<WindowFrame> WindowFrame::parse(const std::string& text) {
    std::istringstream stream(text);
    WindowFrame frame;
    if (!(stream >> frame.x >> frame.y >> frame.width >> frame.height)) return std::nullopt;
    std::string rest;
    if (stream >> rest) return std::nullopt;
    if (frame.width <= 0 || frame.height <= 0) return std::nullopt;
    return frame;
}

}  // namespace orvela
