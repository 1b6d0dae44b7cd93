#pragma once

#include "platform/DefaultsStore.h"
#include "web/WebController.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvela {

// The unattended screenshot run: pictures of the capture panel, filled and
// empty, and of the settings form, then of each page asked for, one line on
// standard output per picture; then the process ends.
class Snapshots : public std::enable_shared_from_this<Snapshots> {
public:
    static constexpr double siteWait = 8;
    static constexpr double pageWait = 3;
    static constexpr int inset = 12;

    static std::shared_ptr<Snapshots> create(std::shared_ptr<WebController> web, const DefaultsStore& launch);
    void run();

private:
    Snapshots(std::shared_ptr<WebController> web, const DefaultsStore& launch);
    // Draws the widget off screen, with the inset around it, at least this wide.
    void render(GtkWidget* view, const std::string& name, int width, bool ground);
    void waitForSite(double deadline);
    void next();

    std::shared_ptr<WebController> web;
    std::filesystem::path folder;
    std::vector<std::string> paths;
};

}  // namespace orvela
