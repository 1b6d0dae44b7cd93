#pragma once

#include <filesystem>
#include <string>

namespace orvela {

// Where a download lands in the folder: the suggested name when nothing exists
// there yet, else "name 2.ext", "name 3.ext" and so on. An empty name becomes
// "Orvela" ("Orvela 2", …). The name is reduced to a plain file name first, so a
// server cannot place a file outside the folder.
std::filesystem::path freeName(const std::string& suggested, const std::filesystem::path& folder);

}  // namespace orvela
