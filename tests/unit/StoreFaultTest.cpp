// The stores under the faults of a real desktop: a second process on the same
// file, a disk that refuses writes, a file that cannot be read, a dotfile link.
#include "capture/PendingCaptures.h"
#include "platform/DefaultsStore.h"
#include "platform/FileLock.h"
#include "tests/unit/TemporaryFolder.h"

#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela {
namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

unsigned modeOf(const fs::path& path) {
    struct stat status;
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

std::vector<fs::path> asideOf(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".corrupt-") != std::string::npos) found.push_back(entry.path());
    return found;
}

TEST(StoreFaults, TwoStoresOnOneFileMergeTheirWritesAndSeeEachOther) {
    testing::TemporaryFolder folder;
    DefaultsStore first(folder / "defaults.json");
    DefaultsStore second(folder / "defaults.json");
    PendingCaptures firstQueue(first, "pendingCaptures");
    PendingCaptures secondQueue(second, "pendingCaptures");

    EXPECT_TRUE(firstQueue.add("из первого"));
    EXPECT_TRUE(second.setObject(std::string("1,2,3,4"), "OrvelaMainFrame"));
    EXPECT_TRUE(secondQueue.add("из второго"));
    EXPECT_EQ(firstQueue.items(), (Texts{"из первого", "из второго"}));
    EXPECT_EQ(first.stringForKey("OrvelaMainFrame"), "1,2,3,4");
    EXPECT_TRUE(firstQueue.removeFirst("из первого"));
    EXPECT_EQ(secondQueue.items(), Texts{"из второго"});
}

TEST(StoreFaults, TwoProcessesInterleavingAThousandChangesLoseNothing) {
    testing::TemporaryFolder folder;
    const fs::path file = folder / "defaults.json";
    const int perProcess = 500;
    // Each process appends its own texts and, every other step, takes the head
    // off if it is its own, writing down what it took. A write refused because the
    // other process held the file is tried again, as the application does.
    auto work = [&](const std::string& name) {
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        std::ofstream taken(folder / (name + ".taken"));
        for (int i = 0; i < perProcess; ++i) {
            while (!queue.add(name + std::to_string(i))) {
                if (!store.lastFailureWasBusy()) _exit(2);
            }
            if (i % 2 == 1) {
                auto items = queue.items();
                if (!items.empty() && items.front().starts_with(name) && queue.removeFirst(items.front()))
                    taken << items.front() << "\n" << std::flush;
            }
        }
        _exit(0);
    };
    pid_t a = fork();
    if (a == 0) work("a");
    pid_t b = fork();
    if (b == 0) work("b");
    int statusA = 0, statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    ASSERT_EQ(WEXITSTATUS(statusA), 0);
    ASSERT_EQ(WEXITSTATUS(statusB), 0);

    DefaultsStore store(file);
    std::multiset<std::string> everything;
    for (const auto& text : PendingCaptures(store, "pendingCaptures").items()) everything.insert(text);
    size_t removed = 0;
    for (const char* name : {"a.taken", "b.taken"}) {
        std::ifstream taken(folder / name);
        for (std::string line; std::getline(taken, line); ++removed) everything.insert(line);
    }
    EXPECT_GT(removed, 0u);
    std::multiset<std::string> expected;
    for (int i = 0; i < perProcess; ++i) {
        expected.insert("a" + std::to_string(i));
        expected.insert("b" + std::to_string(i));
    }
    EXPECT_EQ(everything, expected) << "every text is either still queued or was taken, exactly once";
}

TEST(StoreFaults, ARefusingDiskIsReportedLoggedOnceAndCaughtUpLater) {
    testing::TemporaryFolder folder;
    DefaultsStore store(folder / "orvela/defaults.json");
    PendingCaptures queue(store, "pendingCaptures");
    std::ofstream(folder / "orvela") << "a file where the folder should be";

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(queue.add("не влезло"));
    EXPECT_FALSE(store.setBool(false, "showDockBadge"));
    EXPECT_FALSE(store.setBool(true, "showMenuBarIcon"));
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    // A setting the disk refused is still the setting of this run; a capture is not queued.
    EXPECT_FALSE(store.boolForKey("showDockBadge"));
    EXPECT_TRUE(store.objectForKey("showDockBadge").has_value());
    EXPECT_TRUE(queue.items().empty());

    fs::remove(folder / "orvela");
    EXPECT_TRUE(queue.add("влезло"));
    DefaultsStore reread(folder / "orvela/defaults.json");
    EXPECT_EQ(reread.stringArrayForKey("pendingCaptures"), Texts{"влезло"});
    EXPECT_EQ(reread.objectForKey("showDockBadge"), std::optional<DefaultsValue>(false));
    EXPECT_EQ(reread.objectForKey("showMenuBarIcon"), std::optional<DefaultsValue>(true));
}

