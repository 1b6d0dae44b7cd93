#include "app/TrayIcon.h"

namespace orvela::TrayIcon {
namespace {

std::string countText(int64_t count) { return count > 99 ? "99+" : std::to_string(count); }

// A coordinate given in halves: 29 is "14.5".
std::string halves(int twice) { return std::to_string(twice / 2) + (twice % 2 ? ".5" : ""); }

}  // namespace

std::string name(int64_t count) {
    return count < 1 ? "ru.orvela.Orvela-tray" : "ru.orvela.Orvela-tray-" + (count > 99 ? "many" : std::to_string(count));
}

std::string svg(int64_t count) {
    std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"22\" height=\"22\" viewBox=\"0 0 22 22\">\n"
        // An inbox tray with an arrow coming down into it, light on a dark outline.
        "  <g fill=\"#f6f5f4\" stroke=\"#241f31\" stroke-width=\"1.2\" stroke-linejoin=\"round\">\n"
        "    <path d=\"M9.5 2H12.5V7H15.5L11 11.5L6.5 7H9.5Z\"/>\n"
        "    <path d=\"M2 12H7.2L8.4 14.5H13.6L14.8 12H20V20H2Z\"/>\n"
        "  </g>\n";
    if (count >= 1) {
        std::string text = countText(count);
        // Wider for more digits, anchored at the top right corner.
        int width = text.size() == 1 ? 12 : text.size() == 2 ? 15 : 19;
        int left = 22 - width;
        document += "  <rect x=\"" + std::to_string(left) + "\" y=\"0\" width=\"" + std::to_string(width) +
                    "\" height=\"12\" rx=\"6\" fill=\"#e01b24\" stroke=\"#ffffff\" stroke-width=\"1\"/>\n"
                    "  <text x=\"" + halves(2 * left + width) +
                    "\" y=\"9.5\" font-family=\"sans-serif\" font-size=\"9\" font-weight=\"bold\" fill=\"#ffffff\" "
                    "text-anchor=\"middle\">" + text + "</text>\n";
    }
    return document + "</svg>\n";
}

std::string title(int64_t count) {
    return count < 1 ? "Orvela" : "Orvela — " + std::to_string(count) + " во «Входящих»";
}

}  // namespace orvela::TrayIcon
