#include "web/WebContext.h"

#include "platform/Log.h"
#include "platform/StartupTrace.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <utility>
#include <webkit2/webkit2.h>

namespace orvela::WebContext {
namespace {

// Beside the executable in the build tree, else in the library folder of the
// installation the executable belongs to (wherever it was unpacked), else where
// the package installs it.
std::filesystem::path extensionsFolder() {
    std::error_code code;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", code);
    if (!code) {
        auto bin = executable.parent_path();
        for (auto candidate : {bin / "web-extensions", bin.parent_path() / ORVELA_LIBDIR / "orvela" / "web-extensions"}) {
            if (std::filesystem::exists(candidate / "liborvela-web-extension.so", code)) return candidate;
        }
    }
    return ORVELA_INSTALLED_WEB_EXTENSIONS;
}

// The bubblewrap run that tells whether this system lets an unprivileged
// sandbox be made (user namespaces, bubblewrap present); containers and some
// hardened kernels do not. 0 before it started, -1 when it could not start.
GPid probe = 0;

void startProbe() {
    if (probe) return;
    // The check runs only true: it may inherit this process's descriptors, which
    // lets GLib start it with posix_spawn rather than copy the whole process.
    const char* argv[] = {"bwrap", "--ro-bind", "/", "/", "--unshare-all", "--die-with-parent", "true", nullptr};
    bool started = g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
                                 GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                             G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL |
                                             G_SPAWN_LEAVE_DESCRIPTORS_OPEN),
                                 nullptr, nullptr, &probe, nullptr);
    if (!started) probe = -1;
}

// Bubblewrap answers in tens of milliseconds; one that hangs (a broken or
// substituted bwrap) must not keep the window from ever showing its page.
constexpr gint64 probeLimit = 5 * G_USEC_PER_SEC;

pid_t reap(pid_t child, int* status, int options) {
    pid_t waited;
    do waited = waitpid(child, status, options);
    while (waited < 0 && errno == EINTR);
    return waited;
}

bool sandboxPossible() {
    startProbe();
    if (probe < 0) return false;
    const gint64 deadline = g_get_monotonic_time() + probeLimit;
    int status = -1;
    pid_t waited;
    while ((waited = reap(probe, &status, WNOHANG)) == 0) {
        if (g_get_monotonic_time() >= deadline) {
            // Ended and reaped, so that it outlives neither the question nor the application.
            kill(probe, SIGKILL);
            reap(probe, nullptr, 0);
            log("web sandbox: bubblewrap gave no answer in 5 s and was stopped");
            return false;
        }
        g_usleep(1000);
    }
    return waited == probe && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The context alone, before whether its pages get a sandbox is decided.
WebKitWebContext* made() {
    static WebKitWebContext* context = [] {
        auto data = std::filesystem::path(g_get_user_data_dir()) / "orvela";
        auto cache = std::filesystem::path(g_get_user_cache_dir()) / "orvela";
        WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
            "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr);
        WebKitWebContext* created = webkit_web_context_new_with_website_data_manager(manager);
        // One web application in one view: no page cache for back and forward, a
        // small memory cache. The application navigates within its page, so the
        // user never waits on what this leaves out.
        webkit_web_context_set_cache_model(created, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        auto cookies = data / "cookies.sqlite";
        std::error_code ignored;
        std::filesystem::create_directories(data, ignored);
        webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(manager),
                                                     cookies.c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
        g_object_unref(manager);
        auto extensions = extensionsFolder();
        if (!std::filesystem::exists(extensions / "liborvela-web-extension.so", ignored))
            log("web extension not found in " + extensions.string() + "; the page cannot talk to the application");
        webkit_web_context_set_web_extensions_directory(created, extensions.c_str());
        g_signal_connect(created, "initialize-web-extensions",
                         G_CALLBACK(+[](WebKitWebContext*) { StartupTrace::mark("web-process-spawn"); }), nullptr);
        StartupTrace::mark("context-made");
        return created;
    }();
    return context;
}

}  // namespace

void prepare() { made(); }

WebKitWebContext* shared() {
    static WebKitWebContext* context = [] {
        WebKitWebContext* created = made();
        // Pages run in a sandbox of their own where the system can make one.
        if (sandboxPossible()) webkit_web_context_set_sandbox_enabled(created, TRUE);
        else log("web sandbox: bubblewrap cannot make a sandbox here; pages run without it");
        StartupTrace::mark("sandbox-probed");
        return created;
    }();
    return context;
}

void probeSandbox() { startProbe(); }

void startSpellChecking() {
    static bool started = false;
    if (std::exchange(started, true)) return;
    StartupTrace::mark("spell-checking");
    webkit_web_context_set_spell_checking_enabled(shared(), TRUE);
    const char* languages[] = {"ru_RU", "en_US", nullptr};
    webkit_web_context_set_spell_checking_languages(shared(), languages);
}

}  // namespace orvela::WebContext
