#pragma once

#include "capture/Shortcut.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvela {

// One row of the tray icon's menu. An item runs the application's action of that
// name, with the path for "go"; a note only informs.
struct StatusMenuRow {
    enum class Kind { item, note, separator };
    Kind kind;
    std::string title;
    std::string action;
    std::string path;

    bool operator==(const StatusMenuRow&) const = default;
};

// The tray menu as it stands for this Inbox count and capture key; its second
// row is the key that works, the desktop's assigned trigger where it gave one.
std::vector<StatusMenuRow> statusMenuRows(int64_t inboxCount, bool hotKeyTaken, const Shortcut& captureShortcut,
                                          const std::string& desktopTrigger = "");

// The text beside the tray icon: " 7", or nothing below one.
std::string statusTitle(int64_t inboxCount);

// The count on the launcher's icon, shown from one on and only when wanted.
struct LauncherBadge {
    int64_t count;
    bool visible;

    bool operator==(const LauncherBadge&) const = default;
};
LauncherBadge launcherBadge(int64_t inboxCount, bool showDockBadge);

}  // namespace orvela
