#include "app/UpdateDialogs.h"

#include "platform/Accessible.h"
#include "platform/Desktop.h"

namespace orvela::UpdateDialogs {
namespace {

constexpr const char* windowTitle = "Обновление Orvela";

GtkWidget* dialog(GtkWindow* parent, GtkMessageType type, GtkButtonsType buttons, const std::string& title,
                  const std::string& detail) {
    GtkWidget* shown = gtk_message_dialog_new(parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), type, buttons,
                                              "%s", title.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(shown), "%s", detail.c_str());
    gtk_window_set_title(GTK_WINDOW(shown), windowTitle);
    // GTK names a message dialog after its kind, in English ("Question").
    Accessible::setName(shown, windowTitle);
    return shown;
}

void closeOnResponse(GtkWidget* shown) {
    g_signal_connect(shown, "response", G_CALLBACK(+[](GtkDialog* self, int, gpointer) { gtk_widget_destroy(GTK_WIDGET(self)); }),
                     nullptr);
    gtk_widget_show(shown);
}

}  // namespace

void present(GtkWindow* parent, const UpdateChecker::Result& result, bool asked, const std::string& currentVersion) {
    using Kind = UpdateChecker::Result::Kind;
    if (result.kind == Kind::newer) {
        GtkWidget* shown = dialog(parent, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
                                  "Доступна Orvela " + result.release.shortVersion,
                                  "У вас версия " + currentVersion + ". Открыть страницу загрузки?");
        gtk_dialog_add_buttons(GTK_DIALOG(shown), "Позже", GTK_RESPONSE_CANCEL, "Открыть страницу загрузки",
                               GTK_RESPONSE_ACCEPT, nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(shown), GTK_RESPONSE_ACCEPT);
        auto* page = new std::string(result.release.page);
        g_signal_connect_data(
            shown, "response", G_CALLBACK(+[](GtkDialog* self, int response, gpointer data) {
                if (response == GTK_RESPONSE_ACCEPT) Desktop::openUri(*static_cast<std::string*>(data));
                gtk_widget_destroy(GTK_WIDGET(self));
            }),
            page, [](gpointer data, GClosure*) { delete static_cast<std::string*>(data); }, GConnectFlags(0));
        gtk_widget_show(shown);
        return;
    }
    if (!asked) return;
    if (result.kind == Kind::upToDate)
        closeOnResponse(dialog(parent, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "У вас последняя версия Orvela",
                               "Версия " + currentVersion + " — новее пока нет."));
    else
        closeOnResponse(dialog(parent, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "Не удалось проверить обновления",
                               result.error));
}

}  // namespace orvela::UpdateDialogs
