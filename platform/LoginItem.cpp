#include "platform/LoginItem.h"

#include "platform/AtomicFile.h"

#include <glib.h>
#include <system_error>

namespace orvela {
namespace {

// Quoting of the Exec key of the desktop entry format: an argument with reserved
// characters is put in double quotes, inside which ", `, $ and \ are escaped.
std::string quoteExecArgument(const std::string& argument) {
    if (argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) return argument;
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace

LoginItem::LoginItem()
    : LoginItem(std::filesystem::path(g_get_user_config_dir()) / "autostart" / "ru.orvela.Orvela.desktop",
                installedCommand()) {}

LoginItem::LoginItem(std::filesystem::path entry, std::string command)
    : entry_(std::move(entry)), command_(std::move(command)) {}

std::string LoginItem::installedCommand() {
    if (gchar* found = g_find_program_in_path("orvela")) {
        std::string command = found;
        g_free(found);
        return command;
    }
    std::string installed = std::string(ORVELA_INSTALLED_BINDIR) + "/orvela";
    return g_file_test(installed.c_str(), G_FILE_TEST_IS_EXECUTABLE) ? installed : std::string();
}

bool LoginItem::enabled() const {
    GKeyFile* file = g_key_file_new();
    bool loaded = g_key_file_load_from_file(file, entry_.c_str(), G_KEY_FILE_NONE, nullptr);
    bool hidden = loaded && g_key_file_get_boolean(file, G_KEY_FILE_DESKTOP_GROUP,
                                                   G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr);
    g_key_file_free(file);
    return loaded && !hidden;
}

std::optional<std::string> LoginItem::registerItem() {
    if (command_.empty())
        return std::string("no installed orvela command was found, on PATH or in ") + ORVELA_INSTALLED_BINDIR;
    GKeyFile* file = g_key_file_new();
    const char* group = G_KEY_FILE_DESKTOP_GROUP;
    g_key_file_set_string(file, group, G_KEY_FILE_DESKTOP_KEY_TYPE, "Application");
    g_key_file_set_string(file, group, G_KEY_FILE_DESKTOP_KEY_NAME, "Orvela");
    // Started in the background: at login the icon goes to the tray, and the
    // window comes only where no tray shows it. A desktop skips the entry once
    // the program it tries is gone.
    g_key_file_set_string(file, group, G_KEY_FILE_DESKTOP_KEY_EXEC, (quoteExecArgument(command_) + " --background").c_str());
    g_key_file_set_string(file, group, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, command_.c_str());
    g_key_file_set_string(file, group, G_KEY_FILE_DESKTOP_KEY_ICON, "ru.orvela.Orvela");
    g_key_file_set_boolean(file, group, G_KEY_FILE_DESKTOP_KEY_TERMINAL, FALSE);
    g_key_file_set_boolean(file, group, "X-GNOME-Autostart-enabled", TRUE);
    gsize length = 0;
    gchar* text = g_key_file_to_data(file, &length, nullptr);
    auto error = writeFileAtomically(entry_, std::string_view(text, length));
    g_free(text);
    g_key_file_free(file);
    return error;
}

std::optional<std::string> LoginItem::unregisterItem() {
    std::error_code code;
    std::filesystem::remove(entry_, code);
    if (code) return "cannot remove " + entry_.string() + ": " + code.message();
    return std::nullopt;
}

}  // namespace orvela
