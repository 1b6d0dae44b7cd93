#pragma once

#include <filesystem>
#include <string>
#include <vector>

typedef struct _GAppLaunchContext GAppLaunchContext;

namespace orvela::SoftwareDrawing {

// The window and the page are drawn without the GPU (the web view's hardware
// acceleration is off), yet GTK and WebKit would each open a GPU display at
// start: GTK to probe GLX when the X display opens, WebKit to ask EGL which
// device renders. With Mesa that loads the driver and LLVM into the application,
// some 30 MiB and 0.15 s before the page's process can start. This tells both,
// before GTK starts, that nothing here draws with the GPU; a setting the user
// gave in the environment is kept.
void choose();

// The settings choose() made, as NAME=VALUE.
const std::vector<std::string>& chosen();

// Programs the application starts (a browser, a file manager) get the user's
// environment, not the application's drawing settings.
void leaveOut(GAppLaunchContext* context);

// The GPU render node WebKit hands the page's process for video and WebGL
// buffers: the first in the folder, as WebKit itself falls back to, or a
// node that does not exist when there is none.
std::string renderNode(const std::filesystem::path& folder = "/dev/dri");

}  // namespace orvela::SoftwareDrawing
