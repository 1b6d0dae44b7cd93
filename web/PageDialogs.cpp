#include "web/PageDialogs.h"

#include "platform/Accessible.h"

#include <webkit2/webkit2.h>

namespace orvela::PageDialogs {
namespace {

constexpr int okResponse = GTK_RESPONSE_OK;

struct PendingDialog {
    WebKitScriptDialog* request;
    GtkWidget* entry;
};

void answer(GtkDialog* dialog, int response, gpointer data) {
    auto* pending = static_cast<PendingDialog*>(data);
    bool confirmed = response == okResponse;
    switch (webkit_script_dialog_get_dialog_type(pending->request)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(pending->request, confirmed);
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        // A cancelled prompt answers no text, whatever was typed.
        if (confirmed) webkit_script_dialog_prompt_set_text(pending->request, gtk_entry_get_text(GTK_ENTRY(pending->entry)));
        break;
    }
    webkit_script_dialog_close(pending->request);
    webkit_script_dialog_unref(pending->request);
    delete pending;
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

}  // namespace

void runScriptDialog(GtkWindow* parent, WebKitScriptDialog* request) {
    auto type = webkit_script_dialog_get_dialog_type(request);
    GtkWidget* dialog = gtk_message_dialog_new(parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s",
                                               webkit_script_dialog_get_message(request));
    gtk_window_set_title(GTK_WINDOW(dialog), "Orvela");
    // GTK names a message dialog after its kind, in English.
    Accessible::setName(dialog, "Orvela");
    gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", okResponse);
    if (type != WEBKIT_SCRIPT_DIALOG_ALERT) gtk_dialog_add_button(GTK_DIALOG(dialog), "Отмена", GTK_RESPONSE_CANCEL);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), okResponse);

    auto* pending = new PendingDialog{webkit_script_dialog_ref(request), nullptr};
    if (type == WEBKIT_SCRIPT_DIALOG_PROMPT) {
        pending->entry = gtk_entry_new();
        const char* text = webkit_script_dialog_prompt_get_default_text(request);
        gtk_entry_set_text(GTK_ENTRY(pending->entry), text ? text : "");
        gtk_entry_set_activates_default(GTK_ENTRY(pending->entry), TRUE);
        // The page's question is what the field answers.
        Accessible::setName(pending->entry, webkit_script_dialog_get_message(request));
        gtk_widget_set_size_request(pending->entry, 280, 24);
        GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
        gtk_box_pack_end(GTK_BOX(area), pending->entry, FALSE, FALSE, 0);
        gtk_widget_show(pending->entry);
    }
    g_signal_connect(dialog, "response", G_CALLBACK(answer), pending);
    gtk_widget_show(dialog);
}

void runFileChooser(GtkWindow* parent, WebKitFileChooserRequest* request) {
    GtkFileChooserNative* chooser =
        gtk_file_chooser_native_new(nullptr, parent, GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser),
                                         webkit_file_chooser_request_get_select_multiple(request));
    g_object_set_data_full(G_OBJECT(chooser), "request", g_object_ref(request), g_object_unref);
    g_signal_connect(chooser, "response", G_CALLBACK(+[](GtkNativeDialog* native, int response, gpointer) {
                         auto* pending = static_cast<WebKitFileChooserRequest*>(
                             g_object_get_data(G_OBJECT(native), "request"));
                         if (response != GTK_RESPONSE_ACCEPT) {
                             webkit_file_chooser_request_cancel(pending);
                         } else {
                             GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(native));
                             GPtrArray* paths = g_ptr_array_new();
                             for (GSList* item = files; item; item = item->next) g_ptr_array_add(paths, item->data);
                             g_ptr_array_add(paths, nullptr);
                             webkit_file_chooser_request_select_files(pending,
                                                                      reinterpret_cast<const gchar* const*>(paths->pdata));
                             g_ptr_array_free(paths, TRUE);
                             g_slist_free_full(files, g_free);
                         }
                         g_object_unref(native);
                     }),
                     nullptr);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

}  // namespace orvela::PageDialogs
