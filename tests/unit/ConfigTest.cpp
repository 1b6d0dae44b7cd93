#include "app/AppConfig.h"
#include "app/LaunchOptions.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace orvela {
namespace {

std::string originFor(const std::string& override) {
    DefaultsStore store(std::nullopt, {"-origin", override});
    return AppConfig::origin(store);
}

TEST(AppConfig, OriginOverrideIsTakenOnlyForHttpsOrLocalhost) {
    EXPECT_EQ(AppConfig::origin(DefaultsStore(std::nullopt)), "https://app.orvela.ru");
    EXPECT_EQ(originFor("http://localhost:8080"), "http://localhost:8080");
    EXPECT_EQ(originFor("http://127.0.0.1:8080"), "https://app.orvela.ru");
    EXPECT_EQ(originFor("https://staging.orvela.ru/app/"), "https://staging.orvela.ru/app/");
    EXPECT_EQ(originFor("localhost:8080"), "https://app.orvela.ru");
    EXPECT_EQ(originFor("not a url"), "https://app.orvela.ru");
    EXPECT_EQ(originFor(""), "https://app.orvela.ru");
}

TEST(AppConfig, PathsResolveAgainstTheOriginAsRelativeReferences) {
    DefaultsStore withPath(std::nullopt, {"-origin", "https://staging.orvela.ru:8443/app/start?x=1"});
    EXPECT_EQ(AppConfig::url("/inbox", withPath), "https://staging.orvela.ru:8443/inbox");
    EXPECT_EQ(AppConfig::url("next", withPath), "https://staging.orvela.ru:8443/app/next");
    EXPECT_EQ(AppConfig::url("../up", withPath), "https://staging.orvela.ru:8443/up");
    EXPECT_EQ(AppConfig::url("?q=2", withPath), "https://staging.orvela.ru:8443/app/start?q=2");

    DefaultsStore plain(std::nullopt);
    EXPECT_EQ(AppConfig::url("/", plain), "https://app.orvela.ru/");
    EXPECT_EQ(AppConfig::url("/someday", plain), "https://app.orvela.ru/someday");
    EXPECT_EQ(AppConfig::url("//other.example/x", plain), "https://other.example/x");
    EXPECT_EQ(AppConfig::url("http://[broken", plain), "https://app.orvela.ru");
}

TEST(AppConfig, VersionIsTheProjectVersion) { EXPECT_FALSE(AppConfig::version().empty()); }

TEST(LaunchOptions, SnapshotPathsSplitAtCommasKeepingPiecesAsWritten) {
    auto paths = [](std::optional<std::string> value) {
        std::vector<std::string> arguments;
        if (value) arguments = {"-snapshotPaths", *value};
        DefaultsStore store(std::nullopt, arguments);
        return LaunchOptions(store).snapshotPaths();
    };
    EXPECT_EQ(paths(std::nullopt), std::vector<std::string>{"/inbox"});
    EXPECT_EQ(paths(",/inbox,,/next,"), (std::vector<std::string>{"/inbox", "/next"}));
    EXPECT_EQ(paths(" /a,/a"), (std::vector<std::string>{" /a", "/a"}));
    EXPECT_EQ(paths(""), std::vector<std::string>{});
    EXPECT_EQ(paths(",,"), std::vector<std::string>{});
}

TEST(LaunchOptions, QuietLaunches) {
    auto quiet = [](std::vector<std::string> arguments) {
        DefaultsStore store(std::nullopt, arguments);
        return LaunchOptions(store).quiet();
    };
    EXPECT_FALSE(quiet({}));
    EXPECT_TRUE(quiet({"-smokeTest", "YES"}));
    EXPECT_FALSE(quiet({"-smokeTest", "NO"}));
    EXPECT_TRUE(quiet({"-snapshot", "shots"}));
    EXPECT_TRUE(quiet({"-e2eCapture", ""}));
}

TEST(LaunchOptions, UnderTestsFollowsTheEnvironmentVariableWhateverItsValue) {
    DefaultsStore store(std::nullopt);
    LaunchOptions options(store);
    ::unsetenv("XCTestConfigurationFilePath");
    EXPECT_FALSE(options.underTests());
    ::setenv("XCTestConfigurationFilePath", "", 1);
    EXPECT_TRUE(options.underTests());
    ::unsetenv("XCTestConfigurationFilePath");
}

}  // namespace
}  // namespace orvela
