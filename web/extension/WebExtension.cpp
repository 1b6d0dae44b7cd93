// Runs inside the web process. Gives every frame of every page the page's side of
// the "orvela" channel, window.webkit.messageHandlers.orvela.postMessage(body), and
// sends each posted body to the application as JSON together with the address of
// the frame that posted it, so that the application can refuse foreign frames.
// The address comes from this side, not from the page, so a frame cannot claim
// another frame's address.
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

struct Channel {
    GWeakRef page;
    GWeakRef frame;
};

void destroyChannel(gpointer data) {
    auto* channel = static_cast<Channel*>(data);
    g_weak_ref_clear(&channel->page);
    g_weak_ref_clear(&channel->frame);
    delete channel;
}

void post(JSCValue* body, gpointer data) {
    auto* channel = static_cast<Channel*>(data);
    auto* page = static_cast<WebKitWebPage*>(g_weak_ref_get(&channel->page));
    auto* frame = static_cast<WebKitFrame*>(g_weak_ref_get(&channel->frame));
    if (page && frame) {
        char* json = jsc_value_to_json(body, 0);
        const char* frameUri = webkit_frame_get_uri(frame);
        GVariant* parameters = g_variant_new("(ss)", json ? json : "null", frameUri ? frameUri : "");
        webkit_web_page_send_message_to_view(page, webkit_user_message_new("orvela", parameters), nullptr,
                                             nullptr, nullptr);
        g_free(json);
    }
    if (frame) g_object_unref(frame);
    if (page) g_object_unref(page);
}

void installChannel(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    auto* channel = new Channel;
    g_weak_ref_init(&channel->page, page);
    g_weak_ref_init(&channel->frame, frame);
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
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(installChannel),
                     nullptr);
}
