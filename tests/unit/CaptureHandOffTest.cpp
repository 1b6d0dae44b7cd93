#include "app/CaptureHandOff.h"
#include "platform/FileLock.h"
#include "tests/unit/TemporaryFolder.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvela {
namespace {

// A page that answers each capture when the test says so.
class FakePage : public CaptureTarget {
public:
    bool ready = false;
    std::vector<std::string> sent;
    std::vector<std::function<void(bool)>> answers;

    bool bridgeReady() const override { return ready; }
    void capture(const std::string& text, std::function<void(bool)> done) override {
        if (!ready) return done(false);
        sent.push_back(text);
        answers.push_back(std::move(done));
    }
    void answer(size_t index, bool accepted) { answers.at(index)(accepted); }
};

using Texts = std::vector<std::string>;

// Deadlines that pass when the test says so.
struct FakeClock {
    std::vector<std::pair<double, std::function<void()>>> timers;
    CaptureHandOff::Timer timer() {
        return [this](double seconds, std::function<void()> task) { timers.emplace_back(seconds, std::move(task)); };
    }
    void pass() {
        for (auto& [seconds, task] : std::exchange(timers, {})) task();
    }
};

struct HandOff : ::testing::Test {
    DefaultsStore store{std::nullopt};
    PendingCaptures pending{store, "pendingCaptures"};
    std::shared_ptr<FakePage> page = std::make_shared<FakePage>();
    FakeClock clock;
    std::shared_ptr<CaptureHandOff> handOff = CaptureHandOff::create(pending, page, clock.timer());
    std::vector<CaptureOutcome> outcomes;

