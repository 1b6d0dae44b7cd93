#include "platform/FileLock.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvela {

std::filesystem::path FileLock::lockFileOf(const std::filesystem::path& dataFile) {
    std::filesystem::path target = followLinks(dataFile);
    return target.parent_path() / (target.filename().string() + ".lock");
}

FileLock::FileLock(const std::filesystem::path& dataFile, double patienceSeconds) {
    std::filesystem::path lockFile = lockFileOf(dataFile);
    if (auto error = createPrivateFolders(lockFile.parent_path())) {
        error_ = *error;
        return;
    }
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file left by another user, or on a read-only mount, still serves:
    // flock needs no write access.
    if (fd_ < 0 && (errno == EACCES || errno == EROFS)) fd_ = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = "cannot open " + lockFile.string() + ": " + std::strerror(errno);
        return;
    }
    struct stat status;
    if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
        error_ = lockFile.string() + " is not a file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    const int pauseMicroseconds = 5000;
    for (double waited = 0;; waited += pauseMicroseconds / 1e6) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error_ = "cannot lock " + lockFile.string() + ": " + std::strerror(errno);
            break;
        }
        if (waited >= patienceSeconds) {
            busy_ = true;
            error_ = lockFile.string() + " is held by another process";
            break;
        }
        ::usleep(pauseMicroseconds);
    }
    ::close(fd_);
    fd_ = -1;
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace orvela
