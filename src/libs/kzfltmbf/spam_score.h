#pragma once
// The spam probability of a message from the counts of its tokens: Robinson's f(w) for
// each token, the most significant tokens kept, Fisher's chi-square to combine them.

#include <cstdint>
#include <vector>

namespace kz::bayes {

struct TokenCounts {
    uint32_t spam = 0;  // spam messages learned that hold the token
    uint32_t ham = 0;
    bool operator==(const TokenCounts&) const = default;
};

struct LearnedTotals {
    uint32_t spam = 0;  // spam messages learned
    uint32_t ham = 0;
    bool operator==(const LearnedTotals&) const = default;
};

// Tokens whose f(w) lies nearer than this to 0.5 say too little to be counted; a wide
// margin keeps ham that shares many weak spam words (newsletters) below the thresholds.
inline constexpr double kMinimumDeviation = 0.375;
// At most this many tokens, the farthest from 0.5, decide.
inline constexpr std::size_t kMaxDiscriminators = 150;

// Robinson's f(w): the token's spam ratio pulled towards 0.5 the fewer messages held it.
double TokenProbability(TokenCounts counts, LearnedTotals totals);

// 0 (ham) to 1 (spam); 0.5 when no token is significant.
double SpamProbability(const std::vector<TokenCounts>& tokens, LearnedTotals totals);

}  // namespace kz::bayes