void giveTo(const fs::path& path, uid_t user) { EXPECT_EQ(::chown(path.c_str(), user, user), 0) << path; }

// Run in a child process as an unprivileged user, as setpriv --reuid would: root
// reads every file whatever its mode. The child's exit status is the answer.
int asAnotherUser(const fs::path& folder, const std::function<int()>& check) {
    const uid_t nobody = 65534;
    if (::getuid() == 0) giveTo(folder, nobody);
    pid_t child = fork();
    if (child == 0) {
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
                                ::setresuid(nobody, nobody, nobody) != 0))
            _exit(99);
        _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// A file left behind by another user (or by root), readable by its owner only.
void makeForeign(const fs::path& file) {
    if (::getuid() == 0) giveTo(file, 0);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    if (::getuid() != 0) fs::permissions(file, fs::perms::none);
}

TEST(StoreFaults, AFileThatCannotBeReadStaysAndNoCaptureIsCalledStoredUntilItCanBe) {
    testing::TemporaryFolder folder;
    const fs::path file = folder / "defaults.json";
    std::ofstream(file) << R"({"pendingCaptures": ["в очереди"], "showDockBadge": false})";
    makeForeign(file);
    int answer = asAnotherUser(folder.path(), [&] {
        ::testing::internal::CaptureStderr();
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        bool refused = !queue.add("раз") && !queue.add("два") && !queue.beginDelivery("три");
        std::string logged = ::testing::internal::GetCapturedStderr();
        if (!refused) return 1;
        if (std::count(logged.begin(), logged.end(), '\n') != 1) return 2;
        // A setting is kept for the run, in memory.
        store.setBool(false, "showMenuBarIcon");
        if (store.objectForKey("showMenuBarIcon") != std::optional<DefaultsValue>(false)) return 3;
        return 0;
    });
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_TRUE(asideOf(folder.path()).empty());

    // Readable again: the queue that was there is kept and the next capture joins it.
    if (::getuid() == 0) giveTo(file, 65534);
    else fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    answer = asAnotherUser(folder.path(), [&] {
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        return queue.add("после") && queue.items() == Texts{"в очереди", "после"} ? 0 : 1;
    });
    EXPECT_EQ(answer, 0);
}

TEST(StoreFaults, AFolderInPlaceOfTheFileStaysAndTheStoreRunsFromMemory) {
    testing::TemporaryFolder folder;
    fs::create_directories(folder / "defaults.json");
    std::ofstream(folder / "defaults.json/inside") << "keep me";
    ::testing::internal::CaptureStderr();
    DefaultsStore store(folder / "defaults.json");
    EXPECT_FALSE(PendingCaptures(store, "pendingCaptures").add("не сохранится"));
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    EXPECT_EQ(contentsOf(folder / "defaults.json/inside"), "keep me");
    EXPECT_TRUE(asideOf(folder.path()).empty());
}

TEST(StoreFaults, TextsOfMovedAsideFilesAreQueuedOnceAndOnlyFromFilesThatParse) {
    testing::TemporaryFolder folder;
    const fs::path file = folder / "defaults.json";
    std::ofstream(folder / "defaults.json.corrupt-20240101-101010")
        << R"({"pendingCaptures": ["из очереди", 7], "pendingCapturesInFlight": ["на пути"]})";
    std::ofstream(folder / "defaults.json.corrupt-20240202-101010") << R"({"pendingCaptures": ["обрыв)";
    {
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        ASSERT_TRUE(queue.add("свежая"));
        EXPECT_TRUE(queue.recoverMovedAside());
        EXPECT_EQ(queue.items(), (Texts{"свежая", "из очереди", "на пути"}));
    }
    DefaultsStore restarted(file);
    PendingCaptures queue(restarted, "pendingCaptures");
    EXPECT_TRUE(queue.recoverMovedAside());
    EXPECT_EQ(queue.items(), (Texts{"свежая", "из очереди", "на пути"}));
}

TEST(StoreFaults, AFileThatBecomesUnreadableIsNeverWrittenOver) {
    testing::TemporaryFolder folder;
    DefaultsStore store(folder / "defaults.json");
    ASSERT_TRUE(store.setBool(true, "showDockBadge"));
    fs::remove(folder / "defaults.json");
    fs::create_directories(folder / "defaults.json");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PendingCaptures(store, "pendingCaptures").add("x"));
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fs::is_directory(folder / "defaults.json"));
}

