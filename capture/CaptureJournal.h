#pragma once

#include "capture/QueueState.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

// The operations on the queue since it was last written into the defaults, one
// short line each, appended (and, for a line that brings a text in, flushed to
// disk): a change costs one line however long the queue is. The first line names the generation of the stored queue the
// operations apply to; writing the queue into the defaults starts the next
// generation, so a journal left behind by a crash in between is recognised as
// spent. A line cut short by a crash was never reported stored and is dropped.
//
// Every call but the constructor expects the caller to hold the journal's lock.
class CaptureJournal {
public:
    explicit CaptureJournal(std::filesystem::path file) : file_(std::move(file)) {}
    ~CaptureJournal();
    CaptureJournal(const CaptureJournal&) = delete;
    CaptureJournal& operator=(const CaptureJournal&) = delete;

    const std::filesystem::path& file() const { return file_; }

    // Whether the journal on disk is still the one this process has replayed up
    // to its end; nothing when it was replaced (by a compaction here or in another
    // process) and must be read whole.
    bool current() const;
    // The operations another process appended since this one last looked.
    std::optional<std::string> catchUp(QueueState& state);
    // Reads the journal whole onto the stored state of the given generation; a
    // journal of another generation is spent and replaced by an empty one.
    std::optional<std::string> replay(QueueState& state, int64_t storedGeneration);
    std::optional<std::string> append(QueueState::Operation operation, const std::string& text);
    // The stored queue is now of the given generation: an empty journal for it.
    std::optional<std::string> restart(int64_t generation);

    size_t lines() const { return lines_; }

private:
    std::optional<std::string> open();
    std::optional<std::string> applyLines(QueueState& state, std::string_view text);

    std::filesystem::path file_;
    int fd_ = -1;
    unsigned long long inode_ = 0;
    uint64_t offset_ = 0;
    size_t lines_ = 0;
};

}  // namespace orvela
