#include "settings/SettingsView.h"

#include "app/AppConfig.h"
#include "capture/PortalTrigger.h"
#include "platform/Accessible.h"
#include "platform/MainQueue.h"
#include "resources/AppStyle.h"

namespace orvela {
namespace {

constexpr const char* hint = "Из любой программы откроет окошко записи во «Входящие».";
constexpr const char* conflict = "Это сочетание уже занято другой программой — выберите другое.";
constexpr const char* noGlobalKeys =
    "Этот рабочий стол не даёт программам занимать сочетания клавиш. Назначьте своё сочетание "
    "в настройках клавиатуры рабочего стола, с командой:";
constexpr const char* captureCommand = "orvela orvela://capture";
constexpr const char* waitingForDesktop = "Ждём ответа рабочего стола: сочетание заработает, когда он его назначит.";
constexpr const char* unassigned =
    "Рабочий стол принял быструю запись, но пока не назначил ей сочетание. Назначьте его в настройках клавиатуры "
    "рабочего стола: действие «Быстрая запись во «Входящие»» программы Orvela.";
constexpr const char* layoutSwitch =
    "Здесь Ctrl+Shift переключает раскладку, и с ним это сочетание не сработает — выберите другое, "
    "например Ctrl+Alt+Пробел.";
constexpr const char* declined = "Рабочий стол не разрешил занять это сочетание, и Orvela больше не спрашивает.";

// A boxed group of rows, as in a preferences page. A plain box, so the keyboard
// goes from control to control.
GtkWidget* addGroup(GtkWidget* form) {
    GtkWidget* frame = gtk_frame_new(nullptr);
    GtkWidget* rows = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_style_context_add_class(gtk_widget_get_style_context(rows), "orvela-settings-group");
    gtk_container_add(GTK_CONTAINER(frame), rows);
    gtk_box_pack_start(GTK_BOX(form), frame, FALSE, FALSE, 0);
    return rows;
}

// A row with its label on the left and its control, if any, on the right. The
// row's label, if any, is returned.
GtkWidget* addRow(GtkWidget* group, const char* label, GtkWidget* control) {
    GList* earlier = gtk_container_get_children(GTK_CONTAINER(group));
    if (earlier) gtk_box_pack_start(GTK_BOX(group), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    g_list_free(earlier);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    g_object_set(row, "margin-start", 12, "margin-end", 12, "margin-top", 8, "margin-bottom", 8, nullptr);
    GtkWidget* text = nullptr;
    if (label) {
        text = gtk_label_new(label);
        gtk_label_set_xalign(GTK_LABEL(text), 0);
        gtk_widget_set_hexpand(text, TRUE);
        gtk_box_pack_start(GTK_BOX(row), text, TRUE, TRUE, 0);
    }
    if (control && label) gtk_box_pack_end(GTK_BOX(row), control, FALSE, FALSE, 0);
    if (control && !label) gtk_box_pack_start(GTK_BOX(row), control, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(group), row, FALSE, FALSE, 0);
    return text;
}

GtkWidget* note(const char* text, const char* styleClass) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 50);
    gtk_style_context_add_class(gtk_widget_get_style_context(label), styleClass);
    return label;
}

}  // namespace

std::shared_ptr<SettingsView> SettingsView::create(AppSettings& settings, const HotKeyState& hotKey,
                                                   std::function<void()> openSiteSettings, KeyActions actions) {
    std::shared_ptr<SettingsView> view(new SettingsView(settings, hotKey, std::move(openSiteSettings), std::move(actions)));
    view->build();
    return view;
}

SettingsView::SettingsView(AppSettings& settings, const HotKeyState& hotKey, std::function<void()> openSiteSettings,
                           KeyActions actions)
    : settings_(settings), hotKey_(hotKey), openSiteSettings_(std::move(openSiteSettings)), actions_(std::move(actions)),
      form_(GObjectPtr<GtkWidget>::sink(gtk_box_new(GTK_ORIENTATION_VERTICAL, 18))) {
    AppStyle::install();
}