TEST(StoreFaults, ABrokenFileFoundAtAWriteIsMovedAsideAndTheKnownValuesKept) {
    testing::TemporaryFolder folder;
    DefaultsStore store(folder / "defaults.json");
    PendingCaptures queue(store, "pendingCaptures");
    ASSERT_TRUE(queue.add("раньше"));
    std::ofstream(folder / "defaults.json") << "{half an edit";
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(queue.add("позже"));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(queue.items(), (Texts{"раньше", "позже"}));
    auto aside = asideOf(folder.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(contentsOf(aside[0]), "{half an edit");
}

TEST(StoreFaults, ALinkedFileStaysALinkAndFoldersKeepTheirModes) {
    testing::TemporaryFolder folder;
    fs::create_directories(folder / "dotfiles");
    fs::permissions(folder / "dotfiles", fs::perms(0755));
    std::ofstream(folder / "dotfiles/orvela.json") << "{}";
    fs::create_directories(folder / "config");
    fs::create_symlink(folder / "dotfiles/orvela.json", folder / "config/defaults.json");

    DefaultsStore store(folder / "config/defaults.json");
    ASSERT_TRUE(store.setBool(false, "showMenuBarIcon"));
    EXPECT_TRUE(fs::is_symlink(folder / "config/defaults.json"));
    EXPECT_NE(contentsOf(folder / "dotfiles/orvela.json").find("showMenuBarIcon"), std::string::npos);
    EXPECT_EQ(modeOf(folder / "dotfiles"), 0755u);

    DefaultsStore fresh(folder / "new/orvela/defaults.json");
    ASSERT_TRUE(fresh.setBool(true, "showDockBadge"));
    EXPECT_EQ(modeOf(folder / "new"), 0700u);
    EXPECT_EQ(modeOf(folder / "new/orvela"), 0700u);
}

TEST(StoreFaults, ALockThatCannotBeTakenFailsTheWrite) {
    testing::TemporaryFolder folder;
    const fs::path file = folder / "defaults.json";
    DefaultsStore store(file);
    ASSERT_TRUE(store.setBool(true, "showDockBadge"));
    fs::remove(FileLock::lockFileOf(file));
    fs::create_directories(FileLock::lockFileOf(file));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PendingCaptures(store, "pendingCaptures").add("без замка"));
    EXPECT_FALSE(store.setBool(false, "showDockBadge"));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(DefaultsStore(file).objectForKey("showDockBadge"), std::optional<DefaultsValue>(true));
    EXPECT_EQ(DefaultsStore(file).objectForKey("pendingCaptures"), std::nullopt);

    // A lock file of another user that this one may only read still locks; one
    // it cannot open at all does not.
    fs::remove(FileLock::lockFileOf(file));
    std::ofstream(FileLock::lockFileOf(file)).flush();
    if (::getuid() == 0) giveTo(FileLock::lockFileOf(file), 0);
    fs::permissions(FileLock::lockFileOf(file), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::getuid() == 0) giveTo(file, 65534);
    EXPECT_EQ(asAnotherUser(folder.path(), [&] {
        DefaultsStore other(file);
        return PendingCaptures(other, "pendingCaptures").add("под замком") ? 0 : 1;
    }), 0);
    fs::permissions(FileLock::lockFileOf(file), fs::perms::owner_read | fs::perms::owner_write);
    if (::getuid() != 0) fs::permissions(FileLock::lockFileOf(file), fs::perms::none);
    EXPECT_EQ(asAnotherUser(folder.path(), [&] {
        DefaultsStore other(file);
        return PendingCaptures(other, "pendingCaptures").add("без замка") ? 1 : 0;
    }), 0);
    EXPECT_EQ(DefaultsStore(file).stringArrayForKey("pendingCaptures"), Texts{"под замком"});
}

TEST(StoreFaults, QueueEntriesOfOtherFormsSurviveEverySave) {
    testing::TemporaryFolder folder;
    const fs::path file = folder / "defaults.json";
    std::ofstream(file) << R"({"pendingCaptures": [{"text": "новее", "at": 1}, "a", 5, "b"]})";
    DefaultsStore store(file);
    PendingCaptures queue(store, "pendingCaptures");
    EXPECT_EQ(queue.items(), (Texts{"a", "b"}));
    ASSERT_TRUE(queue.add("c"));
    ASSERT_TRUE(queue.removeFirst("a"));
    ASSERT_TRUE(queue.removeFirst("b"));
    ASSERT_TRUE(queue.removeFirst("c"));
    EXPECT_EQ(nlohmann::json::parse(contentsOf(file))["pendingCaptures"],
              nlohmann::json::parse(R"([{"text": "новее", "at": 1}, 5])"));
}

TEST(StoreFaults, AStuckHolderOfTheLockFailsTheWriteInsteadOfRacingIt) {
    testing::TemporaryFolder folder;
    DefaultsStore store(folder / "defaults.json");
    ASSERT_TRUE(store.setBool(true, "showDockBadge"));
    FileLock stuck(folder / "defaults.json");
    ASSERT_TRUE(stuck.held());
    pid_t child = fork();
    if (child == 0) {
        DefaultsStore other(folder / "defaults.json");
        ::testing::internal::CaptureStderr();
        bool stored = PendingCaptures(other, "pendingCaptures").add("x");
        _exit(stored ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write went ahead without the lock";
}

}  // namespace
}  // namespace orvela
