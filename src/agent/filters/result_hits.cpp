#include "filters/result_hits.h"

#include <string>

#include "base/text_limit.h"

namespace kz::filters {

std::string TaggedMatchText(std::string_view tag, std::string_view word) {
    std::string text;
    text.reserve(tag.size() * 2 + word.size() + 5);
    text.append("<").append(tag).append(">").append(word);
    text.append("</").append(tag).append(">");
    return std::string(kMatchTextLimit.cut(text));
}

void RecordHit(MatchResultBlock& block, CriterionType kind, int instance, std::string_view tag,
               std::string_view word) {
    block.hitCount[kind] += 1;
    block.matchText[kind] = TaggedMatchText(tag, word);
    if (instance >= 0 && instance < kMaxInstances)
        block.instanceValue[kind][instance].assign(
            1, '1');  // not = "1": GCC 12 warns falsely (-Wrestrict)
}

}  // namespace kz::filters
