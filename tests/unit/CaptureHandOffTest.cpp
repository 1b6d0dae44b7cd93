#include "app/CaptureHandOff.h"

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

struct HandOff : ::testing::Test {
    DefaultsStore store{std::nullopt};
    PendingCaptures pending{store, "pendingCaptures"};
    std::shared_ptr<FakePage> page = std::make_shared<FakePage>();
    std::shared_ptr<CaptureHandOff> handOff = CaptureHandOff::create(pending, page);
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

}  // namespace
}  // namespace orvela
