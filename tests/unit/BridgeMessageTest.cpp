#include "web/BridgeMessage.h"

#include <gtest/gtest.h>

namespace orvela {
namespace {

std::optional<BridgeMessage> decode(std::string_view text) { return BridgeMessage::decodeText(text); }

BridgeMessage inbox(int64_t count) { return BridgeMessage{BridgeMessage::Inbox{count}}; }
BridgeMessage reminders(std::vector<NativeReminder> list) { return BridgeMessage{BridgeMessage::Reminders{list}}; }

TEST(BridgeMessage, OnlyObjectsWithAnExactStringTypeDecode) {
    EXPECT_EQ(decode(R"({"type":"ready"})"), BridgeMessage{BridgeMessage::Ready{}});
    EXPECT_EQ(decode(R"({"type":"ready","count":"whatever"})"), BridgeMessage{BridgeMessage::Ready{}});
    for (const char* ignored : {R"("ready")", "42", R"([{"type":"ready"}])", "null", R"({"type":"Ready"})",
                                R"({"type":" ready"})", R"({"type":1})", R"({"kind":"ready"})",
                                R"({"type":"other"})", "{", ""}) {
        EXPECT_EQ(decode(ignored), std::nullopt) << ignored;
    }
}

TEST(BridgeMessage, InboxCountsTruncateAndNeverGoNegative) {
    EXPECT_EQ(decode(R"({"type":"inbox","count":7})"), inbox(7));
    EXPECT_EQ(decode(R"({"type":"inbox","count":-3})"), inbox(0));
    EXPECT_EQ(decode(R"({"type":"inbox","count":4.9})"), inbox(4));
    EXPECT_EQ(decode(R"({"type":"inbox","count":-0.5})"), inbox(0));
    EXPECT_EQ(decode(R"({"type":"inbox","count":true})"), inbox(1));
    EXPECT_EQ(decode(R"({"type":"inbox","count":false})"), inbox(0));
    EXPECT_EQ(decode(R"({"type":"inbox","count":1e300})"), inbox(INT64_MAX));
    EXPECT_EQ(decode(R"({"type":"inbox","count":18446744073709551615})"), inbox(INT64_MAX));
    EXPECT_EQ(decode(R"({"type":"inbox","count":"7"})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"inbox"})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"inbox","count":null})"), std::nullopt);
}

TEST(BridgeMessage, ReminderEntriesWithBadFieldsAreSkipped) {
    auto decoded = decode(R"({"type":"reminders","list":[
        {"id":"1","itemId":"42","atMs":1700000000000,"title":"Позвонить","extra":true},
        {"id":"2","itemId":"43","atMs":"soon"},
        {"id":3,"itemId":"44","atMs":1},
        {"id":"4","atMs":1},
        {"id":"5","itemId":"45","atMs":false,"title":7}]})");
    EXPECT_EQ(decoded, reminders({{"1", "42", "Позвонить", 1700000000000.0}, {"5", "45", "", 0.0}}));
    EXPECT_EQ(decode(R"({"type":"reminders","list":[]})"), reminders({}));
    EXPECT_EQ(decode(R"({"type":"reminders","list":[{"id":"x"}]})"), reminders({}));
}

TEST(BridgeMessage, AListThatIsNotAllObjectsDropsTheMessage) {
    EXPECT_EQ(decode(R"({"type":"reminders","list":[{"id":"1","itemId":"2","atMs":3},5]})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"reminders","list":["a"]})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"reminders","list":{}})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"reminders"})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"reminders","list":[[]]})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"reminders","list":[{"id":"1","itemId":"2","atMs":3}],"list":"x"})"), std::nullopt);
}

