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

.orvela-capture-panel {
    background-color: transparent;
}
.orvela-capture {
    background-color: @theme_bg_color;
    border: 1px solid alpha(@theme_fg_color, 0.08);
    border-radius: 14px;
}
.orvela-capture .orvela-secondary,
.orvela-capture .orvela-capture-title,
.orvela-capture .orvela-capture-flash {
    color: alpha(@theme_fg_color, 0.6);
}
.orvela-capture .orvela-capture-title {
    font-size: 13pt;
    font-weight: 600;
}
.orvela-capture .orvela-capture-flash {
    font-size: 12pt;
}
.orvela-capture .orvela-capture-field,
.orvela-capture .orvela-capture-field text,
.orvela-capture scrolledwindow {
    background-color: transparent;
    border: none;
    font-size: 18pt;
}
.orvela-capture .orvela-capture-placeholder {
    font-size: 18pt;
    color: alpha(@theme_fg_color, 0.35);
}
.orvela-capture .orvela-capture-hint {
    font-size: 11pt;
    color: alpha(@theme_fg_color, 0.4);
}
.orvela-snapshot-ground {
    background-color: shade(@theme_bg_color, 0.94);
}
.orvela-settings .orvela-settings-group {
    background-color: @theme_base_color;
}
.orvela-settings .orvela-settings-hint {
    font-size: 0.92em;
    color: alpha(@theme_fg_color, 0.6);
}
.orvela-settings .orvela-settings-conflict {
    font-size: 0.92em;
    color: @error_color;
}
.orvela-settings .orvela-settings-command {
    font-family: monospace;
    font-size: 0.92em;
}
)css";

void addIconFolder() {
    if (auto folder = localIconFolder()) gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), folder->c_str());
}

}  // namespace

std::optional<std::string> localIconFolder() {
    gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
    if (!executable) return std::nullopt;
    gchar* folder = g_path_get_dirname(executable);
    gchar* icons = g_build_filename(folder, "..", "share", "icons", nullptr);
    std::optional<std::string> found;
    if (g_file_test(icons, G_FILE_TEST_IS_DIR)) found = icons;
    g_free(icons);
    g_free(folder);
    g_free(executable);
    return found;
}

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
    addIconFolder();
}

}  // namespace orvela::AppStyle
