#include "public_suffixes.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kz::windns {

namespace {

bool hasRule(std::string_view rule) {
    const std::string_view* end = kPublicSuffixRules + kPublicSuffixRuleCount;
    return std::binary_search(kPublicSuffixRules, end, rule);
}

}  // namespace

std::size_t PublicSuffixLabels(std::string_view name) {
    // Where each suffix of the name starts: starts[k - 1] for its last k labels.
    std::vector<std::size_t> starts;
    for (std::size_t at = name.size(); at-- > 0;) {
        if (name[at] == '.') starts.push_back(at + 1);
    }
    starts.push_back(0);
    std::size_t labels = 1;  // the implicit rule "*"
    for (std::size_t k = 1; k <= starts.size(); ++k) {
        const std::string_view suffix = name.substr(starts[k - 1]);
        if (hasRule("!" + std::string(suffix))) return k - 1;
        if (hasRule(suffix)) labels = std::max(labels, k);
        if (k >= 2 && hasRule("*." + std::string(name.substr(starts[k - 2]))))
            labels = std::max(labels, k);
    }
    return labels;
}

}  // namespace kz::windns
