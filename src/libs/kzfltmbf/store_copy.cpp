#include "store_copy.h"

#include <string>

namespace kz::bayes {

namespace {

void addTokens(StoreSummary& summary, const std::vector<TokenRow>& rows) {
    for (const TokenRow& row : rows) {
        ++summary.tokens;
        summary.spamCounts += row.counts.spam;
        summary.hamCounts += row.counts.ham;
    }
}

std::string describe(const StoreSummary& s) {
    return std::to_string(s.tokens) + " tokens (counts " + std::to_string(s.spamCounts) +
           " spam, " + std::to_string(s.hamCounts) + " ham), " + std::to_string(s.messages) +
           " learned messages (" + std::to_string(s.totals.spam) + " spam, " +
           std::to_string(s.totals.ham) + " ham)";
}

}  // namespace

StoreSummary Summarize(TokenStore& store) {
    StoreSummary summary;
    store.readTokens([&](const std::vector<TokenRow>& rows) { addTokens(summary, rows); });
    store.readMessages(
        [&](const std::vector<MessageRow>& rows) { summary.messages += rows.size(); });
    summary.totals = store.stats().messages;
    return summary;
}

StoreSummary CopyStore(TokenStore& from, TokenStore& to) {
    const StoreStats before = to.stats();
    if (before.tokens != 0 || before.messages.spam != 0 || before.messages.ham != 0)
        throw StoreError(to.location() + " already holds learned messages; clear it first");
    StoreSummary copied;
    from.readTokens([&](const std::vector<TokenRow>& rows) {
        to.addTokens(rows);
        addTokens(copied, rows);
    });
    from.readMessages([&](const std::vector<MessageRow>& rows) {
        to.addMessages(rows);
        copied.messages += rows.size();
    });
    copied.totals = from.stats().messages;
    to.setTotals(copied.totals);
    const StoreSummary landed = Summarize(to);
    if (!(landed == copied))
        throw StoreError("the copy does not match: " + from.location() + " gave " +
                         describe(copied) + ", " + to.location() + " holds " + describe(landed));
    return copied;
}

}  // namespace kz::bayes
