#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvela {

// Where a download lands in the folder: the suggested name when nothing exists
// there yet, else "name 2.ext", "name 3.ext" and so on. An empty name becomes
// "Orvela" ("Orvela 2", …). The name is reduced to a plain, visible file name
// first (no folder part, no leading dot), so a server can neither place a file
// outside the folder nor hide it, and shortened to what the file system takes,
// keeping its extension.
//
// The name is reserved: the file is created, empty, so that a second download
// starting at the same moment gets the next name. Nothing when the folder does
// not take a file.
std::optional<std::filesystem::path> freeName(const std::string& suggested, const std::filesystem::path& folder);

}  // namespace orvela
