#include "capture/PendingCaptures.h"

namespace orvela {

std::vector<std::string> PendingCaptures::items() const {
    return defaults.stringArrayForKey(key).value_or(std::vector<std::string>{});
}

void PendingCaptures::add(const std::string& text) {
    auto list = items();
    list.push_back(text);
    defaults.setObject(list, key);
}

void PendingCaptures::removeFirst(const std::string& text) {
    auto list = items();
    if (list.empty() || list.front() != text) return;
    list.erase(list.begin());
    defaults.setObject(list, key);
}

}  // namespace orvela
