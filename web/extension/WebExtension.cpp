// Runs inside the web process. Gives every document of every frame the page's side
// of the "orvela" channel, window.webkit.messageHandlers.orvela.postMessage(body),
// and sends each posted body to the application as JSON together with the address
// of the document that posted it and whether its frame is the main frame, so that
// the application can refuse foreign documents.
//
// The address comes from this side, not from the page, and it is the address the
// document had when its channel was installed. A frame object outlives the
// documents it shows: a channel kept from an earlier document of the frame, or
// used while the frame is already on to another, is dropped, so that no document
// can speak with a later document's address.
#include <cstdio>
#include <webkit2/webkit-web-extension.h>

namespace {

constexpr const char* installer = R"js(
(function (post) {
    var handler = Object.freeze({ postMessage: function (body) { post(body); } });
    var namespace = Object.freeze({ messageHandlers: Object.freeze({ orvela: handler }) });
    Object.defineProperty(window, "webkit", { value: namespace, configurable: false, writable: false });
})
)js";

// How many documents the frame has had; kept on the frame object.
GQuark documentCountKey() {
    static GQuark key = g_quark_from_static_string("orvela-document-count");
    return key;
}

guint64 documentCount(WebKitFrame* frame) {
    return GPOINTER_TO_SIZE(g_object_get_qdata(G_OBJECT(frame), documentCountKey()));
}

struct Channel {
    GWeakRef page;
    GWeakRef frame;
    guint64 document = 0;
    char* address = nullptr;
    gboolean mainFrame = FALSE;
};

void destroyChannel(gpointer data) {
    auto* channel = static_cast<Channel*>(data);
    g_weak_ref_clear(&channel->page);
    g_weak_ref_clear(&channel->frame);
    g_free(channel->address);
    delete channel;
}

void post(JSCValue* body, gpointer data) {
    auto* channel = static_cast<Channel*>(data);
    auto* page = static_cast<WebKitWebPage*>(g_weak_ref_get(&channel->page));
    auto* frame = static_cast<WebKitFrame*>(g_weak_ref_get(&channel->frame));
    if (page && frame && documentCount(frame) == channel->document) {
        char* json = jsc_value_to_json(body, 0);
        GVariant* parameters = g_variant_new("(ssb)", json ? json : "null", channel->address, channel->mainFrame);
        webkit_web_page_send_message_to_view(page, webkit_user_message_new("orvela", parameters), nullptr,
                                             nullptr, nullptr);
        g_free(json);
    }
    if (frame) g_object_unref(frame);
    if (page) g_object_unref(page);
}

// Called once for every new document's window object, before its scripts run.
void installChannel(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
    guint64 document = documentCount(frame) + 1;
    g_object_set_qdata(G_OBJECT(frame), documentCountKey(), GSIZE_TO_POINTER(document));

    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    auto* channel = new Channel;
    g_weak_ref_init(&channel->page, page);
    g_weak_ref_init(&channel->frame, frame);
    channel->document = document;
    const char* address = webkit_frame_get_uri(frame);
    channel->address = g_strdup(address ? address : "");
    channel->mainFrame = webkit_frame_is_main_frame(frame);
    JSCValue* postFunction = jsc_value_new_function(context, "post", G_CALLBACK(post), channel, destroyChannel,
                                                    G_TYPE_NONE, 1, JSC_TYPE_VALUE);
    JSCValue* install = jsc_context_evaluate(context, installer, -1);
    JSCValue* result = jsc_value_function_call(install, JSC_TYPE_VALUE, postFunction, G_TYPE_NONE);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        fprintf(stderr, "Orvela: page channel: %s\n", jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    }
    g_clear_object(&result);
    g_object_unref(install);
    g_object_unref(postFunction);
    g_object_unref(context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension*) {
    // A start-up benchmark lays the web process's start beside the application's phases.
    if (g_getenv("ORVELA_STARTUP_TRACE"))
        std::fprintf(stderr, "startup: web-extension %lld\n", static_cast<long long>(g_get_monotonic_time()));
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(installChannel),
                     nullptr);
}
