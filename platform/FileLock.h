#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvela {

// An advisory lock (flock) on a lock file beside a data file, so that the
// processes sharing the data file take turns at a read-modify-write: each one
// reads what the others stored before it writes. The lock file stays; removing it
// would let two processes lock two different files.
class FileLock {
public:
    // Waits a moment for another holder; a holder that keeps it longer is taken
    // to be stuck, and the lock is not had.
    explicit FileLock(const std::filesystem::path& dataFile, double patienceSeconds = 2);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Whether the turn is ours. A lock that is not held, for whatever reason
    // (another holder, a lock file that cannot be made or opened, a file system
    // without locks), means the caller must not write: error() says why.
    bool held() const { return fd_ >= 0; }
    // Not held only because another process holds it: worth trying again later.
    bool busy() const { return busy_; }
    const std::optional<std::string>& error() const { return error_; }

    static std::filesystem::path lockFileOf(const std::filesystem::path& dataFile);

private:
    int fd_ = -1;
    bool busy_ = false;
    std::optional<std::string> error_;
};

}  // namespace orvela
