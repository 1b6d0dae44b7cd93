#include "capture/CaptureView.h"

#include "platform/Accessible.h"
#include "resources/AppStyle.h"

#include <gdk/gdkkeysyms.h>

namespace orvela {
namespace {

GtkWidget* styled(GtkWidget* widget, const char* styleClass) {
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), styleClass);
    return widget;
}

std::string bufferText(GtkTextBuffer* buffer) {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string result(text);
    g_free(text);
    return result;
}

// Height of one line of the field's font, for its size limits.
int lineHeight(GtkWidget* field) {
    PangoLayout* layout = gtk_widget_create_pango_layout(field, "Яy");
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    return height;
}

}  // namespace

CaptureView::CaptureView(CaptureModel& model) : model_(model) {
    root_ = GObjectPtr<GtkWidget>::sink(styled(gtk_event_box_new(), "orvela-capture"));
    GtkWidget* stack = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_widget_set_size_request(stack, width - 40, -1);
    gtk_widget_set_margin_start(stack, 20);
    gtk_widget_set_margin_end(stack, 20);
    gtk_widget_set_margin_top(stack, 14);
    gtk_widget_set_margin_bottom(stack, 14);
    gtk_box_pack_start(GTK_BOX(stack), buildHeader(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(stack), buildField(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(stack), buildFooter(), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(root_.get()), stack);
    gtk_widget_show_all(stack);

    // Listeners hear a new value before the model stores it, so each one works
    // from the value it is given.
    subscriptions_.push_back(model_.text.subscribe([this](const std::string& text) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(field_));
        if (bufferText(buffer) != text) {
            writingBuffer_ = true;
            gtk_text_buffer_set_text(buffer, text.c_str(), static_cast<gint>(text.size()));
            writingBuffer_ = false;
        }
        gtk_widget_set_visible(placeholder_, text.empty());
        gtk_widget_set_sensitive(saveButton_, !model_.busy.get() && !CaptureModel::isBlank(text));
    }));
    subscriptions_.push_back(model_.busy.subscribe([this](bool busy) {
        gtk_widget_set_sensitive(field_, !busy);
        gtk_widget_set_sensitive(saveButton_, !busy && !model_.empty());
        // Disabling the field took the keyboard from it; it gets it back.
        if (!busy) focusField();
    }));
    subscriptions_.push_back(model_.flash.subscribe([this](const std::optional<std::string>& flash) {
        if (flash) {
            gtk_label_set_text(GTK_LABEL(flashLabel_), flash->c_str());
            Accessible::announce(flashLabel_);
        }
        gtk_revealer_set_reveal_child(GTK_REVEALER(flashRevealer_), flash.has_value());
    }));
    subscriptions_.push_back(model_.focusToken.subscribe([this](int64_t) { focusField(); }));
}

GtkWidget* CaptureView::buildHeader() {
    GtkWidget* header = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    GtkWidget* icon = styled(gtk_image_new_from_icon_name(AppStyle::menuBarIcon, GTK_ICON_SIZE_MENU), "orvela-secondary");
    gtk_box_pack_start(GTK_BOX(header), icon, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(header), styled(gtk_label_new(title), "orvela-capture-title"), FALSE, FALSE, 0);
    flashLabel_ = styled(gtk_label_new(""), "orvela-capture-flash");
    gtk_label_set_ellipsize(GTK_LABEL(flashLabel_), PANGO_ELLIPSIZE_END);
    // The outcome of a capture is spoken while the keyboard stays in the field.
    Accessible::makeNotification(flashLabel_);
    flashRevealer_ = gtk_revealer_new();
    gtk_revealer_set_transition_type(GTK_REVEALER(flashRevealer_), GTK_REVEALER_TRANSITION_TYPE_CROSSFADE);
    gtk_revealer_set_transition_duration(GTK_REVEALER(flashRevealer_), 150);
    gtk_container_add(GTK_CONTAINER(flashRevealer_), flashLabel_);
    gtk_box_pack_end(GTK_BOX(header), flashRevealer_, FALSE, FALSE, 0);
    return header;
}

