// The orvela command line as a shell user meets it: refusals with a message and
// a status, GTK's options, and links that reach the running instance.
#include "tests/integration/AppDriver.h"

namespace orvela {
namespace {

using namespace testing;

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

Run orvela(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), (binaryFolder() / "orvela").string());
    auto argv = argvOf(arguments);
    char* out = nullptr;
    char* err = nullptr;
    int status = -1;
    g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err, &status, nullptr);
    Run run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out ? out : "", err ? err : ""};
    g_free(out);
    g_free(err);
    return run;
}

// The site's trace outlives a test: earlier tests may have gone to the same place.
size_t navigationsTo(const std::string& path) {
    auto paths = traced("navigate");
    return static_cast<size_t>(std::count(paths.begin(), paths.end(), json(path)));
}

TEST_F(ApplicationTest, AnUnknownOptionIsRefusedOnStandardErrorWithAFailingStatus) {
    // The start-up trace tells what a refused launch got going: no web context.
    g_setenv("ORVELA_STARTUP_TRACE", "1", TRUE);
    for (const char* option : {"--no-such-option", "-x"}) {
        auto run = orvela({option});
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_NE(run.err.find(option), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("context-made"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    g_unsetenv("ORVELA_STARTUP_TRACE");
    EXPECT_FALSE(mainWindowVisible()) << "a refused command line starts nothing";

    auto help = orvela({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: orvela", 0), 0u) << help.out;
    auto version = orvela({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("orvela ", 0), 0u) << version.out;
}

TEST_F(ApplicationTest, GtkOptionsReachGtk) {
    Application app({"--class", "OrvelaClassGivenOnTheCommandLine"});
    ASSERT_TRUE(runUntil(mainWindowVisible, 20)) << desktopState();
    auto windowClass = runProgram({"xprop", "-id", visibleWindows("Orvela").front(), "WM_CLASS"}).out;
    EXPECT_NE(windowClass.find("OrvelaClassGivenOnTheCommandLine"), std::string::npos) << windowClass;
}

TEST_F(ApplicationTest, LinksReachTheRunningInstanceBesideOtherOptions) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));

    // GTK's options, with their values apart, and pairs around links.
    size_t someday = navigationsTo("/someday");
    EXPECT_EQ(orvela({"--display", g_getenv("DISPLAY"), "orvela://someday"}).status, 0);
    EXPECT_TRUE(runUntil([&] { return navigationsTo("/someday") > someday; }));
    size_t waiting = navigationsTo("/waiting");
    EXPECT_EQ(orvela({"orvela://waiting", "-captureAnswerDeadline", "5", "--class=Orvela"}).status, 0);
    EXPECT_TRUE(runUntil([&] { return navigationsTo("/waiting") > waiting; }));
    size_t projects = navigationsTo("/projects");
    EXPECT_EQ(orvela({"--", "orvela://projects"}).status, 0);
    EXPECT_TRUE(runUntil([&] { return navigationsTo("/projects") > projects; }));
    // After "--" an option's look-alike is an address, not a question for help.
    auto dashes = orvela({"--", "--help"});
    EXPECT_EQ(dashes.status, 0);
    EXPECT_EQ(dashes.out, "");
    // A login launch still hands its links over.
    size_t next = navigationsTo("/next");
    EXPECT_EQ(orvela({"--background", "orvela://next"}).status, 0);
    EXPECT_TRUE(runUntil([&] { return navigationsTo("/next") > next; }));

    // A link after an unknown option is not silently dropped: the whole line is refused.
    size_t before = navigationsTo("/calendar");
    auto refused = orvela({"--foo", "orvela://calendar"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--foo"), std::string::npos) << refused.err;
    runFor(1);
    EXPECT_EQ(navigationsTo("/calendar"), before);
}

}  // namespace
}  // namespace orvela
