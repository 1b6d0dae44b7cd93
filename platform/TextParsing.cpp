#include "platform/TextParsing.h"

#include <glib.h>

namespace orvela {

std::optional<double> decimalNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double number = g_ascii_strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return number;
}

std::vector<std::string> nonEmptyPieces(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace orvela
