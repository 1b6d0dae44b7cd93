#include "capture/CaptureJournal.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

namespace orvela {
namespace {

using nlohmann::json;
using Operation = QueueState::Operation;

constexpr const char* operationNames[] = {"add", "removeFirst", "beginDelivery", "delivered", "returnToQueue"};

// Only a line that brings a text in must be on the disk before the caller goes
// on. One that takes a text out, or moves one in flight back into the queue,
// costs a duplicate at worst should the power fail before the next flushed line
// takes it to the disk; a killed process loses none of them.
bool mustFlush(Operation operation) { return operation == Operation::add || operation == Operation::beginDelivery; }

std::string headerOf(int64_t generation) { return json{{"generation", generation}}.dump() + "\n"; }

std::optional<Operation> operationNamed(const std::string& name) {
    for (size_t i = 0; i < std::size(operationNames); ++i)
        if (name == operationNames[i]) return static_cast<Operation>(i);
    return std::nullopt;
}

std::string errnoText(const char* what, const std::filesystem::path& file) {
    return std::string(what) + " " + file.string() + ": " + std::strerror(errno);
}

}  // namespace

CaptureJournal::~CaptureJournal() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<std::string> CaptureJournal::open() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(file_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) return errnoText("cannot open", file_);
    struct stat status;
    if (::fstat(fd_, &status) != 0) return errnoText("cannot read", file_);
    inode_ = status.st_ino;
    return std::nullopt;
}

bool CaptureJournal::current() const {
    struct stat status;
    if (fd_ < 0 || ::stat(file_.c_str(), &status) != 0) return false;
    return status.st_ino == inode_ && static_cast<uint64_t>(status.st_size) >= offset_;
}

std::optional<std::string> CaptureJournal::applyLines(QueueState& state, std::string_view text) {
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) break;
        json line = json::parse(text.substr(start, end - start), nullptr, false);
        if (line.is_array() && line.size() == 2 && line[0].is_string() && line[1].is_string()) {
            if (auto operation = operationNamed(line[0].get<std::string>())) state.apply(*operation, line[1].get<std::string>());
        }
        offset_ += end + 1 - start;
        ++lines_;
        start = end + 1;
    }
    // What follows the last line break is an append cut short by a crash: it was
    // never reported stored, and the next line must not be glued to it.
    if (start < text.size() && ::ftruncate(fd_, static_cast<off_t>(offset_)) != 0)
        return errnoText("cannot trim", file_);
    return std::nullopt;
}

std::optional<std::string> CaptureJournal::catchUp(QueueState& state) {
    struct stat status;
    if (::fstat(fd_, &status) != 0) return errnoText("cannot read", file_);
    uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size == offset_) return std::nullopt;
    std::string tail(size - offset_, '\0');
    ssize_t count = ::pread(fd_, tail.data(), tail.size(), static_cast<off_t>(offset_));
    if (count < 0) return errnoText("cannot read", file_);
    tail.resize(static_cast<size_t>(count));
    return applyLines(state, tail);
}

std::optional<std::string> CaptureJournal::replay(QueueState& state, int64_t storedGeneration) {
    auto contents = readWholeFile(file_);
    if (contents.error) return contents.error;
    const std::string& text = contents.text ? *contents.text : std::string();
    size_t headerEnd = text.find('\n');
    json header = headerEnd == std::string::npos ? json() : json::parse(text.substr(0, headerEnd), nullptr, false);
    // A journal older than the stored queue was written into it before a crash.
    if (!header.is_object() || !header.contains("generation") || !header["generation"].is_number_integer() ||
        header["generation"].get<int64_t>() < storedGeneration)
        return restart(storedGeneration);
    if (auto error = open()) return error;
    offset_ = headerEnd + 1;
    lines_ = 0;
    return applyLines(state, std::string_view(text).substr(headerEnd + 1));
}

std::optional<std::string> CaptureJournal::append(Operation operation, const std::string& text) {
    std::string line = json::array({operationNames[static_cast<size_t>(operation)], text}).dump() + "\n";
    ssize_t written = ::write(fd_, line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size()) || (mustFlush(operation) && ::fdatasync(fd_) != 0)) {
        if (written >= 0 && written != static_cast<ssize_t>(line.size())) errno = ENOSPC;
        std::string error = errnoText("cannot write", file_);
        // Nothing half-written may stay for the next line to be glued to.
        if (::ftruncate(fd_, static_cast<off_t>(offset_)) != 0) inode_ = 0;
        return error;
    }
    offset_ += line.size();
    ++lines_;
    return std::nullopt;
}

std::optional<std::string> CaptureJournal::restart(int64_t generation) {
    std::string header = headerOf(generation);
    if (auto error = writeFileAtomically(file_, header)) {
        inode_ = 0;
        return error;
    }
    if (auto error = open()) return error;
    offset_ = header.size();
    lines_ = 0;
    return std::nullopt;
}

}  // namespace orvela
