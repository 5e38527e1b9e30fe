#include "spam_score.h"

#include <algorithm>
#include <cmath>

namespace kz::bayes {

namespace {

// Robinson's strength of the prior and the probability assumed for an unseen token.
constexpr double kPriorStrength = 0.45;
constexpr double kUnknownProbability = 0.5;

// The probability that a chi-square variable with `degrees` (even) degrees of freedom
// is at least `chi2`: the series of the Poisson tail, in closed form for even degrees.
double chiSquareTail(double chi2, std::size_t degrees) {
    const double m = chi2 / 2.0;
    double term = std::exp(-m);
    double sum = term;
    for (std::size_t i = 1; i < degrees / 2; ++i) {
        term *= m / double(i);
        sum += term;
    }
    return std::min(sum, 1.0);
}

}  // namespace

double TokenProbability(TokenCounts counts, LearnedTotals totals) {
    const double spamRatio = totals.spam ? double(counts.spam) / totals.spam : 0.0;
    const double hamRatio = totals.ham ? double(counts.ham) / totals.ham : 0.0;
    if (spamRatio + hamRatio == 0.0) return kUnknownProbability;
    const double p = spamRatio / (spamRatio + hamRatio);
    const double n = double(counts.spam) + double(counts.ham);
    return (kPriorStrength * kUnknownProbability + n * p) / (kPriorStrength + n);
}

double SpamProbability(const std::vector<TokenCounts>& tokens, LearnedTotals totals) {
    std::vector<double> significant;
    significant.reserve(tokens.size());
    for (const TokenCounts& counts : tokens) {
        const double f = TokenProbability(counts, totals);
        if (std::fabs(f - 0.5) >= kMinimumDeviation) significant.push_back(f);
    }
    if (significant.empty()) return 0.5;
    if (significant.size() > kMaxDiscriminators) {
        std::nth_element(
            significant.begin(), significant.begin() + kMaxDiscriminators, significant.end(),
            [](double a, double b) { return std::fabs(a - 0.5) > std::fabs(b - 0.5); });
        significant.resize(kMaxDiscriminators);
    }
    // Sums of logarithms instead of products, which would underflow for many tokens.
    double hamEvidence = 0.0;
    double spamEvidence = 0.0;
    for (double f : significant) {
        f = std::clamp(f, 1e-6, 1.0 - 1e-6);
        hamEvidence += std::log(f);
        spamEvidence += std::log(1.0 - f);
    }
    // Fisher: H = 1 - tail(-2 sum ln f), S = 1 - tail(-2 sum ln(1-f)); the indicator
    // (1 + S - H) / 2 is near 1 when the tokens speak for spam, near 0 for ham.
    const std::size_t degrees = 2 * significant.size();
    const double hamTail = chiSquareTail(-2.0 * hamEvidence, degrees);
    const double spamTail = chiSquareTail(-2.0 * spamEvidence, degrees);
    return std::clamp((1.0 + hamTail - spamTail) / 2.0, 0.0, 1.0);
}

}  // namespace kz::bayes
