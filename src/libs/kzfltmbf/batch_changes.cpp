#include "batch_changes.h"

#include <algorithm>
#include <unordered_map>

namespace kz::bayes {

BatchChanges PlanBatch(bool learn, Category category, const std::vector<Lesson>& lessons,
                       const std::function<LearnedAs(const std::string& digest)>& prior) {
    BatchChanges changes;
    std::unordered_map<std::string, std::size_t> index;  // digest: its place in `before`
    std::vector<LearnedAs> now;                          // by the same place
    std::unordered_map<int64_t, std::pair<int64_t, int64_t>> tokens;
    std::size_t words = 0;
    for (const Lesson& lesson : lessons) words += lesson.tokens.size();
    tokens.reserve(words);

    auto count = [&](const Lesson& lesson, Category as, int64_t step) {
        for (const std::string& token : lesson.tokens) {
            auto& counts = tokens[TokenKey(token)];
            (as == Category::Spam ? counts.first : counts.second) += step;
        }
        (as == Category::Spam ? changes.spam : changes.ham) += step;
    };
    for (const Lesson& lesson : lessons) {
        auto [at, fresh] = index.try_emplace(lesson.digest, changes.before.size());
        if (fresh) {
            changes.before.emplace_back(lesson.digest, prior(lesson.digest));
            now.push_back(changes.before.back().second);
        }
        LearnedAs& state = now[at->second];
        const bool change = learn ? state != category : state == category;
        changes.changed.push_back(change);
        if (!change) continue;
        if (state) count(lesson, *state, -1);
        if (learn) count(lesson, category, +1);
        state = learn ? LearnedAs(category) : std::nullopt;
    }
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] != changes.before[i].second)
            changes.after.emplace_back(changes.before[i].first, now[i]);

    changes.tokens.reserve(tokens.size());
    for (const auto& [key, counts] : tokens)
        if (counts.first != 0 || counts.second != 0)
            changes.tokens.push_back({key, counts.first, counts.second});
    std::sort(changes.tokens.begin(), changes.tokens.end(),
              [](const TokenChange& a, const TokenChange& b) { return a.key < b.key; });
    return changes;
}

}  // namespace kz::bayes
