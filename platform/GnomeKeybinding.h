#pragma once

#include "platform/GObjectPtr.h"

#include <gio/gio.h>
#include <memory>
#include <optional>
#include <string>

namespace orvela {

// The capture key as a custom keybinding in GNOME's own keyboard settings, for
// the GNOME versions whose desktop portal has no global shortcuts. gsd-media-keys
// watches these settings, so a change takes effect at once.
class GnomeKeybinding {
public:
    static constexpr char command[] = "orvela orvela://capture";
    static constexpr char name[] = "Быстрая запись Orvela";
    static constexpr char ownPath[] =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orvela-capture/";

    // The user's settings, as described by the schemas installed on this system.
    GnomeKeybinding();
    // The settings the backend keeps (nullptr: the default one), as described by
    // the schemas of the source (nullptr: none are installed).
    GnomeKeybinding(GSettingsSchemaSource* schemas, GSettingsBackend* backend);

    // GNOME's schemas of custom keybindings are installed.
    bool available() const;
    // The session is GNOME's (XDG_CURRENT_DESKTOP names it, as in "ubuntu:GNOME"):
    // elsewhere nothing reads these settings, though the schemas may be installed.
    static bool gnomeSession();

    // The path of the keybinding this application made before: ours, or one in
    // the list that runs our command. Nothing when there is none.
    std::optional<std::string> find() const;

    // Sets the key of our keybinding to the accelerator ("<Control><Shift>space"),
    // making the keybinding when there is none; every other one stays as it is.
    // False, with one line logged, when GNOME's settings cannot take it.
    bool assign(const std::string& accelerator);

    // The accelerator our keybinding holds; nothing when there is no keybinding
    // or it has no key.
    std::optional<std::string> assignedAccelerator() const;

private:
    struct SchemaUnref {
        void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
    };
    using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;

    GObjectPtr<GSettings> keybindingAt(const std::string& path) const;

    GObjectPtr<GSettingsBackend> backend_;
    SchemaPtr keybindingSchema_;
    // The media keys' settings, holding the list of custom keybindings.
    GObjectPtr<GSettings> mediaKeys_;
};

}  // namespace orvela
