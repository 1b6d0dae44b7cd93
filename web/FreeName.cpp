#include "web/FreeName.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvela {
namespace {

// The longest file name Linux file systems take is 255 bytes; the engine writes
// the download under the name followed by ".wkdownload" until it is complete.
constexpr size_t longestName = 255 - 11;
// A longer "extension" is part of the name rather than a type.
constexpr size_t longestExtension = 32;

std::string plainFileName(const std::string& suggested) {
    std::string name = suggested;
    for (char& c : name) {
        if (c == '/' || c == '\0') c = '_';
    }
    name.erase(0, name.find_first_not_of('.'));
    return name;
}

// At most the given number of bytes, never cutting a UTF-8 character in two.
std::string shortened(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string nameWith(const std::string& base, const std::string& suffix, const std::string& extension) {
    std::string tail = suffix + (extension.empty() ? "" : "." + extension);
    return shortened(base, longestName - tail.size()) + tail;
}

}  // namespace

std::optional<std::filesystem::path> freeName(const std::string& suggested, const std::filesystem::path& folder) {
    std::string name = plainFileName(suggested);
    if (name.empty()) name = "Orvela";
    // The extension is what follows the last dot, unless the dot ends the name.
    std::string base = name;
    std::string extension;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot + 1 < name.size() && name.size() - dot - 1 <= longestExtension) {
        base = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }
    for (unsigned long n = 1; n < 100000; ++n) {
        auto candidate = folder / nameWith(base, n == 1 ? "" : std::string(" ").append(std::to_string(n)), extension);
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace orvela
