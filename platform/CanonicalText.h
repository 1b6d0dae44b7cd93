#pragma once

#include <string>
#include <string_view>

namespace orvela {

// Texts are equal when they are canonically equivalent Unicode: "ё" written as one
// code point equals "е" followed by the combining diaeresis. Both compare through
// their composed (NFC) form; invalid UTF-8 is compared byte for byte.
std::string canonicalText(std::string_view text);
// ASCII text is its own canonical form.
bool isAscii(std::string_view text);
bool canonicallyEqual(std::string_view a, std::string_view b);

}  // namespace orvela
