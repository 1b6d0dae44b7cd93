#include "app/StatusMenu.h"

#include "capture/PortalTrigger.h"

namespace orvela {

std::vector<StatusMenuRow> statusMenuRows(int64_t inboxCount, bool hotKeyTaken, const Shortcut& captureShortcut,
                                          const std::string& desktopTrigger) {
    using Kind = StatusMenuRow::Kind;
    std::vector<StatusMenuRow> rows;
    rows.push_back({Kind::item, "Записать во «Входящие»…", "show-capture", ""});
    // Indented under the command it opens; a menu label has no indentation of its own.
    if (!hotKeyTaken) rows.push_back({Kind::note, "    " + keyToPress(captureShortcut, desktopTrigger), "", ""});
    rows.push_back({Kind::separator, "", "", ""});
    std::string inbox = inboxCount < 1 ? "Входящие" : "Входящие — " + std::to_string(inboxCount);
    rows.push_back({Kind::item, inbox, "go", "/inbox"});
    rows.push_back({Kind::item, "Сегодня", "go", "/now"});
    rows.push_back({Kind::item, "Действия", "go", "/next"});
    rows.push_back({Kind::separator, "", "", ""});
    rows.push_back({Kind::item, "Открыть Orvela", "show-main", ""});
    rows.push_back({Kind::item, "Настройки…", "settings", ""});
    rows.push_back({Kind::separator, "", "", ""});
    rows.push_back({Kind::item, "Завершить Orvela", "quit", ""});
    return rows;
}

std::string statusTitle(int64_t inboxCount) { return inboxCount < 1 ? "" : std::string(" ").append(std::to_string(inboxCount)); }

LauncherBadge launcherBadge(int64_t inboxCount, bool showDockBadge) {
    bool visible = showDockBadge && inboxCount >= 1;
    return {visible ? inboxCount : 0, visible};
}

}  // namespace orvela
