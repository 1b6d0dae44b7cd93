#include "platform/DefaultsStore.h"
#include "tests/unit/TemporaryFolder.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvela {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream stream(path);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

TEST(DefaultsStore, ValuesSurviveIntoAnotherStoreOnTheSameFile) {
    testing::TemporaryFolder folder;
    auto file = folder / "nested/orvela/defaults.json";
    {
        DefaultsStore store(file);
        store.setObject(std::vector<std::string>{"  первая\nстрока", "b"}, "pendingCaptures");
        store.setBool(false, "showDockBadge");
        store.setObject(DefaultsData{0, 1, 254, 255}, "blob");
        store.setObject(std::string("https://localhost:8080"), "origin");
    }
    DefaultsStore reopened(file);
    EXPECT_EQ(reopened.stringArrayForKey("pendingCaptures"), (std::vector<std::string>{"  первая\nстрока", "b"}));
    EXPECT_EQ(reopened.objectForKey("showDockBadge"), DefaultsValue(false));
    EXPECT_EQ(reopened.dataForKey("blob"), (DefaultsData{0, 1, 254, 255}));
    EXPECT_EQ(reopened.stringForKey("origin"), "https://localhost:8080");
    // No temporary file is left behind by the atomic replacement.
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST(DefaultsStore, TypedReadsAnswerOnlyForTheirType) {
    DefaultsStore store(std::nullopt);
    store.setObject(DefaultsData{1, 2}, "data");
    store.setObject(std::vector<std::string>{"a"}, "list");
    store.setObject(3.0, "number");
    EXPECT_EQ(store.stringForKey("data"), std::nullopt);
    EXPECT_EQ(store.dataForKey("list"), std::nullopt);
    EXPECT_EQ(store.stringArrayForKey("data"), std::nullopt);
    EXPECT_EQ(store.stringForKey("number"), "3");
    EXPECT_TRUE(store.boolForKey("number"));
    EXPECT_FALSE(store.boolForKey("absent"));
    EXPECT_FALSE(store.boolForKey("list"));
}

TEST(DefaultsStore, UnparsableFileIsMovedAsideAndNeverOverwritten) {
    testing::TemporaryFolder folder;
    auto file = folder / "defaults.json";
    std::ofstream(file) << "{\"pendingCaptures\": [\"unfinished";
    DefaultsStore store(file);
    EXPECT_EQ(store.stringArrayForKey("pendingCaptures"), std::nullopt);
    store.setBool(true, "showMenuBarIcon");

    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        if (entry.path() != file && entry.path().extension() != ".lock") aside.push_back(entry.path());
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_NE(aside[0].filename().string().find("defaults.json.corrupt-"), std::string::npos);
    EXPECT_EQ(readFile(aside[0]), "{\"pendingCaptures\": [\"unfinished");
    EXPECT_TRUE(DefaultsStore(file).boolForKey("showMenuBarIcon"));
}

TEST(DefaultsStore, ValuesOfUnknownFormsAreKeptOnRewrite) {
    testing::TemporaryFolder folder;
    auto file = folder / "defaults.json";
    std::ofstream(file) << R"({"window": {"x": 10, "y": [1, 2]}, "mixed": [1, "a"]})";
    {
        DefaultsStore store(file);
        EXPECT_EQ(store.objectForKey("mixed"), std::nullopt);
        store.setBool(true, "smokeTest");
    }
    auto rewritten = nlohmann::json::parse(readFile(file));
    EXPECT_EQ(rewritten["window"]["y"], nlohmann::json::array({1, 2}));
    EXPECT_EQ(rewritten["mixed"], nlohmann::json::array({1, "a"}));
    EXPECT_EQ(rewritten["smokeTest"], true);
}

TEST(DefaultsStore, ArgumentDomainWinsOverStoredValuesForTheRun) {
    testing::TemporaryFolder folder;
    auto file = folder / "defaults.json";
    DefaultsStore(file).setObject(std::string("https://stored.example"), "origin");

    DefaultsStore store(file, {"orvela://inbox", "-origin", "http://localhost:9000", "-smokeTest", "YES",
                               "-e2eCapture", "", "-dangling"});
    EXPECT_EQ(store.stringForKey("origin"), "http://localhost:9000");
    EXPECT_TRUE(store.boolForKey("smokeTest"));
    EXPECT_EQ(store.stringForKey("e2eCapture"), "");
    EXPECT_EQ(store.stringForKey("dangling"), std::nullopt);

    // A write goes to the file, but the argument still answers for this run.
    store.setObject(std::string("https://written.example"), "origin");
    EXPECT_EQ(store.stringForKey("origin"), "http://localhost:9000");
    EXPECT_EQ(DefaultsStore(file).stringForKey("origin"), "https://written.example");
}

TEST(DefaultsStore, ArgumentTextsReadAsTruthValues) {
    DefaultsStore store(std::nullopt, {"-a", "YES", "-b", "true", "-c", "NO", "-d", "false", "-e", "2",
                                       "-f", "0", "-g", "maybe", "-h", "yes"});
    EXPECT_TRUE(store.boolForKey("a"));
    EXPECT_TRUE(store.boolForKey("b"));
    EXPECT_FALSE(store.boolForKey("c"));
    EXPECT_FALSE(store.boolForKey("d"));
    EXPECT_TRUE(store.boolForKey("e"));
    EXPECT_FALSE(store.boolForKey("f"));
    EXPECT_FALSE(store.boolForKey("g"));
    EXPECT_TRUE(store.boolForKey("h"));
}

}  // namespace
}  // namespace orvela
