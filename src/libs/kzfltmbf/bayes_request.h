#pragma once
// What the execute entry is asked: the score of a queued message
// ("<FILENAME>path</FILENAME>...") or a command ("LEARN SPAM path", "LEARN HAM path",
// "FORGET SPAM path", "FORGET HAM path", "STATS"; words in any case). LEARN and FORGET
// take several files, a line each, to be learned in one transaction.

#include <string>
#include <string_view>
#include <vector>

#include "token_store.h"

namespace kz::bayes {

// The most files one LEARN or FORGET names: larger batches of bulk learning write each
// token once for more messages, and one batch holds a store for little time.
inline constexpr std::size_t kMaxFilesPerRequest = 500;
// Up to this many files the reply of 1024 bytes holds a result for each.
inline constexpr std::size_t kMaxFilesListed = 25;

enum class RequestKind { Score, Learn, Forget, Stats, Malformed };

struct BayesRequest {
    RequestKind kind = RequestKind::Malformed;
    Category category = Category::Spam;  // LEARN and FORGET
    std::string path;                    // Score
    std::vector<std::string> paths;      // LEARN and FORGET
    std::string error;                   // Malformed: what is wrong
};

BayesRequest ParseRequest(std::string_view text);

}  // namespace kz::bayes
