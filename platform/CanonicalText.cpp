#include "platform/CanonicalText.h"

#include <algorithm>
#include <glib.h>

namespace orvela {
bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string canonicalText(std::string_view text) {
    // ASCII is its own composed form; most identifiers never need the conversion.
    if (isAscii(text) || text.find('\0') != std::string_view::npos) return std::string(text);
    gchar* composed = g_utf8_normalize(text.data(), static_cast<gssize>(text.size()), G_NORMALIZE_NFC);
    if (!composed) return std::string(text);
    std::string result(composed);
    g_free(composed);
    return result;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return canonicalText(a) == canonicalText(b);
}

}  // namespace orvela
