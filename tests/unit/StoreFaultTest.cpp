// The stores under the faults of a real desktop: a second process on the same
// file, a disk that refuses writes, a file that cannot be read, a dotfile link.
#include "capture/PendingCaptures.h"
#include "platform/DefaultsStore.h"
#include "platform/FileLock.h"
#include "tests/unit/StoreFaults.h"
#include "tests/unit/TemporaryFolder.h"

#include <fstream>
#include <functional>
#include <csignal>
#include <cstdio>
#include <grp.h>
#include <gtest/gtest.h>
#include <random>
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

// The settings and the queue each have a lock file: the defaults' own, and the
// journal's beside them.
std::vector<fs::path> lockFilesOf(const fs::path& file) {
    return {FileLock::lockFileOf(file), FileLock::lockFileOf(fs::path(file.string() + ".pendingCaptures.journal"))};
}

Texts queuedIn(const fs::path& file) {
    DefaultsStore store(file);
    return PendingCaptures(store, "pendingCaptures").items();
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
                if (!queue.busy()) _exit(2);
            }
            if (i % 2 == 1) {
                auto items = queue.items();
                if (!items.empty() && items.front().starts_with(name) && queue.removeFirst(items.front()))
                    taken << items.front() << "\n" << std::flush;
            }
        }
        _exit(0);
    };
    auto [statusA, statusB] = testing::inTwoProcesses(work);
    ASSERT_EQ(statusA, 0);
    ASSERT_EQ(statusB, 0);

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
    EXPECT_EQ(queuedIn(folder / "orvela/defaults.json"), Texts{"влезло"});
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
    EXPECT_TRUE(store.setBool(true, "showDockBadge"));
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
    for (const auto& lock : lockFilesOf(file)) {
        fs::remove(lock);
        fs::create_directories(lock);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PendingCaptures(store, "pendingCaptures").add("без замка"));
    EXPECT_FALSE(store.setBool(false, "showDockBadge"));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(DefaultsStore(file).objectForKey("showDockBadge"), std::optional<DefaultsValue>(true));
    for (const auto& lock : lockFilesOf(file)) fs::remove(lock);
    EXPECT_TRUE(queuedIn(file).empty());

    // A lock file of another user that this one may only read still locks; one
    // it cannot open at all does not.
    for (const auto& lock : lockFilesOf(file)) {
        std::ofstream(lock).flush();
        if (::getuid() == 0) giveTo(lock, 0);
        fs::permissions(lock, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    if (::getuid() == 0) {
        giveTo(file, 65534);
        giveTo(file.string() + ".pendingCaptures.journal", 65534);
    }
    EXPECT_EQ(asAnotherUser(folder.path(), [&] {
        DefaultsStore other(file);
        return PendingCaptures(other, "pendingCaptures").add("под замком") ? 0 : 1;
    }), 0);
    for (const auto& lock : lockFilesOf(file)) {
        fs::permissions(lock, fs::perms::owner_read | fs::perms::owner_write);
        if (::getuid() != 0) fs::permissions(lock, fs::perms::none);
    }
    EXPECT_EQ(asAnotherUser(folder.path(), [&] {
        DefaultsStore other(file);
        return PendingCaptures(other, "pendingCaptures").add("без замка") ? 1 : 0;
    }), 0);
    EXPECT_EQ(queuedIn(file), Texts{"под замком"});
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
    // Enough changes for the journal to be written into the stored list.
    for (size_t i = 4; i < PendingCaptures::compactAfter; i += 2) {
        ASSERT_TRUE(queue.add("d"));
        ASSERT_TRUE(queue.removeFirst("d"));
    }
    EXPECT_EQ(nlohmann::json::parse(contentsOf(file))["pendingCaptures"],
              nlohmann::json::parse(R"([{"text": "новее", "at": 1}, 5])"));
}

TEST(StoreFaults, AStuckHolderOfTheLockFailsTheWriteInsteadOfRacingIt) {
    testing::TemporaryFolder folder;
    DefaultsStore store(folder / "defaults.json");
    ASSERT_TRUE(store.setBool(true, "showDockBadge"));
    FileLock stuckSettings(folder / "defaults.json");
    FileLock stuckQueue(folder / "defaults.json.pendingCaptures.journal");
    ASSERT_TRUE(stuckSettings.held() && stuckQueue.held());
    pid_t child = fork();
    if (child == 0) {
        DefaultsStore other(folder / "defaults.json");
        ::testing::internal::CaptureStderr();
        PendingCaptures queue(other, "pendingCaptures");
        if (queue.add("x") || !queue.busy()) _exit(1);
        _exit(other.setBool(false, "showDockBadge") ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write went ahead without the lock";
}

// Killed while the journal is written into the defaults and started again: every
// text reported stored is there after the restart, none more than once.
TEST(StoreFaults, KilledDuringCompactionLosesNothing) {
    std::mt19937 random(std::random_device{}());
    const int trials = 60;
    int lost = 0, duplicated = 0, unreadable = 0;
    for (int trial = 0; trial < trials; ++trial) {
        testing::TemporaryFolder folder;
        const fs::path file = folder / "defaults.json";
        // A journal a few lines short of being written into the defaults.
        const int journalled = static_cast<int>(PendingCaptures::compactAfter) - 6;
        {
            std::ofstream journal(file.string() + ".pendingCaptures.journal");
            journal << "{\"generation\":0}\n";
            for (int i = 0; i < journalled; ++i) journal << "[\"add\",\"p" << i << "\"]\n";
        }
        int reports[2];
        ASSERT_EQ(::pipe(reports), 0);
        pid_t child = fork();
        if (child == 0) {
            ::close(reports[0]);
            DefaultsStore store(file);
            PendingCaptures queue(store, "pendingCaptures");
            for (int i = 0;; ++i) {
                if (!queue.add("t" + std::to_string(i))) _exit(2);
                if (::write(reports[1], &i, sizeof i) != sizeof i) _exit(3);
            }
        }
        ::close(reports[1]);
        // The add after the last reported one fills the journal: the kill lands
        // somewhere in writing the lists, starting the journal again, or just after.
        const int beforeCompaction = 3 + trial % 3;
        int stored = -1;
        while (stored < beforeCompaction && ::read(reports[0], &stored, sizeof stored) == sizeof stored) {
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 4000)(random));
        ::kill(child, SIGKILL);
        for (int next; ::read(reports[0], &next, sizeof next) == sizeof next;) stored = next;
        ::close(reports[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own: " << WEXITSTATUS(status);

        if (!asideOf(folder.path()).empty()) ++unreadable;
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        auto texts = queue.items();
        std::multiset<std::string> found(texts.begin(), texts.end());
        std::vector<std::string> reported;
        for (int i = 0; i < journalled; ++i) reported.push_back("p" + std::to_string(i));
        for (int i = 0; i <= stored; ++i) reported.push_back("t" + std::to_string(i));
        for (const auto& text : reported) {
            auto count = found.count(text);
            if (count == 0) ++lost;
            if (count > 1) ++duplicated;
        }
        // The queue goes on from where it stood.
        ASSERT_TRUE(queue.add("after"));
        DefaultsStore again(file);
        EXPECT_EQ(PendingCaptures(again, "pendingCaptures").items().size(), texts.size() + 1);
    }
    std::printf("kill -9 during compaction: %d trials, lost %d, duplicated %d, files moved aside %d\n", trials, lost,
                duplicated, unreadable);
    RecordProperty("duplicated", duplicated);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(unreadable, 0);
}

}  // namespace
}  // namespace orvela
