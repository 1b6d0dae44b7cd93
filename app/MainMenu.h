#pragma once

#include "platform/GObjectPtr.h"
#include "platform/SignalConnection.h"

#include <gtk/gtk.h>
#include <map>
#include <memory>
#include <vector>

namespace orvela {

class AppDelegate;

// The application's Russian menu bar: its seven menus, their actions on the
// application and their keyboard shortcuts (Ctrl where the Mac has Command, Alt
// for Option, F11 for full screen). The "Окно" menu also lists the open windows.
class MainMenu {
public:
    MainMenu(GtkApplication* application, std::weak_ptr<AppDelegate> delegate);
    ~MainMenu();
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

private:
    void addActions();
    void buildMenuBar();
    void followWindows();
    void watchWindow(GtkWindow* window);
    void listWindows();

    GtkApplication* application_;
    std::weak_ptr<AppDelegate> delegate_;
    GObjectPtr<GMenu> windowList_;
    std::vector<GtkWindow*> windows_;
    // The shown ones, in the order "Окно" lists them.
    std::vector<GtkWindow*> listed_;
    std::map<GtkWindow*, std::vector<SignalConnection>> windowWatches_;
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
