#include "capture/PendingCaptures.h"

#include <algorithm>

namespace orvela {
namespace {

// Equal texts in the journal are interchangeable: any one of them may go.
void removeOne(std::vector<std::string>& list, const std::string& text) {
    if (auto found = std::find(list.begin(), list.end(), text); found != list.end()) list.erase(found);
}

}  // namespace

std::vector<std::string> PendingCaptures::items() const {
    return defaults.textsForKey(key);
}

bool PendingCaptures::add(const std::string& text) {
    return defaults.modifyStringArrays({key}, [&](StringArrays& lists) { lists[key].push_back(text); });
}

bool PendingCaptures::removeFirst(const std::string& text) {
    return defaults.modifyStringArrays({key}, [&](StringArrays& lists) {
        auto& list = lists[key];
        if (!list.empty() && list.front() == text) list.erase(list.begin());
    });
}

std::vector<std::string> PendingCaptures::inFlight() const {
    return defaults.textsForKey(inFlightKey);
}

bool PendingCaptures::beginDelivery(const std::string& text) {
    return defaults.modifyStringArrays({inFlightKey}, [&](StringArrays& lists) { lists[inFlightKey].push_back(text); });
}

bool PendingCaptures::delivered(const std::string& text) {
    return defaults.modifyStringArrays({inFlightKey}, [&](StringArrays& lists) { removeOne(lists[inFlightKey], text); });
}

bool PendingCaptures::returnToQueue(const std::string& text) {
    return defaults.modifyStringArrays({key, inFlightKey}, [&](StringArrays& lists) {
        removeOne(lists[inFlightKey], text);
        lists[key].push_back(text);
    });
}

bool PendingCaptures::requeueUndelivered() {
    return defaults.modifyStringArrays({key, inFlightKey}, [&](StringArrays& lists) {
        auto& journal = lists[inFlightKey];
        if (journal.empty()) return;
        auto& queue = lists[key];
        queue.insert(queue.end(), journal.begin(), journal.end());
        journal.clear();
    });
}

bool PendingCaptures::recoverMovedAside() {
    auto files = defaults.movedAside();
    if (files.empty()) return true;
    return defaults.modifyStringArrays({key, recoveredKey}, [&](StringArrays& lists) {
        auto& recovered = lists[recoveredKey];
        auto& queue = lists[key];
        for (const auto& file : files) {
            if (std::find(recovered.begin(), recovered.end(), file.name) != recovered.end()) continue;
            for (const auto* listKey : {&key, &inFlightKey}) {
                auto list = file.values.find(*listKey);
                if (list == file.values.end() || !list->is_array()) continue;
                for (const auto& text : *list)
                    if (text.is_string()) queue.push_back(text.get<std::string>());
            }
            recovered.push_back(file.name);
        }
    });
}

}  // namespace orvela
