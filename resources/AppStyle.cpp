#include "resources/AppStyle.h"

#include <gtk/gtk.h>

namespace orvela::AppStyle {
namespace {

constexpr const char* styleSheet = R"css(
.orvela-offline {
    background-color: @theme_bg_color;
}
.orvela-offline .orvela-offline-icon {
    color: alpha(currentColor, 0.55);
}
.orvela-offline .orvela-offline-title {
    font-size: 15pt;
    font-weight: 600;
}
.orvela-offline .orvela-offline-message {
    color: alpha(currentColor, 0.65);
}
)css";

}  // namespace

void install() {
    static bool installed = false;
    GdkScreen* screen = gdk_screen_get_default();
    if (installed || !screen) return;
    installed = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, styleSheet, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

}  // namespace orvela::AppStyle
