#pragma once

#include "platform/AtomicFile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orvela {

using DefaultsData = std::vector<uint8_t>;
using DefaultsValue = std::variant<std::string, bool, double, DefaultsData, std::vector<std::string>>;

using StringArrays = std::map<std::string, std::vector<std::string>>;

// The per-user key-value store of settings and launch switches.
//
// Persistent values live in one JSON file that is replaced atomically on every
// write. Other processes may share the file (a second session of the user, a
// snapshot run, a hand edit): every write is a read-modify-write of the file as
// it is on disk at that moment, under a lock, so that their changes merge, and
// every read sees the file as it is now. Pairs "-key value" on the command line
// form an argument domain that wins over the stored value of the same key for the
// run; its values are texts, which boolForKey reads as YES/NO, true/false or a number.
class DefaultsStore {
public:
    // A store on the given file (or in memory only when there is none), with the
    // argument domain built from the given arguments (the program name excluded).
    // A file that cannot be understood is moved aside, never written over; when it
    // cannot be moved either, the store keeps its values in memory and reports every
    // write as failed. A file that cannot be read stays where it is: the store runs
    // from memory, and every write fails until the file can be read again.
    explicit DefaultsStore(std::optional<std::filesystem::path> file,
                           const std::vector<std::string>& arguments = {});
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;

    // The application's store: $XDG_CONFIG_HOME/orvela/defaults.json, with the
    // arguments of this process. The same object on every call.
    static DefaultsStore& standardUserDefaults();
    static std::filesystem::path standardPath();

    std::optional<std::string> stringForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;
    // The texts of the list under the key, entries of other forms left out; none
    // for anything but a list.
    std::vector<std::string> textsForKey(const std::string& key) const;
    std::optional<DefaultsData> dataForKey(const std::string& key) const;
    std::optional<DefaultsValue> objectForKey(const std::string& key) const;

    // Each write says whether the value reached the disk. One that did not is
    // still returned by the reads of this process, goes to disk with the next
    // write that succeeds, and is logged once.
    bool setObject(const DefaultsValue& value, const std::string& key);
    bool setBool(bool value, const std::string& key);
    bool removeObjectForKey(const std::string& key);

    // Changes the lists of texts under the given keys in one write (an absent or
    // malformed value reads as the empty list); the change sees what is stored at
    // this moment. Only lists the change altered are written, and entries of
    // other forms in them stay as they are. False, with nothing changed in this
    // process either, when the change could not be stored.
    // The values in alsoSet are stored in the same write. A write that must not
    // wait for another process's lock gives a patience of zero.
    bool modifyStringArrays(const std::vector<std::string>& keys, const std::function<void(StringArrays&)>& change,
                            const std::map<std::string, DefaultsValue>& alsoSet = {},
                            std::optional<double> lockPatience = std::nullopt);

    // Whether the file can be read now (or there is none yet).
    bool readable() const;

    // Why the last write failed, and whether only because another process held
    // the file at that moment.
    const std::optional<std::string>& lastError() const { return lastError_; }
    bool lastFailureWasBusy() const { return lastFailureBusy_; }
    // A change stored beside the file (the capture queue's journal) failed or
    // succeeded: a disk that refuses both is logged once, and the values it
    // refused before go to it with the first change it takes again.
    bool failedBeside(const std::string& error) { return failed(error); }
    void succeededBeside();
    // How long a write waits for another process's lock; zero tries once.
    void setLockPatience(double seconds) { lockPatience_ = seconds; }

    // Drops a value the disk refused: the key reads as stored again, and the
    // value is not written later.
    void forgetUnsaved(const std::string& key);

    // The files moved aside beside this one that parse, by file name.
    struct MovedAside {
        std::string name;
        nlohmann::json values;
    };
    std::vector<MovedAside> movedAside() const;

    const std::optional<std::filesystem::path>& file() const { return file_; }

    // The "-key value" pairs among the command-line arguments (program name left out).
    static std::map<std::string, std::string> argumentDomain(const std::vector<std::string>& arguments);
    // The arguments that are not such pairs, in their order.
    static std::vector<std::string> otherArguments(const std::vector<std::string>& arguments);

private:
    enum class Backing { memory, file, unavailable };

    const nlohmann::json* persistent(const std::string& key) const;
    void load();
    void refresh() const;
    bool write(const std::function<void(nlohmann::json&)>& change, std::optional<double> lockPatience = std::nullopt);
    bool failed(const std::string& error, bool busy = false);
    void overlayUnsaved(nlohmann::json& values) const;

    std::optional<std::filesystem::path> file_;
    Backing backing_ = Backing::memory;
    std::map<std::string, std::string> arguments_;
    // The file as last read or written. Kept whole, so values of forms this store
    // does not know are written back unchanged rather than lost.
    mutable nlohmann::json values_ = nlohmann::json::object();
    // The same as last read from or written to the disk, without unsaved values.
    mutable nlohmann::json stored_ = nlohmann::json::object();
    mutable std::optional<FileStamp> stamp_;
    // Values set while the disk refused them (null for a removal).
    nlohmann::json unsaved_ = nlohmann::json::object();
    bool failureLogged_ = false;
    mutable bool unreadable_ = false;
    mutable std::optional<std::string> lastError_;
    bool lastFailureBusy_ = false;
    double lockPatience_ = 2;
};

}  // namespace orvela
