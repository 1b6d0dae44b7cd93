#pragma once

#include <filesystem>
#include <string>

namespace orvela::Desktop {

// Hands the address to the user's default handler for its scheme (the browser for
// web pages, the mail program for mailto:). A failure is logged.
void openUri(const std::string& uri);

// Shows the folder in the file manager (org.freedesktop.FileManager1), or opens
// it with the default handler for folders when no file manager answers.
void revealFolder(const std::filesystem::path& folder);

// The user's Downloads folder, ~/Downloads when none is configured.
std::filesystem::path downloadsFolder();

}  // namespace orvela::Desktop
