#pragma once

#include <string_view>

namespace orvela {

// Writes one diagnostic line, "Orvela: " followed by the text, to standard error
// (the journal, when the desktop launched the application). Standard output is
// kept for the few lines that other programs read.
void log(std::string_view text);

}  // namespace orvela
