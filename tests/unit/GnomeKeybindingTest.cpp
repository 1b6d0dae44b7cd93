#include "capture/GnomeAccelerator.h"
#include "platform/GnomeKeybinding.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>

namespace orvela {
namespace {

using Strings = std::vector<std::string>;

constexpr char listSchema[] = "org.gnome.settings-daemon.plugins.media-keys";
constexpr char entrySchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr char custom0[] = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/";
constexpr char custom1[] = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom1/";

// GNOME's schemas as installed on this machine, over settings kept in memory, so
// nothing of the machine's own settings is read or written.
class GnomeKeybindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
        GSettingsSchema* installed = schemas ? g_settings_schema_source_lookup(schemas, entrySchema, TRUE) : nullptr;
        ASSERT_NE(installed, nullptr) << "gnome-settings-daemon-common is not installed";
        g_settings_schema_unref(installed);
        // A critical warning of GSettings (a bad path, a wrong key) is a fault here.
        previousFatal_ = g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL));
    }
    void TearDown() override { g_log_set_always_fatal(previousFatal_); }

    GnomeKeybinding keybinding() { return {g_settings_schema_source_get_default(), backend_.get()}; }

    GObjectPtr<GSettings> list() { return GObjectPtr<GSettings>(g_settings_new_with_backend(listSchema, backend_.get())); }
    GObjectPtr<GSettings> entry(const char* path) {
        return GObjectPtr<GSettings>(g_settings_new_with_backend_and_path(entrySchema, backend_.get(), path));
    }
    Strings paths() {
        gchar** values = g_settings_get_strv(list().get(), "custom-keybindings");
        Strings result(values, values + g_strv_length(values));
        g_strfreev(values);
        return result;
    }
    std::string value(const char* path, const char* key) {
        gchar* text = g_settings_get_string(entry(path).get(), key);
        std::string result = text;
        g_free(text);
        return result;
    }
    void addEntry(const char* path, const char* name, const char* command, const char* binding) {
        auto settings = entry(path);
        g_settings_set_string(settings.get(), "name", name);
        g_settings_set_string(settings.get(), "command", command);
        g_settings_set_string(settings.get(), "binding", binding);
    }
    void setPaths(const std::vector<const char*>& paths) {
        std::vector<const char*> values = paths;
        values.push_back(nullptr);
        g_settings_set_strv(list().get(), "custom-keybindings", values.data());
    }

    GObjectPtr<GSettingsBackend> backend_{g_memory_settings_backend_new()};
    GLogLevelFlags previousFatal_{};
};

TEST_F(GnomeKeybindingTest, MakesItsKeybindingInAnEmptyList) {
    auto gnome = keybinding();
    ASSERT_TRUE(gnome.available());
    EXPECT_EQ(gnome.find(), std::nullopt);
    EXPECT_EQ(gnome.assignedAccelerator(), std::nullopt);

    ASSERT_TRUE(gnome.assign("<Control><Shift>space"));
    EXPECT_EQ(paths(), Strings{GnomeKeybinding::ownPath});
    EXPECT_EQ(value(GnomeKeybinding::ownPath, "name"), "Быстрая запись Orvela");
    EXPECT_EQ(value(GnomeKeybinding::ownPath, "command"), "orvela orvela://capture");
    EXPECT_EQ(value(GnomeKeybinding::ownPath, "binding"), "<Control><Shift>space");
    EXPECT_EQ(keybinding().assignedAccelerator(), "<Control><Shift>space");
}

TEST_F(GnomeKeybindingTest, LeavesOtherKeybindingsAsTheyAre) {
    addEntry(custom0, "Терминал", "gnome-terminal", "<Super>t");
    addEntry(custom1, "Orvela", "orvela", "<Super>o");
    setPaths({custom0, "not-a-path", custom1});

    ASSERT_TRUE(keybinding().assign("<Alt><Super>k"));
    EXPECT_EQ(paths(), (Strings{custom0, "not-a-path", custom1, GnomeKeybinding::ownPath}));
    EXPECT_EQ(value(custom0, "name"), "Терминал");
    EXPECT_EQ(value(custom0, "command"), "gnome-terminal");
    EXPECT_EQ(value(custom0, "binding"), "<Super>t");
    EXPECT_EQ(value(custom1, "binding"), "<Super>o");
}

