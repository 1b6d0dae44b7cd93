#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvela {

// The whole text as a decimal number, with "." as the decimal point whatever the
// user's locale; nothing when any of it is not part of the number.
std::optional<double> decimalNumber(const std::string& text);

// The pieces between the separators, empty ones dropped, in their order and
// exactly as written.
std::vector<std::string> nonEmptyPieces(const std::string& text, char separator);

}  // namespace orvela
