#pragma once

#include <filesystem>
#include <functional>
#include <glib.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvela::testing {

// Everything the integration tests run against: a private home with its own XDG
// folders (set up before GTK starts), a browser and a file manager of the test's
// own registered as default handlers, and the stand-in site on a free port.
class Harness {
public:
    // Called once from main, before anything reads the environment.
    static void prepareEnvironment();
    static Harness& shared();

    std::filesystem::path home() const { return home_; }
    std::filesystem::path downloads() const { return home_ / "Downloads"; }
    // The addresses the test browser was asked to open, in order.
    std::vector<std::string> openedInBrowser() const;
    // What the browser and the file manager had in their environment, every start.
    std::string openedWithEnvironment() const;

    // The stand-in site: started on first use, and again after stopSite().
    std::string origin();
    void stopSite();
    void startSite();
    // POSTs to the site's control endpoint, e.g. control("captures=fail").
    nlohmann::json control(const std::string& query, const std::string& body = "");
    nlohmann::json siteState();
    // A second instance of the site on another port of the same host, with data
    // of its own: the same pages on an origin that is not the application's.
    std::string otherOrigin();
    nlohmann::json otherSiteState();

    ~Harness();

private:
    Harness();
    // Starts the site program on the port (0: a free one) and reads back its port.
    pid_t spawnSite(const std::filesystem::path& dataFile, int& port);
    nlohmann::json post(int port, const std::string& query, const std::string& body);
    std::filesystem::path home_;
    int port_ = 0;
    pid_t site_ = 0;
    int otherPort_ = 0;
    pid_t otherSite_ = 0;
};

// A child setup for g_spawn (with G_SPAWN_DO_NOT_REAP_CHILD, so this process is
// the parent; the data is GINT_TO_POINTER(getpid())): the child ends with the
// tests even when they crash, since one left running would keep the test runner
// waiting for the output it shares.
void endWithTests(gpointer testProcess);

// Runs xdotool with these arguments (keys go through the X server's test
// extension, as a person's would) and waits for it; its exit status.
int xdotool(std::vector<std::string> arguments);

// Runs the main loop until the condition holds or the time is up.
bool runUntil(const std::function<bool()>& condition, double seconds = 10);
// Runs the main loop for the given time.
void runFor(double seconds);

// A running process whose name starts with this one and that descends from root
// (a web process in its sandbox is bubblewrap's child); 0 when there is none.
pid_t descendantNamed(pid_t root, const std::string& name);

}  // namespace orvela::testing