SettingsView::~SettingsView() {
    connections_.clear();
    recorder_.reset();
}

void SettingsView::build() {
    GtkWidget* form = form_.get();
    gtk_style_context_add_class(gtk_widget_get_style_context(form), "orvela-settings");
    // The margins are part of the form's width.
    gtk_widget_set_size_request(form, width - 2 * margin, -1);
    g_object_set(form, "margin", margin, nullptr);

    recorder_ = std::make_unique<ShortcutRecorder>(ShortcutRecorder::Binding{
        [this] { return settings_.captureShortcut.get(); },
        [this](const Shortcut& shortcut) { settings_.captureShortcut.set(shortcut); }});
    GtkWidget* capture = addGroup(form);
    // The recorder's button keeps the key as its name; the row says what the key is for.
    Accessible::labelBy(recorder_->button(), addRow(capture, "Быстрая запись", recorder_->widget()), true);
    GtkWidget* keyNote = hotKeyNote();
    addRow(capture, nullptr, keyNote);
    // The hint or the warning is read with the key.
    if (GTK_IS_LABEL(keyNote)) Accessible::describeBy(recorder_->button(), keyNote);

    GtkWidget* switches = addGroup(form);
    menuBarSwitch_ = addSwitch(switches, "Значок в системном лотке", [this](bool on) { settings_.showMenuBarIcon.set(on); });
    badgeSwitch_ = addSwitch(switches, "Число входящих на значке приложения", [this](bool on) { settings_.showDockBadge.set(on); });
    loginSwitch_ = addSwitch(switches, "Открывать при входе в систему", [this](bool on) { settings_.setLaunchAtLogin(on); });

    GtkWidget* site = addGroup(form);
    GtkWidget* siteButton = gtk_button_new_with_label("Настройки Orvela");
    connections_.push_back(SignalConnection::connect<void(GtkButton*)>(GTK_BUTTON(siteButton), "clicked", [this](GtkButton*) {
        if (openSiteSettings_) openSiteSettings_();
    }));
    Accessible::labelBy(siteButton, addRow(site, "Списки, разделы, учётная запись", siteButton), true);
    addRow(site, "Версия", note(AppConfig::version().c_str(), "orvela-settings-hint"));

    // Told before a setting changes; the form shows it once it is stored.
    std::weak_ptr<SettingsView> weak = weak_from_this();
    willChange_ = settings_.objectWillChange.subscribe([weak] {
        MainQueue::async<SettingsView>(weak, [](SettingsView& view) { view.refresh(); });
    });
    auto delivered = std::make_shared<int>(0);
    nextShortcut_ = settings_.captureShortcut.subscribe([weak, delivered](const Shortcut&) {
        // The first value is the current one.
        if (++*delivered != 2) return;
        MainQueue::async<SettingsView>(weak, [](SettingsView& view) {
            view.nextShortcut_ = Subscription();
            if (view.onShortcutRecorded) view.onShortcutRecorded();
        });
    });
    connections_.push_back(SignalConnection::connect<void(GtkWidget*)>(form, "unmap", [this](GtkWidget*) {
        // Not inside the setting's own delivery: on a later turn.
        MainQueue::async<SettingsView>(weak_from_this(), [](SettingsView& view) { view.nextShortcut_ = Subscription(); });
    }));
    refresh();
    gtk_widget_show_all(form);
}

// The hint, or why the key does not work and what to do about it.
GtkWidget* SettingsView::hotKeyNote() {
    using Kind = HotKeyState::Kind;
    switch (hotKey_.kind) {
    case Kind::taken:
        return note(conflict, "orvela-settings-conflict");
    case Kind::waiting:
        return note(waitingForDesktop, "orvela-settings-hint");
    case Kind::unassigned:
        return note(unassigned, "orvela-settings-conflict");
    case Kind::declined:
        return noteWithButton(note(declined, "orvela-settings-conflict"), "Спросить снова", [this](GtkWidget*) {
            if (actions_.askAgain) actions_.askAgain();
        });
    case Kind::unsupported:
        return unsupportedNote();
    case Kind::layoutSwitch:
        return note(layoutSwitch, "orvela-settings-conflict");
    case Kind::working:
        break;
    }
    std::string key = keyToPress(settings_.captureShortcut.get(), hotKey_.desktopTrigger);
    if (key != settings_.captureShortcut.get().displayForUser()) {
        std::string assigned = "Рабочий стол назначил вместо него «" + key + "»: оно из любой программы откроет окошко "
                               "записи во «Входящие».";
        return note(assigned.c_str(), "orvela-settings-hint");
    }
    return note(hint, "orvela-settings-hint");
}

