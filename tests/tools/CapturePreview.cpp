// orvela-capture-preview [--answer saved|queued|failed]: the capture panel on the
// hot key Ctrl+Shift+Space, with every capture answered as the flag says and
// printed, for trying the panel while the rest of the application is not wired up.
#include "capture/CapturePanel.h"
#include "capture/HotKeyRegistration.h"

#include <cstring>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    auto answer = orvela::CaptureOutcome::saved;
    if (argc == 3 && std::strcmp(argv[1], "--answer") == 0) {
        if (std::strcmp(argv[2], "queued") == 0) answer = orvela::CaptureOutcome::queued;
        else if (std::strcmp(argv[2], "failed") == 0) answer = orvela::CaptureOutcome::failed;
    } else if (argc != 1) {
        g_printerr("usage: %s [--answer saved|queued|failed]\n", argv[0]);
        return 2;
    }
    auto panel = orvela::CapturePanel::create();
    panel->onSave = [answer](const std::string& text, orvela::CaptureHost::Done done) {
        g_print("capture: %s\n", text.c_str());
        done(answer);
    };
    orvela::HotKeyRegistration registration;
    std::weak_ptr<orvela::CapturePanel> weak = panel;
    registration.hotKey = orvela::HotKey::create([weak] {
        if (auto strong = weak.lock()) strong->toggle();
    });
    registration.registerHotKey(orvela::Shortcut::defaultCapture);
    if (registration.hotKeyTaken) return 1;
    g_print("press %s\n", orvela::Shortcut::defaultCapture.display().c_str());
    gtk_main();
    return 0;
}
