#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvela {
namespace {

std::string errnoText(std::string_view what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

bool writeAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

std::filesystem::path followLinks(const std::filesystem::path& file) {
    std::filesystem::path current = file;
    // As many hops as the kernel itself follows before it gives up.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code code;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, code))) return current;
        auto target = std::filesystem::read_symlink(current, code);
        if (code) return current;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current;
}

std::optional<std::string> createPrivateFolders(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> missing;
    for (auto path = folder; !path.empty(); path = path.parent_path()) {
        struct stat status;
        if (::stat(path.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode)) return path.string() + " is not a folder";
            break;
        }
        missing.push_back(path);
        if (path == path.parent_path()) break;
    }
    for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
        if (::mkdir(path->c_str(), S_IRWXU) != 0 && errno != EEXIST) return errnoText("cannot create", *path);
    }
    return std::nullopt;
}

std::optional<std::string> writeFileAtomically(const std::filesystem::path& link, std::string_view contents) {
    const std::filesystem::path file = followLinks(link);
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    if (auto error = createPrivateFolders(folder)) return error;

    std::string temporary = (folder / std::string(".").append(file.filename().string()).append(".XXXXXX")).string();
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
    if (folderFd < 0) return errnoText("cannot open the folder", folder);
    bool synced = ::fsync(folderFd) == 0;
    if (!synced) failure = errnoText("cannot flush the folder", folder);
    ::close(folderFd);
    if (!synced) return failure;
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
        if (attempt > 0) name.append("-").append(std::to_string(attempt));
        std::filesystem::path target(name);
        std::error_code code;
        if (std::filesystem::exists(std::filesystem::symlink_status(target, code))) continue;
        if (::rename(file.c_str(), target.c_str()) == 0) return target;
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> filesMovedAside(const std::filesystem::path& file) {
    std::vector<std::filesystem::path> found;
    const std::string prefix = file.filename().string() + ".corrupt-";
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), code)) {
        if (entry.path().filename().string().starts_with(prefix)) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::optional<FileStamp> stampOf(const std::filesystem::path& file) {
    struct stat status;
    if (::stat(file.c_str(), &status) != 0) return std::nullopt;
    return FileStamp{static_cast<unsigned long long>(status.st_dev), static_cast<unsigned long long>(status.st_ino),
                     static_cast<unsigned long long>(status.st_size),
                     static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000LL + status.st_mtim.tv_nsec};
}

}  // namespace orvela