// No program may take a key here: the command to bind in the desktop's own
// settings and, where those are GNOME's, a button that adds it there.
GtkWidget* SettingsView::unsupportedNote() {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_box_pack_start(GTK_BOX(box), note(noGlobalKeys, "orvela-settings-conflict"), FALSE, FALSE, 0);
    // Selectable, so it can be copied into the desktop's settings.
    GtkWidget* command = note(captureCommand, "orvela-settings-command");
    gtk_label_set_selectable(GTK_LABEL(command), TRUE);
    gtk_box_pack_start(GTK_BOX(box), command, FALSE, FALSE, 0);
    if (!actions_.assignInGnome) return box;
    std::string state = actions_.assignedInGnome.empty()
                            ? std::string("В настройках GNOME это сочетание ещё не назначено.")
                            : "В настройках GNOME назначено «" + actions_.assignedInGnome + "».";
    GtkWidget* assigned = note(state.c_str(), "orvela-settings-hint");
    gtk_box_pack_start(GTK_BOX(box), noteWithButton(assigned, "Назначить сочетание в GNOME", [this](GtkWidget* button) {
        if (actions_.assignInGnome && actions_.assignInGnome()) return;
        gtk_button_set_label(GTK_BUTTON(button), "Не получилось — попробовать ещё раз");
    }), FALSE, FALSE, 0);
    return box;
}

GtkWidget* SettingsView::noteWithButton(GtkWidget* text, const char* title, std::function<void(GtkWidget*)> clicked) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_box_pack_start(GTK_BOX(box), text, FALSE, FALSE, 0);
    GtkWidget* button = gtk_button_new_with_label(title);
    gtk_widget_set_halign(button, GTK_ALIGN_START);
    connections_.push_back(SignalConnection::connect<void(GtkButton*)>(
        GTK_BUTTON(button), "clicked", [clicked = std::move(clicked)](GtkButton* button) { clicked(GTK_WIDGET(button)); }));
    gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
    return box;
}

// A switch the user just turned slides over before it changes; setting it, even
// to the value it shows, would stop the slide and undo the user's turn.
void SettingsView::showSwitch(GtkWidget* toggle, bool on) {
    if (gtk_switch_get_active(GTK_SWITCH(toggle)) != on) gtk_switch_set_active(GTK_SWITCH(toggle), on);
}

GtkWidget* SettingsView::addSwitch(GtkWidget* group, const char* label, std::function<void(bool)> set) {
    GtkWidget* toggle = gtk_switch_new();
    gtk_widget_set_valign(toggle, GTK_ALIGN_CENTER);
    connections_.push_back(SignalConnection::connect<void(GObject*, GParamSpec*)>(
        G_OBJECT(toggle), "notify::active", [this, toggle, set = std::move(set)](GObject*, GParamSpec*) {
            if (!refreshing_) set(gtk_switch_get_active(GTK_SWITCH(toggle)));
        }));
    Accessible::labelBy(toggle, addRow(group, label, toggle));
    return toggle;
}

void SettingsView::refresh() {
    refreshing_ = true;
    showSwitch(menuBarSwitch_, settings_.showMenuBarIcon.get());
    showSwitch(badgeSwitch_, settings_.showDockBadge.get());
    // The autostart entry may have changed or failed to change: ask it each time.
    showSwitch(loginSwitch_, settings_.launchAtLogin());
    refreshing_ = false;
    recorder_->refresh();
}

}  // namespace orvela
