#include "redis_store.h"

#include <hiredis/hiredis.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "batch_changes.h"
#include "redis_client.h"
#include "redis_learning.h"

namespace kz::bayes {

namespace {

constexpr std::string_view kSpam = "kzbayes:spam";
constexpr std::string_view kHam = "kzbayes:ham";
constexpr std::string_view kSeen = "kzbayes:seen";
constexpr std::string_view kMessages = "kzbayes:messages";
constexpr std::string_view kTotals = "kzbayes:totals";
// Rows asked for at a time while the store is read or filled whole.
constexpr std::size_t kRowsPerPiece = 1000;
// Times a batch is worked out again because other nodes taught its messages meanwhile.
constexpr int kAttempts = 8;

// A token's field: its key in 8 bytes, most significant first with the sign bit flipped,
// so that the bytes sort as the keys do and ties in "seen" fall as in the SQLite store.
std::string field(int64_t key) {
    uint64_t ordered = uint64_t(key) ^ (uint64_t(1) << 63);
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i, ordered >>= 8) bytes[std::size_t(i)] = char(ordered & 0xff);
    return bytes;
}

int64_t keyOf(std::string_view bytes) {
    uint64_t ordered = 0;
    for (unsigned char c : bytes.substr(0, 8)) ordered = ordered << 8 | c;
    return int64_t(ordered ^ (uint64_t(1) << 63));
}

std::string_view text(const redisReply* reply) {
    return reply->type == REDIS_REPLY_STRING || reply->type == REDIS_REPLY_STATUS
               ? std::string_view(reply->str, reply->len)
               : std::string_view();
}

// A count as stored; absent (nil) or unreadable is 0.
int64_t number(const redisReply* reply) {
    if (reply->type == REDIS_REPLY_INTEGER) return reply->integer;
    const std::string_view digits = text(reply);
    int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

uint32_t count(const redisReply* reply) {
    const int64_t value = number(reply);
    return value <= 0 ? 0 : value >= int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(value);
}

const redisReply* element(const redisReply* reply, std::size_t at) {
    if (reply->type != REDIS_REPLY_ARRAY || at >= reply->elements)
        throw StoreError("unexpected reply from Redis");
    return reply->element[at];
}

const char* categoryName(Category category) {
    return category == Category::Spam ? "spam" : "ham";
}

class RedisStore final : public TokenStore {
  public:
    RedisStore(const StoreSettings& settings, const RedisAddress& address)
        : location_(settings.database),
          maxTokens_(std::to_string(settings.maxTokens)),
          client_(address, settings.password, settings.timeout) {}

    const std::string& location() const override { return location_; }
    bool reusable() const override { return !client_.broken(); }

    std::vector<bool> learn(Category category, const std::vector<Lesson>& lessons) override {
        return teach(true, category, lessons);
    }
    std::vector<bool> forget(Category category, const std::vector<Lesson>& lessons) override {
        return teach(false, category, lessons);
    }

    LearnedTotals counts(const std::vector<std::string>& tokens,
                         std::vector<TokenCounts>& out) override {
        std::vector<std::string> fields;
        fields.reserve(tokens.size());
        for (const std::string& token : tokens) fields.push_back(field(TokenKey(token)));
        RedisCommand spam = {"HMGET", kSpam}, ham = {"HMGET", kHam};
        spam.insert(spam.end(), fields.begin(), fields.end());
        ham.insert(ham.end(), fields.begin(), fields.end());
        std::vector<RedisCommand> commands = {{"MULTI"}, {"HMGET", kTotals, "spam", "ham"}};
        if (!fields.empty()) commands.insert(commands.end(), {spam, ham});
        commands.push_back({"EXEC"});
        const std::vector<RedisReply> replies = client_.pipeline(commands);
        const redisReply* results = replies.back().get();
        const redisReply* totals = element(results, 0);
        out.assign(tokens.size(), TokenCounts{});
        for (std::size_t i = 0; !fields.empty() && i < tokens.size(); ++i)
            out[i] = {count(element(element(results, 1), i)),
                      count(element(element(results, 2), i))};
        return {count(element(totals, 0)), count(element(totals, 1))};
    }

    StoreStats stats() override {
        const std::vector<RedisReply> replies = client_.pipeline(
            {{"MULTI"}, {"HMGET", kTotals, "spam", "ham"}, {"ZCARD", kSeen}, {"EXEC"}});
        const redisReply* results = replies.back().get();
        StoreStats stats;
        stats.messages = {count(element(element(results, 0), 0)),
                          count(element(element(results, 0), 1))};
        stats.tokens = uint64_t(number(element(results, 1)));
        return stats;
    }

    void clear() override { client_.command({"DEL", kSpam, kHam, kSeen, kMessages, kTotals}); }

    void readTokens(const RowSink<TokenRow>& take) override {
        scan({"ZSCAN", kSeen}, [&](const redisReply* found) {
            RedisCommand spam = {"HMGET", kSpam}, ham = {"HMGET", kHam};
            for (std::size_t i = 0; i + 1 < found->elements; i += 2) {
                spam.push_back(text(found->element[i]));
                ham.push_back(text(found->element[i]));
            }
            if (spam.size() == 2) return;
            const std::vector<RedisReply> counts = client_.pipeline({spam, ham});
            std::vector<TokenRow> rows;
            for (std::size_t i = 0; i + 1 < found->elements; i += 2)
                rows.push_back({keyOf(text(found->element[i])),
                                {count(element(counts[0].get(), i / 2)),
                                 count(element(counts[1].get(), i / 2))},
                                number(found->element[i + 1])});
            take(rows);
        });
    }

    void readMessages(const RowSink<MessageRow>& take) override {
        scan({"HSCAN", kMessages}, [&](const redisReply* found) {
            std::vector<MessageRow> rows;
            for (std::size_t i = 0; i + 1 < found->elements; i += 2)
                rows.push_back(
                    {std::string(text(found->element[i])),
                     text(found->element[i + 1]) == "spam" ? Category::Spam : Category::Ham});
            if (!rows.empty()) take(rows);
        });
    }

    void addTokens(const std::vector<TokenRow>& rows) override {
        for (std::size_t first = 0; first < rows.size(); first += kRowsPerPiece) {
            std::vector<std::string> words;  // held while the commands point at them
            words.reserve(4 * kRowsPerPiece);
            RedisCommand spam = {"HSET", kSpam}, ham = {"HSET", kHam}, seen = {"ZADD", kSeen};
            for (std::size_t i = first; i < std::min(rows.size(), first + kRowsPerPiece); ++i) {
                const TokenRow& row = rows[i];
                if (row.counts.spam == 0 && row.counts.ham == 0) continue;
                const std::string& key = words.emplace_back(field(row.key));
                if (row.counts.spam)
                    spam.insert(spam.end(),
                                {key, words.emplace_back(std::to_string(row.counts.spam))});
                if (row.counts.ham)
                    ham.insert(ham.end(),
                               {key, words.emplace_back(std::to_string(row.counts.ham))});
                seen.insert(seen.end(), {words.emplace_back(std::to_string(row.seen)), key});
            }
            std::vector<RedisCommand> commands;
            for (RedisCommand* command : {&spam, &ham, &seen})
                if (command->size() > 2) commands.push_back(*command);
            if (!commands.empty()) client_.pipeline(commands);
        }
    }

    void addMessages(const std::vector<MessageRow>& rows) override {
        for (std::size_t first = 0; first < rows.size(); first += kRowsPerPiece) {
            RedisCommand set = {"HSET", kMessages};
            for (std::size_t i = first; i < std::min(rows.size(), first + kRowsPerPiece); ++i)
                set.insert(set.end(), {rows[i].digest, categoryName(rows[i].category)});
            client_.command(set);
        }
    }

    void setTotals(LearnedTotals totals) override {
        const std::string spam = std::to_string(totals.spam), ham = std::to_string(totals.ham);
        client_.command({"HSET", kTotals, "spam", spam, "ham", ham});
    }

  private:
    // The batch is worked out here from how its messages were learned, as far as known:
    // first as bulk learning finds them (not learned yet; learned, when forgetting), then
    // as the script found them when another node had taught them meanwhile.
    std::vector<bool> teach(bool learn, Category category, const std::vector<Lesson>& lessons) {
        std::unordered_map<std::string, LearnedAs> found;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const BatchChanges changes =
                PlanBatch(learn, category, lessons, [&](const std::string& digest) {
                    const auto known = found.find(digest);
                    if (known != found.end()) return known->second;
                    return learn ? LearnedAs() : LearnedAs(category);
                });
            const RedisReply reply = client_.command(script(learn, changes));
            if (reply->type != REDIS_REPLY_ARRAY) return changes.changed;
            for (std::size_t i = 0; i < changes.before.size(); ++i) {
                const std::string_view state = text(element(reply.get(), i));
                found[changes.before[i].first] = state == "spam"  ? LearnedAs(Category::Spam)
                                                 : state == "ham" ? LearnedAs(Category::Ham)
                                                                  : LearnedAs();
            }
        }
        throw StoreError(client_.name() +
                         ": other nodes kept teaching the same messages; nothing was learned");
    }

    // The script's command for the changes; it points into words_. The tokens go in groups
    // of the same changes, each group's changes once.
    RedisCommand script(bool learn, const BatchChanges& changes) {
        words_.clear();
        auto word = [&](std::string value) -> std::string_view {
            return words_.emplace_back(std::move(value));
        };
        auto learned = [](const LearnedAs& as) { return as ? categoryName(*as) : ""; };
        std::vector<const TokenChange*> tokens;
        tokens.reserve(changes.tokens.size());
        for (const TokenChange& token : changes.tokens) tokens.push_back(&token);
        auto steps = [](const TokenChange* t) { return std::pair(t->spam, t->ham); };
        std::stable_sort(tokens.begin(), tokens.end(),
                         [&](auto* a, auto* b) { return steps(a) < steps(b); });
        RedisCommand groups;
        for (std::size_t first = 0, next; first < tokens.size(); first = next) {
            next = first + 1;
            while (next < tokens.size() && steps(tokens[next]) == steps(tokens[first])) ++next;
            groups.insert(groups.end(), {word(std::to_string(next - first)),
                                         word(std::to_string(tokens[first]->spam)),
                                         word(std::to_string(tokens[first]->ham))});
        }
        RedisCommand eval = {"EVAL",
                             kRedisLearning,
                             "5",
                             kSpam,
                             kHam,
                             kSeen,
                             kMessages,
                             kTotals,
                             word(std::to_string(MillisecondsNow())),
                             learn ? std::string_view(maxTokens_) : "0",
                             word(std::to_string(changes.before.size())),
                             word(std::to_string(changes.after.size())),
                             word(std::to_string(tokens.size())),
                             word(std::to_string(groups.size() / 3)),
                             word(std::to_string(changes.spam)),
                             word(std::to_string(changes.ham))};
        eval.reserve(eval.size() + 2 * (changes.before.size() + changes.after.size()) +
                     tokens.size() + groups.size());
        for (const auto* messages : {&changes.before, &changes.after})
            for (const auto& [digest, as] : *messages)
                eval.insert(eval.end(), {digest, learned(as)});
        for (const TokenChange* token : tokens) eval.push_back(word(field(token->key)));
        eval.insert(eval.end(), groups.begin(), groups.end());
        return eval;
    }

    // Walks a SCAN-style command to its end, each piece's array to `take`.
    void scan(RedisCommand command, const std::function<void(const redisReply*)>& take) {
        std::string cursor = "0";
        const std::string piece = std::to_string(kRowsPerPiece);
        command.insert(command.end(), {cursor, "COUNT", piece});
        do {
            command[2] = cursor;
            const RedisReply reply = client_.command(command);
            cursor = std::string(text(element(reply.get(), 0)));
            take(element(reply.get(), 1));
        } while (cursor != "0");
    }

    std::string location_;
    std::string maxTokens_;
    RedisClient client_;
    std::deque<std::string> words_;  // what the last command points at
};

}  // namespace

std::unique_ptr<TokenStore> OpenRedisStore(const StoreSettings& settings,
                                           const RedisAddress& address) {
    return std::make_unique<RedisStore>(settings, address);
}

}  // namespace kz::bayes
