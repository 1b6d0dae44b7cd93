// The queue kept as stored lists plus a journal of the changes since: what a
// restart, a crash, another process or an earlier version finds.
#include "capture/PendingCaptures.h"
#include "tests/unit/StoreFaults.h"
#include "tests/unit/TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>
#include <unistd.h>

namespace orvela {
namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

struct Journal : ::testing::Test {
    testing::TemporaryFolder folder;
    fs::path file = folder / "defaults.json";
    fs::path journal = folder / "defaults.json.pendingCaptures.journal";

    // The lists as an earlier version reads them: straight from the defaults.
    Texts storedList(const std::string& key = "pendingCaptures") {
        return DefaultsStore(file).stringArrayForKey(key).value_or(Texts{});
    }
    // What the next start of the application finds.
    Texts afterRestart() {
        DefaultsStore store(file);
        return PendingCaptures(store, "pendingCaptures").items();
    }
};

TEST_F(Journal, ChangesCostALineAndTheStoredListsCatchUpInTheirOldForm) {
    DefaultsStore store(file);
    PendingCaptures queue(store, "pendingCaptures");
    ASSERT_TRUE(queue.add("a"));
    ASSERT_TRUE(queue.add("b"));
    ASSERT_TRUE(queue.removeFirst("a"));
    EXPECT_EQ(afterRestart(), Texts{"b"});
    auto small = fs::file_size(journal);

    Texts expected{"b"};
    for (size_t i = 4; i < PendingCaptures::compactAfter; ++i) {  // the last line fills the journal
        ASSERT_TRUE(queue.add("t" + std::to_string(i)));
        expected.push_back("t" + std::to_string(i));
    }
    EXPECT_GT(fs::file_size(journal), small);
    ASSERT_TRUE(queue.add("last"));
    expected.push_back("last");
    EXPECT_LE(fs::file_size(journal), small) << "the journal starts again once the lists are stored";
    EXPECT_EQ(storedList(), expected);
    EXPECT_EQ(afterRestart(), expected);
}

TEST_F(Journal, ALineCutShortByACrashIsDroppedAndTheNextLineStandsAlone) {
    {
        DefaultsStore store(file);
        ASSERT_TRUE(PendingCaptures(store, "pendingCaptures").add("целая"));
    }
    std::ofstream(journal, std::ios::app) << R"(["add","обры)";
    DefaultsStore store(file);
    PendingCaptures queue(store, "pendingCaptures");
    EXPECT_EQ(queue.items(), Texts{"целая"});
    ASSERT_TRUE(queue.add("следующая"));
    EXPECT_EQ(afterRestart(), (Texts{"целая", "следующая"}));
}

TEST_F(Journal, AJournalOlderThanTheStoredListsIsSpent) {
    // A crash after the lists were stored and before the journal started again.
    std::ofstream(file) << R"({"pendingCaptures": ["x"], "pendingCapturesGeneration": 3})";
    std::ofstream(journal) << "{\"generation\":2}\n[\"add\",\"x\"]\n";
    EXPECT_EQ(afterRestart(), Texts{"x"});

    std::ofstream(journal) << "{\"generation\":3}\n[\"add\",\"y\"]\n[\"beginDelivery\",\"z\"]\n";
    DefaultsStore store(file);
    PendingCaptures queue(store, "pendingCaptures");
    EXPECT_EQ(queue.items(), (Texts{"x", "y"}));
    EXPECT_EQ(queue.inFlight(), Texts{"z"});
}

TEST_F(Journal, AnEarlierVersionRunMeanwhileLosesNoTextOfEither) {
    {
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        for (size_t i = 0; i < PendingCaptures::compactAfter; ++i) ASSERT_TRUE(queue.add("old" + std::to_string(i)));
        ASSERT_TRUE(queue.add("new"));
        ASSERT_TRUE(queue.removeFirst("old0"));
    }
    // The earlier version reads the stored list, sends two texts and queues one
    // of its own, rewriting the whole list as it always did.
    Texts earlier = storedList();
    ASSERT_EQ(earlier.size(), PendingCaptures::compactAfter);
    ASSERT_EQ(earlier.front(), "old0");
    earlier.erase(earlier.begin(), earlier.begin() + 2);
    earlier.push_back("from the earlier version");
    {
        DefaultsStore store(file);
        ASSERT_TRUE(store.setObject(earlier, "pendingCaptures"));
    }
    Texts queued = afterRestart();
    for (const auto* text : {"new", "from the earlier version", "old2", "old255"})
        EXPECT_NE(std::find(queued.begin(), queued.end(), text), queued.end()) << text;
    EXPECT_EQ(std::count(queued.begin(), queued.end(), "old1"), 0) << "sent by the earlier version";
}

