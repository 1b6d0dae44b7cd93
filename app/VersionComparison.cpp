#include "app/VersionComparison.h"

#include <cctype>
#include <string>
#include <vector>

namespace orvela {
namespace {

enum class Type { number, text, period, separator };

struct Part {
    Type type;
    std::string text;
};

Type typeOf(char c) {
    auto u = static_cast<unsigned char>(c);
    if (c == '.') return Type::period;
    if (std::isdigit(u)) return Type::number;
    if (std::isspace(u) || (std::ispunct(u) && c != '.')) return Type::separator;
    return Type::text;
}

// Runs of digits and runs of other text each make one part; every period and
// separator is a part of its own.
std::vector<Part> partsOf(std::string_view version) {
    std::vector<Part> parts;
    for (char c : version) {
        Type type = typeOf(c);
        bool joins = !parts.empty() && parts.back().type == type && (type == Type::number || type == Type::text);
        if (joins)
            parts.back().text.push_back(c);
        else
            parts.push_back({type, std::string(1, c)});
    }
    return parts;
}

int compareNumbers(const std::string& a, const std::string& b) {
    size_t startA = a.find_first_not_of('0');
    size_t startB = b.find_first_not_of('0');
    std::string_view digitsA = startA == std::string::npos ? "" : std::string_view(a).substr(startA);
    std::string_view digitsB = startB == std::string::npos ? "" : std::string_view(b).substr(startB);
    if (digitsA.size() != digitsB.size()) return digitsA.size() < digitsB.size() ? -1 : 1;
    int order = digitsA.compare(digitsB);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool onlyZeros(const std::vector<Part>& parts, size_t from) {
    for (size_t i = from; i < parts.size(); ++i) {
        if (parts[i].type == Type::text) return false;
        if (parts[i].type == Type::number && parts[i].text.find_first_not_of('0') != std::string::npos) return false;
    }
    return true;
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
    auto partsA = partsOf(a);
    auto partsB = partsOf(b);
    size_t common = std::min(partsA.size(), partsB.size());
    for (size_t i = 0; i < common; ++i) {
        const Part& x = partsA[i];
        const Part& y = partsB[i];
        if (x.type == y.type) {
            int order = x.type == Type::number ? compareNumbers(x.text, y.text)
                        : x.type == Type::text  ? x.text.compare(y.text)
                                                : 0;
            if (order != 0) return order < 0 ? -1 : 1;
            continue;
        }
        // Text against anything else: the other is the release, hence newer.
        if (y.type == Type::text) return 1;
        if (x.type == Type::text) return -1;
        // A number against a period or a separator: the number is newer.
        return x.type == Type::number ? 1 : -1;
    }
    if (partsA.size() == partsB.size()) return 0;
    bool aLonger = partsA.size() > partsB.size();
    const auto& longer = aLonger ? partsA : partsB;
    if (onlyZeros(longer, common)) return 0;
    // More text makes a pre-release of the shorter; more numbers a later version.
    bool preRelease = longer[common].type == Type::text;
    return (aLonger != preRelease) ? 1 : -1;
}

}  // namespace orvela
