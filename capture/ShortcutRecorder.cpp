#include "capture/ShortcutRecorder.h"

#include "capture/HotKey.h"

#include "capture/KeyPositions.h"
#include "capture/RecordedKey.h"
#include "platform/Accessible.h"

namespace orvela {
namespace {

constexpr const char* recordingTitle = "Нажмите сочетание…";
constexpr const char* desktopSettingsHint =
    "Это сочетание назначает рабочий стол. Изменить его можно в настройках клавиатуры рабочего стола: "
    "действие «Быстрая запись во «Входящие»» программы Orvela.";

// GDK's modifier state in the flags a shortcut is made of; Caps Lock comes
// along as the lock flag, which the shortcut then leaves out.
uint64_t modifierFlags(guint state) {
    uint64_t flags = 0;
    if (state & GDK_LOCK_MASK) flags |= 0x10000;
    if (state & GDK_SHIFT_MASK) flags |= Shortcut::shift;
    if (state & GDK_CONTROL_MASK) flags |= Shortcut::control;
    if (state & GDK_MOD1_MASK) flags |= Shortcut::option;
    if (state & (GDK_SUPER_MASK | GDK_MOD4_MASK)) flags |= Shortcut::command;
    return flags;
}

}  // namespace

ShortcutRecorder::ShortcutRecorder(Binding shortcut)
    : shortcut_(std::move(shortcut)),
      box_(GObjectPtr<GtkWidget>::sink(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6))),
      button_(gtk_button_new_with_label("")),
      reset_(gtk_button_new_from_icon_name("edit-undo-symbolic", GTK_ICON_SIZE_BUTTON)) {
    gtk_widget_set_valign(box_.get(), GTK_ALIGN_CENTER);
    gtk_widget_set_size_request(button_, 150, -1);
    gtk_button_set_relief(GTK_BUTTON(reset_), GTK_RELIEF_NONE);
    std::string resetTitle = "Вернуть " + Shortcut::defaultCapture.displayForUser();
    gtk_widget_set_tooltip_text(reset_, resetTitle.c_str());
    // The button shows only an icon; screen readers say what it does, once: GTK
    // would read the same tooltip again as its description.
    Accessible::setName(reset_, resetTitle.c_str());
    Accessible::setDescription(reset_, "");
    gtk_widget_set_no_show_all(reset_, TRUE);
    gtk_box_pack_start(GTK_BOX(box_.get()), button_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box_.get()), reset_, FALSE, FALSE, 0);
    gtk_widget_show(button_);

    connections_.push_back(SignalConnection::connect<void(GtkButton*)>(GTK_BUTTON(button_), "clicked", [this](GtkButton*) {
        if (recording_) stop();
        else start();
    }));
    connections_.push_back(SignalConnection::connect<void(GtkButton*)>(GTK_BUTTON(reset_), "clicked", [this](GtkButton*) {
        shortcut_.set(Shortcut::defaultCapture);
        refresh();
    }));
    // Recording ends when the recorder leaves the screen with its window.
    connections_.push_back(SignalConnection::connect<void(GtkWidget*)>(box_.get(), "unmap", [this](GtkWidget*) {
        if (recording_) stop();
    }));
    beep = [box = box_.get()] { gdk_display_beep(gtk_widget_get_display(box)); };
    refresh();
}

namespace {

ShortcutRecorder* recordingRecorder = nullptr;

}  // namespace

ShortcutRecorder::~ShortcutRecorder() {
    if (recordingRecorder == this) recordingRecorder = nullptr;
    monitors_.clear();
    connections_.clear();
}

ShortcutRecorder* ShortcutRecorder::recordingNow() { return recordingRecorder; }

void ShortcutRecorder::start() {
    // A desktop that binds the key itself chooses it: in its own dialog where it
    // has one, otherwise in its keyboard settings, which the recorder points to.
    if (HotKey::desktopBinds()) {
        GtkWidget* top = gtk_widget_get_toplevel(button_);
        if (!HotKey::configureThroughDesktop(GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr)) showWhereToChange();
        return;
    }
    recording_ = true;
    recordingRecorder = this;
    // Each window's own handler runs before its shortcuts and its focused widget.
    GList* windows = gtk_window_list_toplevels();
    for (GList* window = windows; window; window = window->next) {
        monitors_.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEvent*)>(
            GTK_WIDGET(window->data), "key-press-event",
            [this](GtkWidget*, GdkEvent* event) { return keyPressed(&event->key) ? TRUE : FALSE; }));
    }
    g_list_free(windows);
    refresh();
}

void ShortcutRecorder::stop() {
    recording_ = false;
    if (recordingRecorder == this) recordingRecorder = nullptr;
    monitors_.clear();
    refresh();
}

bool ShortcutRecorder::keyPressed(const GdkEventKey* event) {
    // Modifiers on their way to a combination are no key of their own.
    if (event->is_modifier) return true;
    record(event->hardware_keycode, event->state);
    return true;
}

void ShortcutRecorder::record(unsigned hardwareKeycode, unsigned state) {
    auto position = KeyPositions::keyCodeOfX11(hardwareKeycode);
    auto key = position ? RecordedKey::of(*position, modifierFlags(GdkModifierType(state)))
                        : RecordedKey{RecordedKey::Kind::refuse, {}};
    switch (key.kind) {
    case RecordedKey::Kind::cancel:
        stop();
        break;
    case RecordedKey::Kind::accept:
        shortcut_.set(key.shortcut);
        stop();
        break;
    case RecordedKey::Kind::refuse:
        if (beep) beep();
        break;
    }
}

void ShortcutRecorder::showWhereToChange() {
    if (!whereToChange_) {
        whereToChange_ = gtk_popover_new(button_);
        GtkWidget* text = gtk_label_new(desktopSettingsHint);
        gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
        gtk_label_set_max_width_chars(GTK_LABEL(text), 40);
        g_object_set(text, "margin", 12, nullptr);
        gtk_container_add(GTK_CONTAINER(whereToChange_), text);
        gtk_widget_show(text);
    }
    gtk_popover_popup(GTK_POPOVER(whereToChange_));
}

std::string ShortcutRecorder::resetTooltip() const {
    gchar* text = gtk_widget_get_tooltip_text(reset_);
    std::string tooltip = text ? text : "";
    g_free(text);
    return tooltip;
}

void ShortcutRecorder::refresh() {
    Shortcut current = shortcut_.get();
    gtk_button_set_label(GTK_BUTTON(button_), recording_ ? recordingTitle : current.displayForUser().c_str());
    // A key the desktop chooses is not brought back from here either.
    gtk_widget_set_visible(reset_, !recording_ && current != Shortcut::defaultCapture && !HotKey::desktopBinds());
}

}  // namespace orvela
