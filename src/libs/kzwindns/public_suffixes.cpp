#include "public_suffixes.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kz::windns {

namespace {

// The rules as a sorted list, split out of the text once; read-only after that.
const std::vector<std::string_view>& rules() {
    static const std::vector<std::string_view> split = [] {
        std::vector<std::string_view> lines;
        std::string_view text(kPublicSuffixText);
        for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
            lines.push_back(text.substr(0, end));
            text.remove_prefix(end + 1);
        }
        return lines;
    }();
    return split;
}

bool hasRule(std::string_view rule) {
    return std::binary_search(rules().begin(), rules().end(), rule);
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
