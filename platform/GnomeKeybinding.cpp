#include "platform/GnomeKeybinding.h"

#include "platform/Log.h"

#include <initializer_list>
#include <vector>

namespace orvela {
namespace {

constexpr char mediaKeysSchema[] = "org.gnome.settings-daemon.plugins.media-keys";
constexpr char keybindingSchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr char listKey[] = "custom-keybindings";

bool hasKeys(GSettingsSchema* schema, std::initializer_list<const char*> keys) {
    if (!schema) return false;
    for (const char* key : keys)
        if (!g_settings_schema_has_key(schema, key)) return false;
    return true;
}

// Anyone may write the list, and GSettings rejects, with a critical warning, a
// path that does not start and end with "/" or that holds "//".
bool isSettingsPath(const std::string& path) {
    return !path.empty() && path.front() == '/' && path.back() == '/' && path.find("//") == std::string::npos;
}

std::vector<std::string> stringList(GSettings* settings, const char* key) {
    gchar** values = g_settings_get_strv(settings, key);
    std::vector<std::string> list(values, values + g_strv_length(values));
    g_strfreev(values);
    return list;
}

bool setStringList(GSettings* settings, const char* key, const std::vector<std::string>& list) {
    std::vector<const gchar*> values;
    for (const auto& value : list) values.push_back(value.c_str());
    values.push_back(nullptr);
    return g_settings_set_strv(settings, key, values.data());
}

std::string stringValue(GSettings* settings, const char* key) {
    gchar* value = g_settings_get_string(settings, key);
    std::string text = value;
    g_free(value);
    return text;
}

bool failed(const char* reason) {
    log(std::string("cannot assign the capture key in GNOME: ") + reason);
    return false;
}

}  // namespace

GnomeKeybinding::GnomeKeybinding() : GnomeKeybinding(g_settings_schema_source_get_default(), nullptr) {}

GnomeKeybinding::GnomeKeybinding(GSettingsSchemaSource* schemas, GSettingsBackend* backend)
    : backend_(GObjectPtr<GSettingsBackend>::retain(backend)) {
    if (!schemas) return;
    SchemaPtr mediaKeys(g_settings_schema_source_lookup(schemas, mediaKeysSchema, TRUE));
    SchemaPtr keybinding(g_settings_schema_source_lookup(schemas, keybindingSchema, TRUE));
    // Creating settings of a schema without a path of its own aborts, and other
    // releases of GNOME may name keys differently: only what this code uses will do.
    if (!hasKeys(mediaKeys.get(), {listKey}) || !g_settings_schema_get_path(mediaKeys.get()) ||
        !hasKeys(keybinding.get(), {"name", "command", "binding"}))
        return;
    keybindingSchema_ = std::move(keybinding);
    mediaKeys_.reset(g_settings_new_full(mediaKeys.get(), backend, nullptr));
}

bool GnomeKeybinding::available() const { return static_cast<bool>(mediaKeys_); }

GObjectPtr<GSettings> GnomeKeybinding::keybindingAt(const std::string& path) const {
    if (!isSettingsPath(path)) return {};
    return GObjectPtr<GSettings>(g_settings_new_full(keybindingSchema_.get(), backend_.get(), path.c_str()));
}

std::optional<std::string> GnomeKeybinding::find() const {
    if (!available()) return std::nullopt;
    for (const auto& path : stringList(mediaKeys_.get(), listKey)) {
        if (path == ownPath) return path;
        auto keybinding = keybindingAt(path);
        if (keybinding && stringValue(keybinding.get(), "command") == command) return path;
    }
    return std::nullopt;
}

bool GnomeKeybinding::assign(const std::string& accelerator) {
    if (!available()) return failed("GNOME's schemas of custom keybindings are not installed");
    auto found = find();
    std::string path = found.value_or(ownPath);
    auto keybinding = keybindingAt(path);
    // Ours gets its name and command back should they have been edited; one the
    // user made with our command keeps the name the user gave it.
    bool written = (path != ownPath || (g_settings_set_string(keybinding.get(), "name", name) &&
                                        g_settings_set_string(keybinding.get(), "command", command))) &&
                   g_settings_set_string(keybinding.get(), "binding", accelerator.c_str());
    // The list names the keybinding only once it is complete, so gsd-media-keys
    // never takes up half of it.
    if (written && !found) {
        auto list = stringList(mediaKeys_.get(), listKey);
        list.push_back(path);
        written = setStringList(mediaKeys_.get(), listKey, list);
    }
    // dconf hands writes to its service in the background; waiting for them keeps
    // the change should the application quit at once. Only the default backend
    // can be waited for.
    if (!backend_) g_settings_sync();
    return written || failed("GNOME's settings refused the change");
}

std::optional<std::string> GnomeKeybinding::assignedAccelerator() const {
    auto path = find();
    if (!path) return std::nullopt;
    std::string binding = stringValue(keybindingAt(*path).get(), "binding");
    if (binding.empty()) return std::nullopt;
    return binding;
}

bool GnomeKeybinding::gnomeSession() {
    const char* desktops = g_getenv("XDG_CURRENT_DESKTOP");
    if (!desktops) return false;
    char** names = g_strsplit(desktops, ":", -1);
    bool gnome = false;
    for (char** name = names; *name && !gnome; ++name) gnome = g_ascii_strcasecmp(*name, "GNOME") == 0;
    g_strfreev(names);
    return gnome;
}

}  // namespace orvela
