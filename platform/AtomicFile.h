#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

// Replaces the file's contents so that a reader, or the next start after a crash,
// sees either the old contents or the new ones, never a mix: a temporary file in
// the same folder is written, flushed to disk and renamed over the old one.
// Creates missing folders (private to the user). Returns the error's text on failure.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& file,
                                               std::string_view contents);

// The whole file, or nothing when it does not exist; an error text when it exists
// but cannot be read.
struct FileContents {
    std::optional<std::string> text;
    std::optional<std::string> error;
};
FileContents readWholeFile(const std::filesystem::path& file);

// Moves a file that could not be understood out of the way, under a name that says
// so and that no earlier such file has; returns the new name.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file);

}  // namespace orvela