    void save(const std::string& text) {
        handOff->save(text, [this](CaptureOutcome outcome) { outcomes.push_back(outcome); });
    }
    void queue(Texts texts) {
        for (auto& text : texts) pending.add(text);
    }
};

TEST_F(HandOff, SavingWhileTheLoadIsUnderWayQueuesBeforeReturning) {
    save("  идея\n");
    EXPECT_EQ(outcomes, std::vector<CaptureOutcome>{CaptureOutcome::queued});
    EXPECT_EQ(pending.items(), Texts{"  идея\n"});
    EXPECT_TRUE(page->sent.empty());

    page->ready = true;
    handOff->flushPending();
    ASSERT_EQ(page->sent, Texts{"  идея\n"});
    EXPECT_EQ(pending.items(), Texts{"  идея\n"});  // removed only once accepted
    page->answer(0, true);
    EXPECT_TRUE(pending.items().empty());
}

TEST_F(HandOff, AReadyPageGetsTheTextAndARefusalQueuesIt) {
    page->ready = true;
    save("первое");
    page->answer(0, true);
    save("второе");
    page->answer(1, false);
    EXPECT_EQ(outcomes, (std::vector<CaptureOutcome>{CaptureOutcome::saved, CaptureOutcome::queued}));
    EXPECT_EQ(pending.items(), Texts{"второе"});
}

TEST_F(HandOff, TheQueueGoesInOrderOneTextPerAcceptedAnswer) {
    queue({"a", "b", "c"});
    page->ready = true;
    handOff->flushPending();
    EXPECT_EQ(page->sent, Texts{"a"});
    handOff->flushPending();  // a second ready report while "a" is in flight
    EXPECT_EQ(page->sent, Texts{"a"});
    page->answer(0, true);
    EXPECT_EQ(page->sent, (Texts{"a", "b"}));
    page->answer(1, true);
    page->answer(2, true);
    EXPECT_EQ(page->sent, (Texts{"a", "b", "c"}));
    EXPECT_TRUE(pending.items().empty());
}

TEST_F(HandOff, TheFirstRefusalStopsTheFlushUntilTheNextReadyReport) {
    queue({"a", "b", "c"});
    page->ready = true;
    handOff->flushPending();
    page->answer(0, true);
    page->answer(1, false);
    EXPECT_EQ(page->sent, (Texts{"a", "b"}));
    EXPECT_EQ(pending.items(), (Texts{"b", "c"}));
    EXPECT_FALSE(handOff->flushing());

    handOff->flushPending();
    EXPECT_EQ(page->sent, (Texts{"a", "b", "b"}));
}

TEST_F(HandOff, AFreshCaptureDuringAFlushGoesDirectlyAndJoinsTheEndIfRefused) {
    queue({"a"});
    page->ready = true;
    handOff->flushPending();
    save("fresh");
    EXPECT_EQ(page->sent, (Texts{"a", "fresh"}));
    page->answer(1, false);
    EXPECT_EQ(pending.items(), (Texts{"a", "fresh"}));
    page->answer(0, true);
    EXPECT_EQ(page->sent, (Texts{"a", "fresh", "fresh"}));
}

TEST_F(HandOff, AHeadChangedFromOutsideIsNotRemoved) {
    queue({"a"});
    page->ready = true;
    handOff->flushPending();
    store.setObject(Texts{"other", "a"}, "pendingCaptures");
    page->answer(0, true);
    // "a" was accepted but is no longer the head; the flush goes on with the head.
    EXPECT_EQ(page->sent, (Texts{"a", "other"}));
    EXPECT_EQ(pending.items(), (Texts{"other", "a"}));
}

TEST_F(HandOff, NothingIsSentWhileThePageIsNotReady) {
    queue({"a"});
    handOff->flushPending();
    EXPECT_TRUE(page->sent.empty());
    EXPECT_FALSE(handOff->flushing());
}

TEST_F(HandOff, ATextIsJournalledUntilThePageAnswers) {
    page->ready = true;
    save("в пути");
    EXPECT_EQ(pending.inFlight(), Texts{"в пути"});
    EXPECT_TRUE(outcomes.empty());
    page->answer(0, true);
    EXPECT_TRUE(pending.inFlight().empty());
    EXPECT_TRUE(pending.items().empty());

    save("отказ");
    page->answer(1, false);
    EXPECT_TRUE(pending.inFlight().empty());
    EXPECT_EQ(pending.items(), Texts{"отказ"});
    EXPECT_EQ(outcomes, (std::vector<CaptureOutcome>{CaptureOutcome::saved, CaptureOutcome::queued}));
}

TEST_F(HandOff, ASilentPageCountsAsRefusalAtTheDeadlineAndItsLateAnswerIsIgnored) {
    page->ready = true;
    save("тишина");
    ASSERT_EQ(clock.timers.size(), 1u);
    EXPECT_EQ(clock.timers[0].first, CaptureHandOff::defaultAnswerDeadline);
    clock.pass();
    EXPECT_EQ(outcomes, std::vector<CaptureOutcome>{CaptureOutcome::queued});
    EXPECT_EQ(pending.items(), Texts{"тишина"});

    page->answer(0, true);  // too late: the queue keeps it, a duplicate at worst
    EXPECT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(pending.items(), Texts{"тишина"});
}

TEST_F(HandOff, ASilentPageEndsTheFlushAndTheNextReadyReportStartsAgain) {
    queue({"a", "b"});
    page->ready = true;
    handOff->flushPending();
    clock.pass();
    EXPECT_FALSE(handOff->flushing());
    EXPECT_EQ(pending.items(), (Texts{"a", "b"}));

    handOff->flushPending();
    EXPECT_EQ(page->sent, (Texts{"a", "a"}));
    page->answer(0, true);  // the first try's late answer changes nothing
    EXPECT_EQ(pending.items(), (Texts{"a", "b"}));
    page->answer(1, true);
    page->answer(2, true);
    EXPECT_TRUE(pending.items().empty());
}

// A store whose folder cannot be made: every write fails, as on a full disk.
struct UnwritableStore : ::testing::Test {
    testing::TemporaryFolder folder;
    std::unique_ptr<DefaultsStore> store;
    std::unique_ptr<PendingCaptures> pending;
    std::shared_ptr<FakePage> page = std::make_shared<FakePage>();
    FakeClock clock;
    std::shared_ptr<CaptureHandOff> handOff;
    std::vector<CaptureOutcome> outcomes;

