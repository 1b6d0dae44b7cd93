// notifications.json under what happens to it on a real desktop: entries another
// version wrote, a second process saving at the same time, a kill in the middle
// of a save, a full disk.
#include "platform/AtomicFile.h"
#include "reminders/NotificationStore.h"
#include "tests/unit/StoreFaults.h"
#include "tests/unit/TemporaryFolder.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela {
namespace {

namespace fs = std::filesystem;

// Entries of a later version: a trigger of a kind this one does not know, a
// shown notification of another form, and a member of its own.
const std::string laterPending = R"({"identifier":"reminder:later","title":"Каждый час","trigger":{"every":3600}})";
const std::string laterShown = R"({"portal":"/org/freedesktop/portal/desktop","handle":7})";
const std::string laterMember = R"("version":2)";

const std::string laterFile = R"({"version":2,"pending":[)" + laterPending +
    R"(,{"identifier":"reminder:known","title":"Позвонить","body":"Напоминание Orvela","defaultSound":true,)"
    R"("userInfo":{"itemId":"42"},"trigger":{"year":2030,"month":1,"day":2,"hour":3,"minute":4,"second":5}}],)"
    R"("shown":[)" + laterShown + "]}";

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The later version's entries are in the file, each once and as they were written.
::testing::AssertionResult keepsTheLaterEntries(const fs::path& file) {
    std::string text = contentsOf(file);
    for (const auto& entry : {laterPending, laterShown, laterMember}) {
        if (occurrences(text, entry) != 1)
            return ::testing::AssertionFailure() << entry << " is there " << occurrences(text, entry) << " times in " << text;
    }
    return ::testing::AssertionSuccess();
}

NotificationRequest requestNamed(const std::string& identifier) {
    return {identifier, "Напомнить", "Напоминание Orvela", true, {{"itemId", "1"}}, {2030, 1, 2, 3, 4, 5}};
}

std::set<std::string> pendingIn(const fs::path& file) {
    std::set<std::string> identifiers;
    if (auto state = NotificationStore::decode(contentsOf(file)))
        for (const auto& request : state->pending) identifiers.insert(request.identifier);
    return identifiers;
}

struct StoredNotifications : ::testing::Test {
    testing::TemporaryFolder folder;
    fs::path file = folder / "orvela/notifications.json";

