#include "capture/PendingCaptures.h"
#include "tests/unit/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace orvela {
namespace {

using Texts = std::vector<std::string>;

TEST(PendingCaptures, AddsAtTheEndAndRemovesOnlyAMatchingHead) {
    DefaultsStore store(std::nullopt);
    PendingCaptures queue(store, "pendingCaptures");
    queue.add("a");
    EXPECT_EQ(store.stringArrayForKey("pendingCaptures"), Texts{"a"});
    queue.add("b");
    EXPECT_EQ(queue.items(), (Texts{"a", "b"}));

    queue.removeFirst("b");
    EXPECT_EQ(queue.items(), (Texts{"a", "b"}));
    queue.removeFirst("a");
    queue.removeFirst("b");
    // The key stays, holding the empty list.
    EXPECT_EQ(store.stringArrayForKey("pendingCaptures"), Texts{});
}

TEST(PendingCaptures, DuplicatesAreKeptAndRemovedOneAtATime) {
    DefaultsStore store(std::nullopt);
    PendingCaptures queue(store, "pendingCaptures");
    queue.add("a");
    queue.add("a");
    queue.removeFirst("a");
    EXPECT_EQ(queue.items(), Texts{"a"});
}

TEST(PendingCaptures, AbsentOrMalformedValuesReadAsEmpty) {
    DefaultsStore store(std::nullopt);
    PendingCaptures queue(store, "pendingCaptures");
    queue.removeFirst("a");
    EXPECT_EQ(store.objectForKey("pendingCaptures"), std::nullopt);

    store.setObject(std::string("not a list"), "pendingCaptures");
    EXPECT_EQ(queue.items(), Texts{});
    queue.add("x");
    EXPECT_EQ(queue.items(), Texts{"x"});
}

TEST(PendingCaptures, TextsSurviveARestartByteForByte) {
    testing::TemporaryFolder folder;
    const std::string text = "  купить хлеб\nи молоко ";
    {
        DefaultsStore store(folder / "defaults.json");
        PendingCaptures(store, "pendingCaptures").add(text);
    }
    DefaultsStore restarted(folder / "defaults.json");
    EXPECT_EQ(PendingCaptures(restarted, "pendingCaptures").items(), Texts{text});
}

}  // namespace
}  // namespace orvela
