// The unattended screenshot run of the orvela executable against the stand-in site.
#include "tests/integration/AppDriver.h"

namespace orvela {
namespace {

using namespace testing;

// ImageMagick's answer about a picture, e.g. "%w %h" or "%[fx:mean]".
std::string describe(const std::filesystem::path& picture, const std::string& format) {
    return runProgram({"convert", picture.string(), "-format", format, "info:"}).out;
}

struct Snapshot : ApplicationTest {
    std::filesystem::path temporary = Harness::shared().home() / "tmp";

    Output run(std::vector<std::string> pairs) {
        std::filesystem::create_directories(temporary);
        std::vector<std::string> arguments{(binaryFolder() / "orvela").string(), "-origin", siteOrigin()};
        arguments.insert(arguments.end(), pairs.begin(), pairs.end());
        return runProgram(arguments, {"TMPDIR=" + temporary.string()});
    }
};

TEST_F(Snapshot, ThePanelTheSettingsAndEachPageArePhotographedAndNamedOnOutput) {
    auto output = run({"-snapshot", "/somewhere/else/shots-dark", "-snapshotPaths", ",/,someday,", "-snapshotSize",
                       "900x600", "-appearance", "dark", "-snapshotCapture", "Купить хлеба"});
    auto folder = temporary / "shots-dark";
    EXPECT_EQ(output.status, 0);
    EXPECT_EQ(output.out, "snapshot: capture-panel ok\n"
                          "snapshot: capture-panel-empty ok\n"
                          "snapshot: settings ok\n"
                          "snapshot: site- ok url=" + siteOrigin() + "/\n"
                          "snapshot: sitesomeday ok url=" + siteOrigin() + "/someday\n"
                          "snapshot: done " + folder.string() + " bridge=true\n");

    EXPECT_EQ(describe(folder / "site-.png", "%w %h"), "900 600");
    EXPECT_EQ(describe(folder / "sitesomeday.png", "%w %h"), "900 600");
    // The panel is drawn on nothing: its rounded corner lets the transparency through.
    EXPECT_EQ(describe(folder / "capture-panel.png", "%w"), "584");
    EXPECT_EQ(describe(folder / "capture-panel.png", "%[fx:p{0,0}.a]"), "0");
    EXPECT_NE(describe(folder / "capture-panel.png", "%#"), describe(folder / "capture-panel-empty.png", "%#"));
    // The settings have a ground, in the dark appearance a dark one.
    EXPECT_EQ(describe(folder / "settings.png", "%[fx:p{0,0}.a]"), "1");
    EXPECT_LT(std::stod(describe(folder / "settings.png", "%[fx:mean]")), 0.4);
}

TEST_F(Snapshot, WithoutTheSiteThePagesAreStillTakenAndTheBridgeIsReportedDown) {
    Harness::shared().stopSite();
    auto output = run({"-snapshot", "offline"});
    Harness::shared().startSite();
    EXPECT_EQ(output.status, 0);
    // The page never loaded, so the view has no address to tell.
    EXPECT_NE(output.out.find("snapshot: site-inbox ok url=-\n"), std::string::npos) << output.out;
    EXPECT_NE(output.out.find(" bridge=false\n"), std::string::npos) << output.out;
    EXPECT_EQ(describe(temporary / "offline" / "site-inbox.png", "%w %h"), "1280 788");
    EXPECT_GT(std::stod(describe(temporary / "offline" / "settings.png", "%[fx:mean]")), 0.6) << "light by default";
}

}  // namespace
}  // namespace orvela