TEST_F(Journal, ListsAnEarlierVersionRewroteMeanwhileAreNotWrittenOver) {
    DefaultsStore store(file);
    PendingCaptures queue(store, "pendingCaptures");
    ASSERT_TRUE(queue.add("new"));
    {
        DefaultsStore earlier(file);
        ASSERT_TRUE(earlier.setObject(Texts{"from the earlier version"}, "pendingCaptures"));
    }
    for (size_t i = 1; i < PendingCaptures::compactAfter; ++i) ASSERT_TRUE(queue.add("t" + std::to_string(i)));
    Texts stored = storedList();
    ASSERT_EQ(stored.size(), PendingCaptures::compactAfter + 1) << "the lists were not stored";
    EXPECT_EQ(stored[0], "from the earlier version");
    EXPECT_EQ(stored[1], "new");
}

TEST_F(Journal, AnyMixOfChangesAndRestartsReadsAsTheSameQueue) {
    std::mt19937 random(20);
    QueueState model;
    auto store = std::make_unique<DefaultsStore>(file);
    auto queue = std::make_unique<PendingCaptures>(*store, "pendingCaptures");
    for (int step = 0; step < 900; ++step) {
        std::string text = "t" + std::to_string(random() % 40);
        switch (random() % 6) {
        case 0:
        case 1:
            ASSERT_TRUE(queue->add(text));
            model.apply(QueueState::Operation::add, text);
            break;
        case 2:
            if (model.queue.empty()) break;
            text = model.queue.front();
            ASSERT_TRUE(queue->removeFirst(text));
            model.apply(QueueState::Operation::removeFirst, text);
            break;
        case 3:
            ASSERT_TRUE(queue->beginDelivery(text));
            model.apply(QueueState::Operation::beginDelivery, text);
            break;
        case 4:
            ASSERT_TRUE(queue->delivered(text));
            model.apply(QueueState::Operation::delivered, text);
            break;
        case 5:
            if (model.inFlight.empty()) break;
            text = model.inFlight.back();
            ASSERT_TRUE(queue->returnToQueue(text));
            model.apply(QueueState::Operation::returnToQueue, text);
            break;
        }
        if (random() % 50 == 0) {
            queue.reset();
            store = std::make_unique<DefaultsStore>(file);
            queue = std::make_unique<PendingCaptures>(*store, "pendingCaptures");
        }
        ASSERT_EQ(queue->items(), Texts(model.queue.begin(), model.queue.end())) << "step " << step;
    }
    EXPECT_EQ(queue->inFlight(), model.inFlight);
}

// A disk that fills up between two lines: a line that does not fit is refused
// whole, and nothing half-written is left for the next one to be glued to.
TEST(JournalOnAFullDisk, ALineThatDoesNotFitIsRefusedWholeAndTheQueueGoesOnOnceThereIsRoom) {
    testing::TemporaryFolder folder;
    const fs::path disk = folder / "disk";
    testing::SmallDisk small(disk);
    if (!small.mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (this test needs root and mount rights)";

    const fs::path file = disk / "defaults.json";
    Texts stored;
    {
        DefaultsStore store(file);
        PendingCaptures queue(store, "pendingCaptures");
        ASSERT_TRUE(queue.add("before"));
        stored.push_back("before");
        {
            std::ofstream filler(disk / "filler", std::ios::binary);
            std::string block(1024, 'x');
            while (filler.write(block.data(), block.size()) && filler.flush()) {
            }
        }
        ::testing::internal::CaptureStderr();
        // Longer and longer texts until one does not fit.
        std::string text(100, 'y');
        for (int i = 0; i < 200 && queue.add(text); ++i) {
            stored.push_back(text);
            text += std::string(200, 'y');
        }
        EXPECT_FALSE(queue.add(text)) << "the disk never filled";
        EXPECT_FALSE(queue.beginDelivery(text));
        std::string logged = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
        EXPECT_EQ(queue.items(), stored);
        EXPECT_TRUE(queue.inFlight().empty());

        fs::remove(disk / "filler");
        ASSERT_TRUE(queue.add("after"));
        stored.push_back("after");
    }
    DefaultsStore store(file);
    EXPECT_EQ(PendingCaptures(store, "pendingCaptures").items(), stored);
}

}  // namespace
}  // namespace orvela
