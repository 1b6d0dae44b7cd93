#include "platform/Desktop.h"

#include "platform/GObjectPtr.h"
#include "platform/Log.h"
#include "platform/SessionBus.h"
#include "platform/SoftwareDrawing.h"

#include <gio/gio.h>
#include <memory>

namespace orvela::Desktop {
namespace {

void launchDefault(const std::string& uri) {
    auto* copy = new std::string(uri);
    GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
    SoftwareDrawing::leaveOut(context.get());
    g_app_info_launch_default_for_uri_async(uri.c_str(), context.get(), nullptr,
        [](GObject*, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::string> launched(static_cast<std::string*>(data));
            GError* error = nullptr;
            if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
                log("cannot open " + *launched + ": " + (error ? error->message : "unknown error"));
                g_clear_error(&error);
            }
        },
        copy);
}

}  // namespace

void openUri(const std::string& uri) { launchDefault(uri); }

void revealFolder(const std::filesystem::path& folder) {
    gchar* uri = g_filename_to_uri(folder.c_str(), nullptr, nullptr);
    if (!uri) return;
    std::string folderUri(uri);
    g_free(uri);
    GDBusConnection* bus = sessionBus();
    if (!bus) {
        launchDefault(folderUri);
        return;
    }
    const gchar* uris[] = {folderUri.c_str(), nullptr};
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", "ShowFolders", g_variant_new("(^ass)", uris, ""), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::string> fallback(static_cast<std::string*>(data));
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (reply) {
                g_variant_unref(reply);
                return;
            }
            g_clear_error(&error);
            launchDefault(*fallback);
        },
        new std::string(folderUri));
}

std::filesystem::path downloadsFolder() {
    if (const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)) return folder;
    return std::filesystem::path(g_get_home_dir()) / "Downloads";
}

}  // namespace orvela::Desktop
