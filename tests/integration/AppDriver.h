#pragma once

// Drives the orvela executable from outside, as a user would: starts it against
// the stand-in site, presses keys through the X server, reads what the site saw.
#include "capture/PendingCaptures.h"
#include "tests/integration/Harness.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela::testing {

using nlohmann::json;

inline std::filesystem::path binaryFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

struct Output {
    int status = -1;
    std::string out;
};

// The process's environment with these "NAME=value" entries added and the
// entries that are a bare "NAME" taken out; g_strfreev it.
inline char** environmentWith(const std::vector<std::string>& entries) {
    char** environment = g_get_environ();
    for (const auto& entry : entries) {
        auto equals = entry.find('=');
        if (equals == std::string::npos)
            environment = g_environ_unsetenv(environment, entry.c_str());
        else
            environment = g_environ_setenv(environment, entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, TRUE);
    }
    return environment;
}

inline std::vector<char*> argvOf(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

inline Output runProgram(std::vector<std::string> arguments, std::vector<std::string> extraEnvironment = {}) {
    auto argv = argvOf(arguments);
    char** environment = environmentWith(extraEnvironment);
    char* out = nullptr;
    int status = -1;
    g_spawn_sync(nullptr, argv.data(), environment, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr, &status,
                 nullptr);
    g_strfreev(environment);
    Output result{g_spawn_check_wait_status(status, nullptr) ? 0 : (WIFEXITED(status) ? WEXITSTATUS(status) : -1),
                  out ? out : ""};
    g_free(out);
    return result;
}

inline void press(const std::string& keys) { xdotool({"key", "--clearmodifiers", keys}); }

// A program started in the background and ended with the test.
class Background {
public:
    explicit Background(std::vector<std::string> arguments, std::vector<std::string> environment = {}) {
        auto argv = argvOf(arguments);
        char** env = environmentWith(environment);
        g_spawn_async(nullptr, argv.data(), env, GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH),
                      endWithTests, GINT_TO_POINTER(::getpid()), &pid_, nullptr);
        g_strfreev(env);
    }
    ~Background() { end(SIGTERM); }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    void end(int signal) {
        if (!pid_) return;
        ::kill(pid_, signal);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    bool running() const { return pid_ && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    void signal(int signal) const {
        if (pid_) ::kill(pid_, signal);
    }
    GPid pid() const { return pid_; }

private:
    GPid pid_ = 0;
};

// The visible windows with exactly this title.
inline std::vector<std::string> visibleWindows(const std::string& title) {
    auto found = runProgram({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}).out;
    std::vector<std::string> windows;
    std::istringstream lines(found);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) windows.push_back(line);
    return windows;
}

// The desktop as a failure's message tells it: the visible windows, the active
// one, and whether a window manager runs.
inline std::string desktopState() {
    auto names = runProgram({"xdotool", "search", "--onlyvisible", "--name", ".", "getwindowname", "%@"}).out;
    auto active = runProgram({"xdotool", "getactivewindow", "getwindowname"}).out;
    bool managed = runProgram({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") != std::string::npos;
    return "visible windows:\n" + names + "active window: " + (active.empty() ? "none\n" : active) +
           (managed ? "a window manager runs" : "no window manager");
}

inline bool mainWindowVisible() { return !visibleWindows("Orvela").empty(); }
inline bool panelVisible() { return !visibleWindows("Запись").empty(); }

// The site's address, also while it is stopped.
inline std::string& siteOrigin() {
    static std::string origin;
    return origin;
}

// The orvela process, started with the given "-key value" pairs and the site as its origin.
class Application : public Background {
public:
    explicit Application(std::vector<std::string> pairs = {}, std::vector<std::string> environment = {})
        : Background(arguments(pairs), environment) {}
    ~Application() { end(SIGTERM); }

    void end(int signal) {
        Background::end(signal);
        // The next instance must find the application's name free on the bus.
        runFor(0.3);
    }

private:
    static std::vector<std::string> arguments(const std::vector<std::string>& pairs) {
        std::vector<std::string> all{(binaryFolder() / "orvela").string(), "-origin", siteOrigin()};
        all.insert(all.end(), pairs.begin(), pairs.end());
        return all;
    }
};

inline json site() { return Harness::shared().siteState(); }

inline bool inboxHas(const std::string& text) {
    auto state = site();
    for (const auto& item : state["inbox"])
        if (item["text"] == text) return true;
    return false;
}

inline std::vector<std::string> inboxTexts() {
    std::vector<std::string> texts;
    auto state = site();
    for (const auto& item : state["inbox"]) texts.push_back(item["text"]);
    return texts;
}

// The texts the site was asked to file, in order, with whether it took them.
inline std::vector<std::pair<std::string, bool>> attempts() {
    std::vector<std::pair<std::string, bool>> found;
    auto state = site();
    for (const auto& attempt : state["attempts"]) found.emplace_back(attempt["text"], attempt["accepted"]);
    return found;
}

inline std::vector<json> traced(const std::string& call) {
    std::vector<json> values;
    auto state = site();
    for (const auto& entry : state["trace"])
        if (entry["call"] == call) values.push_back(entry["value"]);
    return values;
}

inline std::filesystem::path defaultsFile() { return Harness::shared().home() / ".config/orvela/defaults.json"; }

// What the application stored in its defaults file; an empty object when nothing.
inline json storedDefaults() {
    std::ifstream file(defaultsFile());
    auto stored = json::parse(file, nullptr, false);
    return stored.is_object() ? stored : json::object();
}

// A list of the capture queue as the application reads it: the lists in its
// defaults and the journal of changes beside them. A moment while the application
// holds the queue is waited out.
inline std::vector<std::string> storedQueue(bool inFlight = false) {
    for (int attempt = 0;; ++attempt) {
        DefaultsStore store(defaultsFile());
        PendingCaptures queue(store, "pendingCaptures");
        auto texts = inFlight ? queue.inFlight() : queue.items();
        if (!queue.busy() || attempt == 100) return texts;
        g_usleep(20'000);
    }
}

inline std::vector<std::string> pendingCaptures() { return storedQueue(); }

// The defaults of an earlier test, the queue's journal with them.
inline void forgetDefaults() {
    std::filesystem::remove(defaultsFile());
    std::filesystem::remove(defaultsFile().string() + ".pendingCaptures.journal");
}

// The page has loaded and, a moment later, reported ready.
inline bool waitForPage(size_t loadsBefore) {
    bool loaded = runUntil([&] { return traced("loaded").size() > loadsBefore; }, 20);
    runFor(1);
    if (!loaded) ADD_FAILURE() << "the page did not load; the site saw " << site().dump();
    return loaded;
}

inline void focusMainWindow() {
    auto windows = visibleWindows("Orvela");
    if (!windows.empty()) xdotool({"windowactivate", "--sync", windows.front()});
}

// The user opens the settings from the main window (Ctrl+,) and makes their
// window the active one; its id, or "" when no settings window appeared.
inline std::string openSettings() {
    focusMainWindow();
    press("ctrl+comma");
    if (!runUntil([] { return !visibleWindows("Настройки").empty(); })) {
        ADD_FAILURE() << "the settings window did not open; " << desktopState();
        return "";
    }
    std::string window = visibleWindows("Настройки").front();
    xdotool({"windowactivate", "--sync", window});
    runFor(0.3);
    return window;
}

// The user presses the capture key, types the text and presses Return; what the
// panel does next is left to the caller.
inline void typeIntoPanel(const std::string& text) {
    ASSERT_TRUE(runUntil([] { return !panelVisible(); }));
    press("ctrl+shift+space");
    ASSERT_TRUE(runUntil(panelVisible)) << "the capture key opened no panel; " << desktopState();
    runFor(0.2);
    xdotool({"type", "--delay", "15", text});
    press("Return");
}

// As typeIntoPanel, and the panel goes once the text is filed or queued.
inline void captureThroughPanel(const std::string& text) {
    typeIntoPanel(text);
    ASSERT_TRUE(runUntil([] { return !panelVisible(); })) << "the panel stayed after Return";
}

struct ApplicationTest : ::testing::Test {
    void SetUp() override {
        Harness::shared().startSite();
        siteOrigin() = Harness::shared().origin();
        Harness::shared().control("captures=ok&reject=");
        forgetDefaults();
    }
};

}  // namespace orvela::testing
