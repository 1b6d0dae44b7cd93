#include "platform/SoftwareDrawing.h"
#include "tests/unit/TemporaryFolder.h"

#include <fstream>
#include <gio/gio.h>
#include <gtest/gtest.h>

namespace orvela {
namespace {

using testing::TemporaryFolder;

TEST(SoftwareDrawing, TheRenderNodeIsTheLowestNumberedOneOrAMissingOne) {
    TemporaryFolder dri;
    for (const char* name : {"card0", "card1", "renderD129", "renderD130", "renderD", "renderDx", "by-path"})
        std::ofstream(dri / name).put('\n');
    EXPECT_EQ(SoftwareDrawing::renderNode(dri.path()), (dri / "renderD129").string());
    std::ofstream(dri / "renderD128").put('\n');
    EXPECT_EQ(SoftwareDrawing::renderNode(dri.path()), (dri / "renderD128").string());

    // A name too long for a number is not a node, and does not end the start.
    std::ofstream(dri / "renderD99999999999999999999").put('\n');
    std::ofstream(dri / "renderD-1").put('\n');
    EXPECT_EQ(SoftwareDrawing::renderNode(dri.path()), (dri / "renderD128").string());

    TemporaryFolder empty;
    EXPECT_EQ(SoftwareDrawing::renderNode(empty.path()), (empty / "renderD128").string());
    EXPECT_EQ(SoftwareDrawing::renderNode(empty / "absent"), (empty / "absent/renderD128").string());
}

TEST(SoftwareDrawing, ASettingTheUserGaveIsKeptAndOnlyItsOwnAreLeftOutOfLaunches) {
    const char* names[] = {"GDK_GL", "WEBKIT_DISABLE_COMPOSITING_MODE", "WEBKIT_DISABLE_DMABUF_RENDERER",
                           "WEBKIT_WEB_RENDER_DEVICE_FILE"};
    for (const char* name : names) g_unsetenv(name);
    g_setenv("GDK_GL", "gles", TRUE);

    SoftwareDrawing::choose();
    EXPECT_STREQ(g_getenv("GDK_GL"), "gles");
    EXPECT_STREQ(g_getenv("WEBKIT_DISABLE_COMPOSITING_MODE"), "1");
    EXPECT_STREQ(g_getenv("WEBKIT_DISABLE_DMABUF_RENDERER"), "1");
    ASSERT_NE(g_getenv("WEBKIT_WEB_RENDER_DEVICE_FILE"), nullptr);
    for (const auto& setting : SoftwareDrawing::chosen()) EXPECT_FALSE(setting.starts_with("GDK_GL=")) << setting;
    EXPECT_EQ(SoftwareDrawing::chosen().size(), 3u);

    GAppLaunchContext* context = g_app_launch_context_new();
    SoftwareDrawing::leaveOut(context);
    char** environment = g_app_launch_context_get_environment(context);
    EXPECT_STREQ(g_environ_getenv(environment, "GDK_GL"), "gles");
    EXPECT_EQ(g_environ_getenv(environment, "WEBKIT_DISABLE_COMPOSITING_MODE"), nullptr);
    EXPECT_EQ(g_environ_getenv(environment, "WEBKIT_WEB_RENDER_DEVICE_FILE"), nullptr);
    g_strfreev(environment);
    g_object_unref(context);
    for (const char* name : names) g_unsetenv(name);
}

}  // namespace
}  // namespace orvela