TEST_F(GnomeKeybindingTest, AssigningAgainChangesTheSameKeybinding) {
    setPaths({custom0});
    ASSERT_TRUE(keybinding().assign("<Control><Shift>space"));
    ASSERT_TRUE(keybinding().assign("<Alt><Super>k"));
    EXPECT_EQ(paths(), (Strings{custom0, GnomeKeybinding::ownPath}));
    EXPECT_EQ(keybinding().assignedAccelerator(), "<Alt><Super>k");

    // Ours is known by its path too, after the user edited its command.
    g_settings_set_string(entry(GnomeKeybinding::ownPath).get(), "command", "");
    ASSERT_TRUE(keybinding().assign("<Control>q"));
    EXPECT_EQ(paths(), (Strings{custom0, GnomeKeybinding::ownPath}));
    EXPECT_EQ(value(GnomeKeybinding::ownPath, "command"), "orvela orvela://capture");
}

TEST_F(GnomeKeybindingTest, TakesOverAKeybindingTheUserMadeForCapture) {
    addEntry(custom1, "Запись", "orvela orvela://capture", "<Super>n");
    setPaths({custom0, custom1});

    auto gnome = keybinding();
    EXPECT_EQ(gnome.find(), custom1);
    EXPECT_EQ(gnome.assignedAccelerator(), "<Super>n");
    ASSERT_TRUE(gnome.assign("<Control>q"));
    EXPECT_EQ(paths(), (Strings{custom0, custom1}));
    EXPECT_EQ(value(custom1, "name"), "Запись");
    EXPECT_EQ(value(custom1, "binding"), "<Control>q");
}

// No schemas at all, or a release of GNOME without custom keybindings: nothing
// is made and nothing aborts.
TEST_F(GnomeKeybindingTest, WithoutGnomesSchemasNothingIsAssigned) {
    GnomeKeybinding none(nullptr, backend_.get());
    EXPECT_FALSE(none.available());
    EXPECT_FALSE(none.assign("<Control><Shift>space"));
    EXPECT_EQ(none.assignedAccelerator(), std::nullopt);

    gchar* made = g_dir_make_tmp("orvela-schemas-XXXXXX", nullptr);
    std::filesystem::path folder(made);
    g_free(made);
    std::ofstream(folder / "media-keys.gschema.xml")
        << R"(<schemalist><schema id="org.gnome.settings-daemon.plugins.media-keys")"
           R"( path="/org/gnome/settings-daemon/plugins/media-keys/">)"
           R"(<key name="custom-keybindings" type="as"><default>[]</default></key></schema></schemalist>)";
    std::string compile = "glib-compile-schemas " + folder.string();
    gint status = -1;
    ASSERT_TRUE(g_spawn_command_line_sync(compile.c_str(), nullptr, nullptr, &status, nullptr) && status == 0);
    GSettingsSchemaSource* partial = g_settings_schema_source_new_from_directory(folder.c_str(), nullptr, FALSE, nullptr);
    ASSERT_NE(partial, nullptr);

    GnomeKeybinding withoutEntries(partial, backend_.get());
    EXPECT_FALSE(withoutEntries.available());
    EXPECT_FALSE(withoutEntries.assign("<Control><Shift>space"));
    g_settings_schema_source_unref(partial);
    std::filesystem::remove_all(folder);
}

TEST(GnomeAccelerator, NamesModifiersThenTheUsKeysym) {
    EXPECT_EQ(gnomeAccelerator(Shortcut::defaultCapture), "<Control><Shift>space");
    EXPECT_EQ(gnomeAccelerator({40, Shortcut::option | Shortcut::command}), "<Alt><Super>k");
    EXPECT_EQ(gnomeAccelerator({122, Shortcut::control | Shortcut::option | Shortcut::shift | Shortcut::command}),
              "<Control><Alt><Shift><Super>F1");
    EXPECT_EQ(gnomeAccelerator({999, Shortcut::control}), std::nullopt);
}

}  // namespace
}  // namespace orvela
