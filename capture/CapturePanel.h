#pragma once

#include "capture/CaptureModel.h"
#include "capture/CaptureView.h"
#include "platform/GObjectPtr.h"
#include "platform/SignalConnection.h"

#include <memory>
#include <optional>

namespace orvela {

// The floating capture panel: opens over whatever program is in front, on the
// monitor under the pointer, takes the text, and gives the keyboard back to the
// program it came from when it hides.
class CapturePanel : public CaptureHost, public std::enable_shared_from_this<CapturePanel> {
public:
    static std::shared_ptr<CapturePanel> create();
    ~CapturePanel() override;

    CaptureModel& model() override { return model_; }
    void hide() override;
    void show();
    void toggle();
    bool isVisible() const;

    GtkWindow* window() const { return GTK_WINDOW(window_.get()); }
    CaptureView& view() { return *view_; }

private:
    CapturePanel();
    void place();
    void placeWhereShown();
    GdkMonitor* monitorForPanel() const;
    static GdkMonitor* firstMonitor();
    static int layerMargin(GdkMonitor* monitor, int height);

    CaptureModel model_;
    GObjectPtr<GtkWidget> window_;
    std::unique_ptr<CaptureView> view_;
    std::optional<unsigned long> previousWindow_;
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
