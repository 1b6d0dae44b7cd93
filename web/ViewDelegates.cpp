#include "web/ViewDelegates.h"

#include "web/DownloadHandler.h"
#include "web/PageDialogs.h"
#include "web/WebContext.h"

namespace orvela {

ViewDelegates::ViewDelegates(WebKitWebView* view, GtkWindow* window, const NavigationPolicy& policy) {
    auto& c = connections_;
    c.push_back(SignalConnection::connect<gboolean(WebKitWebView*, WebKitScriptDialog*)>(
        view, "script-dialog", [window](WebKitWebView*, WebKitScriptDialog* dialog) {
            PageDialogs::runScriptDialog(window, dialog);
            return TRUE;
        }));
    c.push_back(SignalConnection::connect<gboolean(WebKitWebView*, WebKitFileChooserRequest*)>(
        view, "run-file-chooser", [window](WebKitWebView*, WebKitFileChooserRequest* request) {
            PageDialogs::runFileChooser(window, request);
            return TRUE;
        }));
    c.push_back(SignalConnection::connect<gboolean(WebKitWebView*, WebKitPermissionRequest*)>(
        view, "permission-request", [&policy](WebKitWebView* requester, WebKitPermissionRequest* request) -> gboolean {
            if (!WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) return FALSE;
            if (microphoneAllowed(WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request), policy, webkit_web_view_get_uri(requester)))
                webkit_permission_request_allow(request);
            else
                webkit_permission_request_deny(request);
            return TRUE;
        }));
    c.push_back(SignalConnection::connect<void(WebKitWebContext*, WebKitDownload*)>(
        WebContext::shared(), "download-started", [view](WebKitWebContext*, WebKitDownload* download) {
            if (webkit_download_get_web_view(download) == view) DownloadHandler::handle(download);
        }));
}

bool ViewDelegates::microphoneAllowed(WebKitUserMediaPermissionRequest* request, const NavigationPolicy& policy,
                                      const char* viewAddress) {
    // A screen shared with its sound asks for audio too; it is no microphone.
    bool microphoneOnly = webkit_user_media_permission_is_for_audio_device(request) &&
                          !webkit_user_media_permission_is_for_video_device(request) &&
                          !webkit_user_media_permission_is_for_display_device(request);
    // The application's own origin only: its host over plain http, or on another
    // port, is someone else's page.
    return microphoneOnly && viewAddress && policy.isAppPage(std::string(viewAddress));
}

}  // namespace orvela
