#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

// Replaces the file's contents so that a reader, or the next start after a crash,
// sees either the old contents or the new ones, never a mix: a temporary file in
// the same folder is written, flushed to disk and renamed over the old one. A file
// that is a symbolic link stays one: its target is replaced. Creates missing
// folders, private to the user. Returns the error's text on failure.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& file,
                                               std::string_view contents);

// The whole file, or nothing when it does not exist; an error text when it exists
// but cannot be read (a folder in its place, an I/O error, no permission).
struct FileContents {
    std::optional<std::string> text;
    std::optional<std::string> error;
};
FileContents readWholeFile(const std::filesystem::path& file);

// Moves a file that could not be understood out of the way, under a name that says
// so and that no earlier such file has; returns the new name.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file);

// The files moved aside from this one, oldest name first.
std::vector<std::filesystem::path> filesMovedAside(const std::filesystem::path& file);

// The file a path names once its symbolic links are followed (also a link whose
// target does not exist yet); the path itself when it is no link.
std::filesystem::path followLinks(const std::filesystem::path& file);

// Creates the folder and any missing parents with access for the user alone;
// folders that exist keep their modes. Returns the error's text on failure.
std::optional<std::string> createPrivateFolders(const std::filesystem::path& folder);

// Who the file is at the moment: a replacement by rename, or a write in place,
// gives another stamp. Nothing when it does not exist.
struct FileStamp {
    unsigned long long device = 0, inode = 0, size = 0;
    long long modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> stampOf(const std::filesystem::path& file);

}  // namespace orvela