    void SetUp() override { ASSERT_FALSE(writeFileAtomically(file, laterFile)); }
};

TEST_F(StoredNotifications, EntriesThisVersionCannotReadSurviveEverySave) {
    NotificationStore store(file);
    NotificationState state = store.load();
    ASSERT_EQ(state.pending.size(), 1u);
    EXPECT_EQ(state.pending[0].identifier, "reminder:known");

    ASSERT_TRUE(store.save({NotificationStore::upsert(requestNamed("reminder:new"))}, state));
    EXPECT_TRUE(keepsTheLaterEntries(file));
    ASSERT_TRUE(store.save({NotificationStore::remove({"reminder:known", "reminder:new"}),
                            NotificationStore::addShown({"bus/:1.7", 3, 1.7e9, requestNamed("reminder:known")})},
                           state));
    EXPECT_TRUE(keepsTheLaterEntries(file));
    EXPECT_TRUE(pendingIn(file).empty());

    // The next start reads them aside again and keeps them through its own saves.
    NotificationStore restarted(file);
    state = restarted.load();
    ASSERT_TRUE(restarted.save({NotificationStore::removeShown("bus/:1.7", 3)}, state));
    EXPECT_TRUE(keepsTheLaterEntries(file));
    ASSERT_TRUE(NotificationStore::decode(contentsOf(file)));
}

TEST_F(StoredNotifications, TwoProcessesSavingAtOnceKeepEachOthersRequests) {
    const int perProcess = 150;
    auto work = [&](const std::string& name) {
        NotificationStore store(file);
        NotificationState known = store.load();
        for (int i = 0; i < perProcess; ++i) {
            // The lock's waiter may lose every try while its peer takes the lock
            // again at once; a save refused that way is made again, as the
            // scheduler's next turn would.
            auto saved = store.save({NotificationStore::upsert(requestNamed(name + std::to_string(i)))}, known);
            for (int retry = 0; !saved && retry < 5; ++retry)
                saved = store.save({NotificationStore::upsert(requestNamed(name + std::to_string(i)))}, known);
            if (!saved) _exit(2);
            known = std::move(*saved);
        }
        _exit(0);
    };
    auto [statusA, statusB] = testing::inTwoProcesses(work);
    ASSERT_EQ(statusA, 0);
    ASSERT_EQ(statusB, 0);

    std::set<std::string> expected{"reminder:known"};
    for (int i = 0; i < perProcess; ++i) {
        expected.insert("a" + std::to_string(i));
        expected.insert("b" + std::to_string(i));
    }
    EXPECT_EQ(pendingIn(file), expected);
    EXPECT_TRUE(keepsTheLaterEntries(file));
}

TEST_F(StoredNotifications, AKillInTheMiddleOfASaveLosesNothingThatWasSaved) {
    std::mt19937 random(std::random_device{}());
    const int trials = 60;
    std::set<std::string> saved;
    for (int trial = 0; trial < trials; ++trial) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t child = fork();
        if (child == 0) {
            close(report[0]);
            NotificationStore store(file);
            NotificationState known = store.load();
            for (int i = 0;; ++i) {
                std::string identifier = "t" + std::to_string(trial) + "-" + std::to_string(i);
                if (!store.save({NotificationStore::upsert(requestNamed(identifier))}, known)) _exit(2);
                // Told only once the save has returned.
                identifier += "\n";
                if (write(report[1], identifier.data(), identifier.size()) < 0) _exit(3);
            }
        }
        close(report[1]);
        usleep(std::uniform_int_distribution<useconds_t>(2000, 40000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving process ended by itself: " << WEXITSTATUS(status);
        std::string told;
        char buffer[4096];
        for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) told.append(buffer, static_cast<size_t>(n));
        close(report[0]);
        for (size_t start = 0, end; (end = told.find('\n', start)) != std::string::npos; start = end + 1)
            saved.insert(told.substr(start, end - start));

        ASSERT_TRUE(NotificationStore::decode(contentsOf(file))) << "trial " << trial << ": the file is broken";
        ASSERT_TRUE(keepsTheLaterEntries(file)) << "trial " << trial;
    }
    auto stored = pendingIn(file);
    std::vector<std::string> lost;
    std::set_difference(saved.begin(), saved.end(), stored.begin(), stored.end(), std::back_inserter(lost));
    EXPECT_TRUE(lost.empty()) << lost.size() << " of " << saved.size() << " saved requests lost, first " << lost[0];
    EXPECT_GT(saved.size(), 0u);
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        EXPECT_EQ(entry.path().string().find(".corrupt-"), std::string::npos) << entry.path() << " was moved aside";
}

TEST_F(StoredNotifications, AFullDiskFailsTheSaveOnceLoggedAndKeepsTheFileAsItWas) {
    const fs::path disk = folder / "disk";
    testing::SmallDisk small(disk);
    if (!small.mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (this test needs root and mount rights)";
    file = disk / "notifications.json";
    ASSERT_FALSE(writeFileAtomically(file, laterFile));
    NotificationStore store(file);
    NotificationState known = store.load();
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }

    std::vector<NotificationChange> changes{NotificationStore::upsert(requestNamed("reminder:new"))};
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(store.save(changes, known));
    EXPECT_FALSE(store.save(changes, known));
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    EXPECT_EQ(contentsOf(file), laterFile);

    fs::remove(disk / "filler");
    ASSERT_TRUE(store.save(changes, known));
    EXPECT_EQ(pendingIn(file), (std::set<std::string>{"reminder:known", "reminder:new"}));
    EXPECT_TRUE(keepsTheLaterEntries(file));
}

}  // namespace
}  // namespace orvela
