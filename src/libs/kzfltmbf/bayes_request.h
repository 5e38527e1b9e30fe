#pragma once
// What the execute entry is asked: the score of a queued message
// ("<FILENAME>path</FILENAME>...") or a command ("LEARN SPAM path", "LEARN HAM path",
// "FORGET SPAM path", "FORGET HAM path", "STATS"; words in any case).

#include <string>
#include <string_view>

#include "token_store.h"

namespace kz::bayes {

enum class RequestKind { Score, Learn, Forget, Stats, Malformed };

struct BayesRequest {
    RequestKind kind = RequestKind::Malformed;
    Category category = Category::Spam;  // LEARN and FORGET
    std::string path;                    // Score, LEARN and FORGET
    std::string error;                   // Malformed: what is wrong
};

BayesRequest ParseRequest(std::string_view text);

}  // namespace kz::bayes
