#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace orvela::testing {

// A 64 KiB tmpfs on the folder for as long as the object lives: a disk that
// fills up. Mounting needs root and mount rights; mounted() says whether it worked.
class SmallDisk {
public:
    explicit SmallDisk(std::filesystem::path folder) : folder_(std::move(folder)) {
        std::filesystem::create_directories(folder_);
        std::string mount = "mount -t tmpfs -o size=64k,mode=0700 tmpfs " + folder_.string() + " 2>/dev/null";
        mounted_ = ::geteuid() == 0 && std::system(mount.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) [[maybe_unused]] int status = std::system(("umount -l " + folder_.string()).c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

// Runs the work as "a" and as "b" in two processes at once, each ending with
// _exit; both exit statuses.
inline std::pair<int, int> inTwoProcesses(const std::function<void(const std::string& name)>& work) {
    pid_t a = ::fork();
    if (a == 0) work("a");
    pid_t b = ::fork();
    if (b == 0) work("b");
    int statusA = 0, statusB = 0;
    ::waitpid(a, &statusA, 0);
    ::waitpid(b, &statusB, 0);
    return {WEXITSTATUS(statusA), WEXITSTATUS(statusB)};
}

}  // namespace orvela::testing
