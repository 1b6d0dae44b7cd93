#pragma once

#include <string_view>

namespace orvela {

// Compares two version strings the way update feeds mean them: runs of digits
// as numbers, so 1.10 > 1.9; "1.0" equals "1.0.0"; a trailing word marks a
// pre-release, so 1.0b1 < 1.0. Negative, zero or positive, as a is older, the
// same or newer than b.
int compareVersions(std::string_view a, std::string_view b);

}  // namespace orvela