TEST(BridgeMessage, FieldsAreReadWhereverTheyStandAndLaterDuplicatesWin) {
    EXPECT_EQ(decode(R"({"list":[{"atMs":3,"nested":{"id":"no"},"itemId":"2","id":"1"}],"type":"reminders"})"),
              reminders({{"1", "2", "", 3}}));
    EXPECT_EQ(decode(R"({"count":2,"type":"inbox","count":5})"), inbox(5));
    EXPECT_EQ(decode(R"({"type":"inbox","count":5,"count":"5"})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"inbox","count":{"n":5}})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":{"x":"ready"}})"), std::nullopt);
    EXPECT_EQ(decode(R"({"type":"reminders","list":[{"id":"1","itemId":"2","atMs":[3]}]})"), reminders({}));
    EXPECT_EQ(decode(R"({"type":"reminders","list":[{"id":"1","itemId":"2","atMs":3,"title":{"t":"x"}}]})"),
              reminders({{"1", "2", "", 3}}));
    EXPECT_EQ(decode(R"({"type":"ready"} trailing)"), std::nullopt);
}

TEST(BridgeMessage, HostileBodiesAreRefusedBeforeParsing) {
    std::string deep = std::string(65, '[') + std::string(65, ']');
    EXPECT_EQ(decode(deep), std::nullopt);
    std::string deepInside = R"({"type":"ready","x":)" + std::string(100000, '[');
    EXPECT_EQ(decode(deepInside), std::nullopt);
    // Brackets inside strings are not nesting.
    std::string bracketsInText = R"({"type":"ready","x":")" + std::string(1000, '[') + R"(\"{"})";
    EXPECT_EQ(decode(bracketsInText), BridgeMessage{BridgeMessage::Ready{}});
    std::string sixtyFour = R"({"type":"ready","x":)" + std::string(63, '[') + std::string(63, ']') + "}";
    EXPECT_EQ(decode(sixtyFour), BridgeMessage{BridgeMessage::Ready{}});

    std::string huge = R"({"type":"ready","pad":")" + std::string(BridgeMessage::maximumBodyBytes, 'x') + "\"}";
    EXPECT_EQ(decode(huge), std::nullopt);
    EXPECT_EQ(decode("{\"type\":\"ready\",\"bad\":\"\xff\"}"), std::nullopt);
}

TEST(BridgeMessage, EqualityComparesCaseAndPayload) {
    EXPECT_NE(inbox(0), BridgeMessage{BridgeMessage::Ready{}});
    EXPECT_NE(inbox(1), inbox(2));
    EXPECT_EQ(reminders({{"1", "2", "ё", 5}}), reminders({{"1", "2", "е\u0308", 5}}));
    EXPECT_NE(reminders({{"1", "2", "", 5}}), reminders({{"1", "2", "", 5}, {"1", "2", "", 5}}));
}

TEST(PageScripts, OnlyTheThreeCommandsBecomeScript) {
    EXPECT_EQ(PageScripts::command(PageScripts::openQuickAdd), "window.orvelaNative?.openQuickAdd()");
    EXPECT_EQ(PageScripts::command("openSearch"), "window.orvelaNative?.openSearch()");
    EXPECT_EQ(PageScripts::command("openDiktor"), "window.orvelaNative?.openDiktor()");
    for (const char* name : {"", "openSearch();alert(1)//", "navigate", "OPENSEARCH"})
        EXPECT_EQ(PageScripts::command(name), std::nullopt) << name;
}

TEST(BridgeMessage, ALoneSurrogateBecomesAReplacementCharacter) {
    auto decoded = BridgeMessage::decodeText(
        R"({"type":"reminders","list":[{"id":"1","itemId":"2","title":"Купить \ud83d","atMs":5},)"
        R"({"id":"3","itemId":"4","title":"\ude00 и \ud83d\ude00 и \\ud83d","atMs":6}]})");
    ASSERT_TRUE(decoded.has_value());
    auto& list = std::get<BridgeMessage::Reminders>(decoded->value).list;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].title, "Купить \uFFFD");
    EXPECT_EQ(list[1].title, "\uFFFD и \U0001F600 и \\ud83d");
    EXPECT_FALSE(BridgeMessage::decodeText(R"({"type":"inbox","count":1,"x":"\ud83d")").has_value());
}

}  // namespace
}  // namespace orvela
