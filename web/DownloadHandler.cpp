#include "web/DownloadHandler.h"

#include "platform/Desktop.h"
#include "platform/Log.h"
#include "web/FreeName.h"

#include <webkit2/webkit2.h>

namespace orvela::DownloadHandler {
namespace {

constexpr const char* failedKey = "orvela-failed";

gboolean decideDestination(WebKitDownload* download, gchar* suggested, gpointer) {
    auto folder = Desktop::downloadsFolder();
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) log("cannot create " + folder.string() + ": " + code.message());
    auto destination = freeName(suggested ? suggested : "", folder);
    if (!destination) {
        log("cannot create a file in " + folder.string());
        webkit_download_cancel(download);
        return TRUE;
    }
    // The empty file is this download's reservation of the name.
    webkit_download_set_allow_overwrite(download, TRUE);
    webkit_download_set_destination(download, destination->c_str());
    return TRUE;
}

void failed(WebKitDownload* download, GError*, gpointer) {
    g_object_set_data(G_OBJECT(download), failedKey, GINT_TO_POINTER(1));
}

// WebKit reports "finished" after "failed" too; only a completed download is shown.
void finished(WebKitDownload* download, gpointer) {
    if (g_object_get_data(G_OBJECT(download), failedKey)) return;
    Desktop::revealFolder(Desktop::downloadsFolder());
}

}  // namespace

void handle(WebKitDownload* download) {
    g_signal_connect(download, "decide-destination", G_CALLBACK(decideDestination), nullptr);
    g_signal_connect(download, "failed", G_CALLBACK(failed), nullptr);
    g_signal_connect(download, "finished", G_CALLBACK(finished), nullptr);
}

}  // namespace orvela::DownloadHandler
