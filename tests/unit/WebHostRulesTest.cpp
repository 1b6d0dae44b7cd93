#include "web/SnapshotOptions.h"
#include "tests/unit/TemporaryFolder.h"
#include "web/FreeName.h"
#include "web/LoadError.h"
#include "web/WindowFrame.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvela {
namespace {

TEST(FreeName, NumbersTakenNamesBeforeTheExtension) {
    testing::TemporaryFolder folder;
    // Each name is reserved at once: the next one asked for is another.
    auto take = [&](const std::string& suggested) { return freeName(suggested, folder.path())->filename().string(); };
    EXPECT_EQ(take("report.pdf"), "report.pdf");
    EXPECT_EQ(take("report.pdf"), "report 2.pdf");
    EXPECT_EQ(take("report.pdf"), "report 3.pdf");
    EXPECT_EQ(take("README"), "README");
    EXPECT_EQ(take("README"), "README 2");
    EXPECT_EQ(take("archive.tar.gz"), "archive.tar.gz");
    EXPECT_EQ(take("archive.tar.gz"), "archive.tar 2.gz");
    EXPECT_EQ(take(""), "Orvela");
    EXPECT_EQ(take(""), "Orvela 2");
    // A leading dot would hide the file.
    EXPECT_EQ(take(".profile"), "profile");
    EXPECT_EQ(take("..hidden.txt"), "hidden.txt");
    // A folder of that name counts as taken too.
    std::filesystem::create_directory(folder / "Отчёт");
    EXPECT_EQ(take("Отчёт"), "Отчёт 2");
}

TEST(FreeName, SuggestedNamesCannotLeaveTheFolder) {
    testing::TemporaryFolder folder;
    EXPECT_EQ(freeName("../../.bashrc", folder.path()), folder / "_.._.bashrc");
    EXPECT_EQ(freeName("/etc/passwd", folder.path()), folder / "_etc_passwd");
    EXPECT_EQ(freeName("..", folder.path()), folder / "Orvela");
}

TEST(FreeName, LongNamesAreShortenedKeepingTheExtensionAndWholeLetters) {
    testing::TemporaryFolder folder;
    std::string cyrillic;
    for (int i = 0; i < 200; ++i) cyrillic += "я";  // 400 bytes
    auto first = freeName(cyrillic + ".pdf", folder.path());
    ASSERT_TRUE(first.has_value());
    std::string name = first->filename().string();
    EXPECT_LE(name.size(), 244u);
    EXPECT_TRUE(name.ends_with("я.pdf")) << name;
    auto second = freeName(cyrillic + ".pdf", folder.path());
    ASSERT_TRUE(second.has_value());
    EXPECT_LE(second->filename().string().size(), 244u);
    EXPECT_TRUE(second->filename().string().ends_with(" 2.pdf"));
    EXPECT_TRUE(std::filesystem::exists(*first));
    EXPECT_EQ(freeName("x", folder / "missing"), std::nullopt);
}

TEST(WindowFrame, ParsesOnlyFourIntegersWithAPositiveSize) {
    EXPECT_EQ(WindowFrame::parse("10 -20 900 600"), (WindowFrame{10, -20, 900, 600}));
    EXPECT_EQ(WindowFrame::parse(WindowFrame{1, 2, 3, 4}.toString()), (WindowFrame{1, 2, 3, 4}));
    for (const char* bad : {"", "1 2 3", "1 2 3 4 5", "1 2 0 4", "a b c d", "1 2 3 -4"}) {
        EXPECT_EQ(WindowFrame::parse(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(WindowFrame::defaultsKey(), "NSWindow Frame OrvelaMain");
}

TEST(LoadError, NetworkFailuresOtherThanCancellationMeanOffline) {
    EXPECT_TRUE(isNetworkFailure("g-io-error-quark", 39));          // connection refused
    EXPECT_TRUE(isNetworkFailure("g-resolver-error-quark", 0));     // host not found
    EXPECT_TRUE(isNetworkFailure("WebKitNetworkError", 399));       // transport
    EXPECT_TRUE(isNetworkFailure("g-tls-error-quark", 1));
    EXPECT_FALSE(isNetworkFailure("WebKitNetworkError", 302));      // cancelled
    EXPECT_FALSE(isNetworkFailure("g-io-error-quark", 19));         // cancelled
    EXPECT_FALSE(isNetworkFailure("WebKitPolicyError", 102));       // interrupted by a decision
    EXPECT_FALSE(isNetworkFailure("WebKitPluginError", 299));
}

}  // namespace
}  // namespace orvela

namespace orvela {
namespace {

TEST(SnapshotOptions, WindowSizeIsTwoDecimalsAroundALowerCaseX) {
    using SnapshotOptions::Size;
    EXPECT_EQ(SnapshotOptions::windowSize(std::nullopt), (Size{1280, 788}));
    EXPECT_EQ(SnapshotOptions::windowSize("1440x900"), (Size{1440, 900}));
    EXPECT_EQ(SnapshotOptions::windowSize("800.5x600"), (Size{800.5, 600}));
    for (const char* bad : {"1440X900", "1440x", "1440x900x2", "x900", "", "widexhigh", "1440 x900", "0x900", "-5x900",
                            "1e9x900", "nanx900", "infx900"})
        EXPECT_EQ(SnapshotOptions::windowSize(std::string(bad)), (Size{1280, 788})) << bad;
    // Empty pieces are dropped, as with the paths.
    EXPECT_EQ(SnapshotOptions::windowSize("x1440xx900x"), (Size{1440, 900}));
}

TEST(SnapshotOptions, TheFolderIsTheLastComponentInsideTheTemporaryFolder) {
    EXPECT_EQ(SnapshotOptions::folder("pictures", "/tmp"), "/tmp/pictures");
    EXPECT_EQ(SnapshotOptions::folder("/home/me/shots/today", "/tmp"), "/tmp/today");
    EXPECT_EQ(SnapshotOptions::folder("pictures/", "/tmp"), "/tmp/pictures");
    EXPECT_EQ(SnapshotOptions::folder("", "/tmp"), "/tmp/shots");
    EXPECT_EQ(SnapshotOptions::folder("..", "/tmp"), "/tmp/shots");
    EXPECT_EQ(SnapshotOptions::folder("/", "/tmp"), "/tmp/shots");
}

TEST(SnapshotOptions, PageNamesReplaceEverySlash) {
    EXPECT_EQ(SnapshotOptions::siteName("/inbox"), "site-inbox");
    EXPECT_EQ(SnapshotOptions::siteName("/"), "site-");
    EXPECT_EQ(SnapshotOptions::siteName("someday"), "sitesomeday");
    EXPECT_EQ(SnapshotOptions::siteName("/item/42"), "site-item-42");
}

}  // namespace
}  // namespace orvela
