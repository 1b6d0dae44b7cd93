#pragma once

namespace orvela {

// How one capture hand-off ended.
enum class CaptureOutcome {
    saved,   // the page accepted the text: it is in the Inbox
    queued,  // kept in the pending queue until the page is ready
    failed,  // neither delivered nor queued
};

}  // namespace orvela
