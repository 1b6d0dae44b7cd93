#include "capture/CaptureModel.h"

#include "platform/MainQueue.h"

#include <glib.h>

namespace orvela {

bool CaptureModel::isBlank(const std::string& value) {
    // Any Unicode space or line separator counts as blank, the no-break space too.
    const char* cursor = value.c_str();
    const char* end = cursor + value.size();
    while (cursor < end) {
        gunichar c = g_utf8_get_char_validated(cursor, end - cursor);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2) || !g_unichar_isspace(c)) return false;
        cursor = g_utf8_next_char(cursor);
    }
    return true;
}

void CaptureModel::submit() {
    if (empty() || busy.get()) return;
    save(text.get());
}

void CaptureHost::installSaveCycle(const std::shared_ptr<CaptureHost>& host) {
    std::weak_ptr<CaptureHost> weakHost = host;
    host->model().save = [weakHost](const std::string& text) {
        auto strong = weakHost.lock();
        if (!strong || !strong->onSave) return;
        strong->model().busy.set(true);
        strong->onSave(text, [strong](CaptureOutcome outcome) {
            CaptureModel& model = strong->model();
            model.busy.set(false);
            if (outcome == CaptureOutcome::failed) {
                model.flash.set(std::string(CaptureModel::failedMessage));
                return;
            }
            model.text.set("");
            model.flash.set(std::string(outcome == CaptureOutcome::saved ? CaptureModel::savedMessage
                                                                         : CaptureModel::queuedMessage));
            MainQueue::after<CaptureHost>(hideDelay, std::weak_ptr<CaptureHost>(strong),
                                          [](CaptureHost& panel) { panel.hide(); });
        });
    };
}

}  // namespace orvela
