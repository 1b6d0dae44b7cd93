#include "web/WebContext.h"

#include "platform/Log.h"

#include <filesystem>
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
            if (std::filesystem::exists(candidate / "liborvela-web-extension.so")) return candidate;
        }
    }
    return ORVELA_INSTALLED_WEB_EXTENSIONS;
}

// Whether this system lets an unprivileged sandbox be made (user namespaces,
// bubblewrap present); containers and some hardened kernels do not.
bool sandboxPossible() {
    const char* argv[] = {"bwrap", "--ro-bind", "/", "/", "--unshare-all", "--die-with-parent", "true", nullptr};
    int status = -1;
    GError* error = nullptr;
    bool ran = g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr,
                            GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                            nullptr, nullptr, nullptr, nullptr, &status, &error);
    g_clear_error(&error);
    return ran && g_spawn_check_wait_status(status, nullptr);
}

}  // namespace

WebKitWebContext* shared() {
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
        if (!std::filesystem::exists(extensions / "liborvela-web-extension.so"))
            log("web extension not found in " + extensions.string() + "; the page cannot talk to the application");
        webkit_web_context_set_web_extensions_directory(created, extensions.c_str());
        // Pages run in a sandbox of their own where the system can make one.
        if (sandboxPossible()) webkit_web_context_set_sandbox_enabled(created, TRUE);
        else log("web sandbox: bubblewrap cannot make a sandbox here; pages run without it");
        webkit_web_context_set_spell_checking_enabled(created, TRUE);
        const char* languages[] = {"ru_RU", "en_US", nullptr};
        webkit_web_context_set_spell_checking_languages(created, languages);
        return created;
    }();
    return context;
}

}  // namespace orvela::WebContext
