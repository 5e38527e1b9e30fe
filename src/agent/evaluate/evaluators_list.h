#pragma once
// The flow shared by the word, address and envelope evaluators: per enabled instance a
// word file when the data names a usable one, otherwise the inline alternatives.

#include <cstddef>
#include <string_view>

#include "base/text_limit.h"
#include "evaluate/evaluation.h"

namespace kz::evaluate {

// What tells the three list evaluators apart.
struct ListRule {
    std::string_view inlineTag;    // the tag of hits from inline alternatives
    std::string_view wordFileTag;  // the tag of hits from word files
    TextLimit alternativeLimit;    // one alternative
    bool senderToken;              // whether "[KZ_SENDER]" stands for the sender
    // Trace lines: before the alternatives of an inline list, and on an inline hit.
    void (*beforeAlternatives)(int count) = nullptr;
    void (*onHit)(std::string_view alternative) = nullptr;
};

// Evaluates the value against every enabled instance of the kind.
void EvaluateListCriterion(Evaluation& evaluation, const ListRule& rule, CriterionType kind,
                           std::string_view value, std::string_view delimiters);

}  // namespace kz::evaluate
