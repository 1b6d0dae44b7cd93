#include "web/OfflineView.h"

#include "platform/Accessible.h"

#include <algorithm>

namespace orvela {
namespace {

GtkWidget* label(const char* text, const char* styleClass) {
    GtkWidget* widget = gtk_label_new(text);
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), styleClass);
    return widget;
}

constexpr int maximumMessageWidth = 360;

// How many characters of the widget's font fill the width, counted as a label
// counts them: by the wider of an average character and a digit.
int charactersIn(GtkWidget* widget, int width) {
    PangoContext* context = gtk_widget_get_pango_context(widget);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, pango_context_get_font_description(context), nullptr);
    int widest = std::max(pango_font_metrics_get_approximate_char_width(metrics),
                          pango_font_metrics_get_approximate_digit_width(metrics));
    int characterWidth = std::max(1, (widest + PANGO_SCALE - 1) / PANGO_SCALE);
    pango_font_metrics_unref(metrics);
    return std::max(1, width / characterWidth);
}

}  // namespace

OfflineView::OfflineView(OfflineModel& model) {
    root_ = GObjectPtr<GtkWidget>::sink(gtk_event_box_new());
    gtk_style_context_add_class(gtk_widget_get_style_context(root_.get()), "orvela-offline");

    GtkWidget* stack = gtk_box_new(GTK_ORIENTATION_VERTICAL, 14);
    gtk_widget_set_halign(stack, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(stack, GTK_ALIGN_CENTER);
    for (auto edge : {gtk_widget_set_margin_top, gtk_widget_set_margin_bottom, gtk_widget_set_margin_start,
                      gtk_widget_set_margin_end}) {
        edge(stack, 40);
    }

    GtkWidget* icon = gtk_image_new_from_icon_name("network-offline-symbolic", GTK_ICON_SIZE_INVALID);
    gtk_image_set_pixel_size(GTK_IMAGE(icon), 34);
    gtk_style_context_add_class(gtk_widget_get_style_context(icon), "orvela-offline-icon");

    GtkWidget* message = label(OfflineModel::message, "orvela-offline-message");
    gtk_label_set_line_wrap(GTK_LABEL(message), TRUE);
    gtk_label_set_justify(GTK_LABEL(message), GTK_JUSTIFY_CENTER);
    // At most 360 pixels wide, and narrower in a narrow window: the label wraps.
    // Its width in characters follows its font, known once it is styled.
    gtk_widget_set_halign(message, GTK_ALIGN_CENTER);
    styled_ = SignalConnection::connect<void(GtkWidget*)>(message, "style-updated", [](GtkWidget* label) {
        gtk_label_set_max_width_chars(GTK_LABEL(label), charactersIn(label, maximumMessageWidth));
    });

    button_ = gtk_button_new_with_label(OfflineModel::retryTitle);
    gtk_widget_set_halign(button_, GTK_ALIGN_CENTER);
    gtk_widget_set_can_default(button_, TRUE);
    clicked_ = SignalConnection::connect<void(GtkButton*)>(GTK_BUTTON(button_), "clicked", [&model](GtkButton*) {
        if (model.retry) model.retry();
    });

    // The screen takes the keyboard to its button: a screen reader says the
    // screen's title as the button's surroundings, the message after the button.
    Accessible::setName(stack, OfflineModel::title);
    Accessible::describeBy(button_, message);

    gtk_box_pack_start(GTK_BOX(stack), icon, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(stack), label(OfflineModel::title, "orvela-offline-title"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(stack), message, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(stack), button_, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(root_.get()), stack);
    gtk_widget_show_all(stack);
}

void OfflineView::setVisible(bool visible) {
    gtk_widget_set_visible(root_.get(), visible);
    if (!visible) return;
    gtk_widget_grab_default(button_);
    gtk_widget_grab_focus(button_);
}

}  // namespace orvela
