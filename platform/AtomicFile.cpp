#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvela {
namespace {

std::string errnoText(std::string_view what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

bool writeAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::filesystem::path& file,
                                               std::string_view contents) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) return "cannot create " + folder.string() + ": " + code.message();
    ::chmod(folder.c_str(), S_IRWXU);

    std::string temporary = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) return errnoText("cannot create a temporary file in", folder);
    bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    std::string failure = written ? std::string() : errnoText("cannot write", temporary);
    if (::close(fd) != 0 && written) {
        written = false;
        failure = errnoText("cannot close", temporary);
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return failure;
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        failure = errnoText("cannot replace", file);
        ::unlink(temporary.c_str());
        return failure;
    }
    // The rename itself reaches the disk only with the folder's entry.
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return std::nullopt;
}

FileContents readWholeFile(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        return {std::nullopt, errnoText("cannot read", file)};
    }
    std::string text;
    char chunk[65536];
    for (;;) {
        ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            FileContents failed{std::nullopt, errnoText("cannot read", file)};
            ::close(fd);
            return failed;
        }
        if (count == 0) break;
        text.append(chunk, static_cast<size_t>(count));
    }
    ::close(fd);
    return {std::move(text), std::nullopt};
}

std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = file.string() + ".corrupt-" + stamp;
        if (attempt > 0) name += "-" + std::to_string(attempt);
        std::filesystem::path target(name);
        if (std::filesystem::exists(target)) continue;
        if (::rename(file.c_str(), target.c_str()) == 0) return target;
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace orvela