    void SetUp() override {
        store = std::make_unique<DefaultsStore>(folder / "blocker/defaults.json");
        std::ofstream(folder / "blocker") << "a file where the folder should be";
        pending = std::make_unique<PendingCaptures>(*store, "pendingCaptures");
        handOff = CaptureHandOff::create(*pending, page, clock.timer());
    }
    void save(const std::string& text) {
        handOff->save(text, [this](CaptureOutcome outcome) { outcomes.push_back(outcome); });
    }
};

TEST_F(UnwritableStore, NothingIsCalledSavedOrQueuedThatIsNotStored) {
    save("не сохранится");
    page->ready = true;
    save("и это");
    EXPECT_TRUE(page->sent.empty()) << "the page must not see a text that is not on disk";
    EXPECT_EQ(outcomes, (std::vector<CaptureOutcome>{CaptureOutcome::failed, CaptureOutcome::failed}));
    EXPECT_TRUE(pending->items().empty());
}

TEST(HandOffOnDisk, AnAcceptedHeadThatCannotBeRemovedIsNotSentAgainAndAgain) {
    testing::TemporaryFolder folder;
    DefaultsStore store(folder / "orvela/defaults.json");
    PendingCaptures pending(store, "pendingCaptures");
    pending.add("a");
    auto page = std::make_shared<FakePage>();
    page->ready = true;
    FakeClock clock;
    auto handOff = CaptureHandOff::create(pending, page, clock.timer());
    handOff->flushPending();
    // The disk fills up: the folder is replaced by a file.
    std::filesystem::rename(folder / "orvela", folder / "away");
    std::ofstream(folder / "orvela") << "";
    page->answer(0, true);
    EXPECT_EQ(page->sent, Texts{"a"});
    EXPECT_FALSE(handOff->flushing());
}

// Another process holds the queue: the step waits on the timer, nothing is told
// to the panel, and nothing reaches the page before it is on disk.
struct BusyQueue : ::testing::Test {
    testing::TemporaryFolder folder;
    DefaultsStore store{folder / "defaults.json"};
    PendingCaptures pending{store, "pendingCaptures"};
    std::shared_ptr<FakePage> page = std::make_shared<FakePage>();
    FakeClock clock;
    std::shared_ptr<CaptureHandOff> handOff = CaptureHandOff::create(pending, page, clock.timer());
    std::vector<CaptureOutcome> outcomes;

    std::unique_ptr<FileLock> holdQueue() {
        auto lock = std::make_unique<FileLock>(folder / "defaults.json.pendingCaptures.journal", 0);
        EXPECT_TRUE(lock->held());
        return lock;
    }
    void save(const std::string& text) {
        handOff->save(text, [this](CaptureOutcome outcome) { outcomes.push_back(outcome); });
    }
};

TEST_F(BusyQueue, ACaptureWaitsForTheLockAndIsTriedAgainFromTheTimer) {
    auto other = holdQueue();
    save("позже");
    page->ready = true;
    save("сразу");
    EXPECT_TRUE(outcomes.empty()) << "the panel must keep showing the texts as being saved";
    EXPECT_TRUE(page->sent.empty()) << "the page must not see a text that is not on disk";
    ASSERT_EQ(clock.timers.size(), 2u);
    EXPECT_EQ(clock.timers[0].first, CaptureHandOff::busyRetry);
    clock.pass();
    EXPECT_TRUE(outcomes.empty());

    other.reset();
    clock.pass();
    EXPECT_EQ(outcomes, std::vector<CaptureOutcome>{CaptureOutcome::queued});
    EXPECT_EQ(page->sent, Texts{"сразу"});
    EXPECT_EQ(pending.inFlight(), Texts{"сразу"});
    page->answer(0, true);
    EXPECT_EQ(outcomes, (std::vector<CaptureOutcome>{CaptureOutcome::queued, CaptureOutcome::saved}));
    EXPECT_TRUE(pending.inFlight().empty());
    EXPECT_EQ(pending.items(), Texts{"позже"});
}

TEST_F(BusyQueue, AnAcceptedHeadIsRemovedOnceTheLockIsFreeAndNeverSentTwice) {
    ASSERT_TRUE(pending.add("a"));
    ASSERT_TRUE(pending.add("b"));
    page->ready = true;
    handOff->flushPending();
    auto other = holdQueue();
    page->answer(0, true);
    handOff->flushPending();  // a ready report meanwhile
    EXPECT_EQ(page->sent, Texts{"a"});
    EXPECT_TRUE(handOff->flushing());

    other.reset();
    clock.pass();
    EXPECT_EQ(page->sent, (Texts{"a", "b"}));
    page->answer(1, true);
    EXPECT_TRUE(pending.items().empty());
    EXPECT_FALSE(handOff->flushing());
}

TEST_F(BusyQueue, AHolderThatKeepsTheQueueIsTakenToBeStuckAndTheCaptureFails) {
    auto other = holdQueue();
    save("не дождалась");
    for (int tries = 0; tries < 1000 && outcomes.empty(); ++tries) clock.pass();
    EXPECT_EQ(outcomes, std::vector<CaptureOutcome>{CaptureOutcome::failed}) << "the panel keeps the text";
    EXPECT_TRUE(clock.timers.empty());
}

}  // namespace
}  // namespace orvela
