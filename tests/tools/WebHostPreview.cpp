// orvela-web-preview ORIGIN: the main window alone against a web application at
// ORIGIN, for looking at it while the rest of the application is not wired up.
#include "web/WebController.h"

#include <gtk/gtk.h>

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    if (argc != 2) {
        g_printerr("usage: %s ORIGIN\n", argv[0]);
        return 2;
    }
    orvela::DefaultsStore defaults(std::nullopt, {"-origin", argv[1]});
    auto web = orvela::WebController::create(defaults);
    web->onMessage = [](const orvela::BridgeMessage& message) {
        if (auto* inbox = std::get_if<orvela::BridgeMessage::Inbox>(&message.value))
            g_print("inbox: %lld\n", static_cast<long long>(inbox->count));
    };
    web->onBridgeReadyChange = [](bool ready) { g_print("ready: %s\n", ready ? "yes" : "no"); };
    g_signal_connect(web->window(), "hide", G_CALLBACK(gtk_main_quit), nullptr);
    web->bringForward();
    gtk_main();
    return 0;
}