GtkWidget* CaptureView::buildField() {
    field_ = styled(gtk_text_view_new(), "orvela-capture-field");
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(field_), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(field_), FALSE);
    // A text view has no name of its own, and the placeholder is drawn over it.
    Accessible::setName(field_, title);
    Accessible::setDescription(field_, placeholder);
    placeholder_ = styled(gtk_label_new(placeholder), "orvela-capture-placeholder");
    gtk_widget_set_halign(placeholder_, GTK_ALIGN_START);
    gtk_widget_set_valign(placeholder_, GTK_ALIGN_START);
    gtk_widget_set_can_focus(placeholder_, FALSE);

    // The field grows with its text up to eight lines, then scrolls.
    scroller_ = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller_), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroller_), TRUE);
    gtk_container_add(GTK_CONTAINER(scroller_), field_);
    GtkWidget* overlay = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(overlay), scroller_);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), placeholder_);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), placeholder_, TRUE);

    connections_.push_back(SignalConnection::connect<void(GtkWidget*)>(
        field_, "style-updated", [this](GtkWidget*) {
            int line = lineHeight(field_);
            gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scroller_), line);
            gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroller_), line * maximumLines);
        }));
    connections_.push_back(SignalConnection::connect<void(GtkTextBuffer*)>(
        gtk_text_view_get_buffer(GTK_TEXT_VIEW(field_)), "changed", [this](GtkTextBuffer*) { textChanged(); }));
    connections_.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEventKey*)>(
        root_.get(), "key-press-event", [this](GtkWidget*, GdkEventKey* event) -> gboolean { return keyPressed(event); }));
    connections_.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEventKey*)>(
        field_, "key-press-event", [this](GtkWidget*, GdkEventKey* event) -> gboolean { return keyPressed(event); }));
    return overlay;
}

GtkWidget* CaptureView::buildFooter() {
    GtkWidget* footer = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_box_pack_start(GTK_BOX(footer), styled(gtk_label_new(hint), "orvela-capture-hint"), FALSE, FALSE, 0);
    saveButton_ = styled(gtk_button_new_with_label(saveTitle), "suggested-action");
    gtk_widget_set_can_default(saveButton_, TRUE);
    gtk_widget_set_can_focus(saveButton_, FALSE);
    connections_.push_back(SignalConnection::connect<void(GtkButton*)>(
        GTK_BUTTON(saveButton_), "clicked", [this](GtkButton*) { model_.submit(); }));
    gtk_box_pack_end(GTK_BOX(footer), saveButton_, FALSE, FALSE, 0);
    return footer;
}

// Return submits, Alt-Return (or Shift-Return) starts a new line, Escape closes.
bool CaptureView::keyPressed(GdkEventKey* event) {
    bool isReturn = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter;
    // While an input method composes (IBus, Fcitx, a dead key), Return and Escape
    // are its own: they finish or drop what it composes.
    if ((isReturn || event->keyval == GDK_KEY_Escape) && gtk_widget_has_focus(field_) &&
        gtk_text_view_im_context_filter_keypress(GTK_TEXT_VIEW(field_), event))
        return true;
    if (event->keyval == GDK_KEY_Escape) {
        model_.close();
        return true;
    }
    if (!isReturn || !gtk_widget_has_focus(field_)) return false;
    if (event->state & (GDK_MOD1_MASK | GDK_SHIFT_MASK)) {
        gtk_text_buffer_insert_at_cursor(gtk_text_view_get_buffer(GTK_TEXT_VIEW(field_)), "\n", 1);
        return true;
    }
    model_.submit();
    return true;
}

void CaptureView::textChanged() {
    if (writingBuffer_) return;
    model_.text.set(bufferText(gtk_text_view_get_buffer(GTK_TEXT_VIEW(field_))));
}

void CaptureView::focusField() {
    gtk_widget_grab_focus(field_);
}

}  // namespace orvela
