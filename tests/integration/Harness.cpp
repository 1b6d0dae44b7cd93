#include "tests/integration/Harness.h"

#include "platform/AtomicFile.h"

#include <csignal>
#include <dirent.h>
#include <cstdlib>
#include <fstream>
#include <glib.h>
#include <libsoup/soup.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela::testing {
namespace {

std::filesystem::path executableFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::filesystem::path& homeFolder() {
    static std::filesystem::path home;
    return home;
}

}  // namespace

void Harness::prepareEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvela-home-XXXXXX").string();
    std::filesystem::path home = ::mkdtemp(pattern.data());
    homeFolder() = home;
    // The home goes with the test process, whether or not a test used the
    // harness (whose end removes it too); never with a child that forked.
    static const pid_t owner = ::getpid();
    std::atexit([] {
        std::error_code ignored;
        if (::getpid() == owner) std::filesystem::remove_all(homeFolder(), ignored);
    });
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home / ".local/state").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", "/usr/share", 1);
    ::setenv("GIO_USE_VFS", "local", 1);
    ::unsetenv("XCTestConfigurationFilePath");
    writeFile(home / ".config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");

    // A browser and a file manager that only write down what they were asked to
    // open, and the environment they were started with.
    auto log = home / "opened.log";
    auto handler = [&](const char* name, const char* types) {
        writeFile(home / ".local/share/applications" / name,
                  std::string("[Desktop Entry]\nType=Application\nName=") + name + "\nExec=sh -c 'env >> " +
                      (home / "opened.env").string() + "; echo \"$1\" >> " + log.string() + "' sh %u\nMimeType=" +
                      types + "\n");
    };
    handler("test-browser.desktop", "x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/mailto;");
    handler("test-files.desktop", "inode/directory;");
    writeFile(home / ".config/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/http=test-browser.desktop\n"
              "x-scheme-handler/https=test-browser.desktop\nx-scheme-handler/mailto=test-browser.desktop\n"
              "inode/directory=test-files.desktop\n");
}

Harness& Harness::shared() {
    static Harness harness;
    return harness;
}

Harness::Harness() : home_(homeFolder()) {}

Harness::~Harness() {
    stopSite();
    if (otherSite_) {
        ::kill(otherSite_, SIGTERM);
        ::waitpid(otherSite_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
}

std::string Harness::openedWithEnvironment() const {
    std::ifstream file(home_ / "opened.env");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Harness::openedInBrowser() const {
    std::vector<std::string> lines;
    std::ifstream log(home_ / "opened.log");
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

std::string Harness::origin() {
    if (!site_) startSite();
    return "http://localhost:" + std::to_string(port_);
}

void Harness::startSite() {
    if (!site_) site_ = spawnSite(home_ / "site.json", port_);
}

std::string Harness::otherOrigin() {
    if (!otherSite_) otherSite_ = spawnSite(home_ / "other-site.json", otherPort_);
    return "http://localhost:" + std::to_string(otherPort_);
}

nlohmann::json Harness::otherSiteState() {
    otherOrigin();
    return post(otherPort_, "", "");
}

pid_t Harness::spawnSite(const std::filesystem::path& dataFile, int& port) {
    auto program = executableFolder() / "orvela-demo-site";
    std::string asked = std::to_string(port);
    std::string data = dataFile.string();
    const char* argv[] = {program.c_str(), "--port", asked.c_str(), "--data", data.c_str(), nullptr};
    int output = -1;
    GError* error = nullptr;
    GPid pid = 0;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, endWithTests,
                                  GINT_TO_POINTER(::getpid()), &pid, nullptr, &output, nullptr, &error))
        throw std::runtime_error(std::string("cannot start the demo site: ") + error->message);
    // "listening on http://127.0.0.1:PORT/"
    std::string line;
    char c;
    while (::read(output, &c, 1) == 1 && c != '\n') line.push_back(c);
    ::close(output);
    auto colon = line.rfind(':');
    if (colon == std::string::npos) throw std::runtime_error("the demo site did not start: " + line);
    port = std::atoi(line.c_str() + colon + 1);
    return pid;
}

void endWithTests(gpointer testProcess) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The tests may have ended before the line above.
    if (::getppid() != GPOINTER_TO_INT(testProcess)) ::_exit(1);
}

void Harness::stopSite() {
    if (!site_) return;
    ::kill(site_, SIGTERM);
    ::waitpid(site_, nullptr, 0);
    site_ = 0;
}

nlohmann::json Harness::control(const std::string& query, const std::string& body) {
    origin();
    return post(port_, query, body);
}

nlohmann::json Harness::post(int port, const std::string& query, const std::string& body) {
    SoupSession* session = soup_session_new();
    std::string uri = "http://127.0.0.1:" + std::to_string(port) + "/__control?" + query;
    SoupMessage* message = soup_message_new("POST", uri.c_str());
    GBytes* requestBody = g_bytes_new(body.data(), body.size());
    soup_message_set_request_body_from_bytes(message, "application/json", requestBody);
    g_bytes_unref(requestBody);
    GBytes* reply = soup_session_send_and_read(session, message, nullptr, nullptr);
    nlohmann::json state;
    if (reply) {
        gsize size = 0;
        auto* data = static_cast<const char*>(g_bytes_get_data(reply, &size));
        state = nlohmann::json::parse(std::string(data ? data : "", size), nullptr, false);
        g_bytes_unref(reply);
    }
    g_object_unref(message);
    g_object_unref(session);
    return state;
}

nlohmann::json Harness::siteState() { return control(""); }

int xdotool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdotool");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int status = -1;
    if (!g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr, &status,
                      nullptr))
        return -1;
    return g_spawn_check_wait_status(status, nullptr) ? 0 : 1;
}

bool runUntil(const std::function<bool()>& condition, double seconds) {
    gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    // The answer is the one the loop saw: asking again could disagree when the condition is a race.
    bool met = condition();
    while (!met && g_get_monotonic_time() < deadline) {
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
        met = condition();
    }
    return met;
}

void runFor(double seconds) { runUntil([] { return false; }, seconds); }

namespace {

pid_t parentOf(pid_t process, std::string* name = nullptr) {
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string pid, command, state, parent;
    if (!(stat >> pid >> command >> state >> parent)) return 0;
    if (name) *name = command;
    return std::atoi(parent.c_str());
}

}  // namespace

pid_t descendantNamed(pid_t root, const std::string& name) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return 0;
    pid_t found = 0;
    while (dirent* entry = ::readdir(proc)) {
        pid_t candidate = std::atoi(entry->d_name);
        std::string command;
        if (candidate <= 0 || !parentOf(candidate, &command) || command.rfind("(" + name, 0) != 0) continue;
        for (pid_t ancestor = parentOf(candidate); ancestor > 1; ancestor = parentOf(ancestor)) {
            if (ancestor == root) found = candidate;
        }
    }
    ::closedir(proc);
    return found;
}

}  // namespace orvela::testing
