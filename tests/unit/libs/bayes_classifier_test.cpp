// The Bayesian classifier's tokens, commands and token file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "bayes_request.h"
#include "message_tokens.h"
#include "sqlite_store.h"
#include "store_settings.h"
#include "support/redis_server.h"
#include "support/test_support.h"
#include "token_snapshot.h"

namespace kz::bayes {
namespace {

using test::fixture;
using test::readFile;
using ::testing::Contains;
using ::testing::Not;

TEST(BayesTokens, DecodedHeadersBodiesWithoutMarkupAndLinkHostsBounded) {
    const auto tokens = MessageTokens(readFile(fixture("bayes/tokens.eml")));
    // Encoded words decoded, tagged by the header's name; per-message ids left out.
    EXPECT_THAT(tokens, Contains("subject:große"));
    EXPECT_THAT(tokens, Contains("x-mailer:bulk"));
    EXPECT_THAT(tokens, Not(Contains(::testing::HasSubstr("uniquejunk"))));
    // The base64 text body; a long run kept as its first letter and length in tens.
    EXPECT_THAT(tokens, Contains("visit"));
    EXPECT_THAT(tokens, Contains("skip:a60"));
    EXPECT_THAT(tokens, Not(Contains("ab")));
    // Link hosts without user, port or trailing dot, and each parent domain.
    for (const char* host : {"url:deals.shop.example.com", "url:shop.example.com",
                             "url:example.com", "url:com", "url:offers.example.net"})
        EXPECT_THAT(tokens, Contains(host));
    // The HTML body: a comment does not split a word, entities are read, tags are gone.
    EXPECT_THAT(tokens, Contains("viagra"));
    EXPECT_THAT(tokens, Contains("free"));
    EXPECT_THAT(tokens, Not(Contains("font")));
    EXPECT_THAT(tokens, Not(Contains("red")));
    EXPECT_EQ(std::count(tokens.begin(), tokens.end(), "url:com"), 1);

    std::string many = "Subject: many\r\n\r\n";
    for (int i = 0; i < 6000; ++i) many += "w" + std::to_string(i) + " ";
    EXPECT_EQ(MessageTokens(many).size(), kMaxTokens);
    EXPECT_TRUE(MessageTokens("").empty());
}

TEST(BayesRequests, CommandsAndMessagesAreReadAndAnythingElseIsMalformed) {
    BayesRequest learn = ParseRequest("  learn Spam /queue/My Message.MAI\r\n");
    EXPECT_EQ(learn.kind, RequestKind::Learn);
    EXPECT_EQ(learn.category, Category::Spam);
    EXPECT_EQ(learn.paths, std::vector<std::string>{"/queue/My Message.MAI"});
    BayesRequest forget = ParseRequest("FORGET HAM m.eml\r\n\r\n /q/n 2.eml \n");
    EXPECT_EQ(forget.kind, RequestKind::Forget);
    EXPECT_EQ(forget.category, Category::Ham);
    EXPECT_EQ(forget.paths, (std::vector<std::string>{"m.eml", "/q/n 2.eml"}));
    EXPECT_EQ(ParseRequest("STATS").kind, RequestKind::Stats);
    BayesRequest score = ParseRequest("<FILENAME>/q/M.MAI</FILENAME><CMDFILE>/q/C</CMDFILE>");
    EXPECT_EQ(score.kind, RequestKind::Score);
    EXPECT_EQ(score.path, "/q/M.MAI");

    std::string tooMany = "LEARN SPAM";
    for (std::size_t i = 0; i <= kMaxFilesPerRequest; ++i) tooMany += "\nm.eml";
    for (const std::string& bad : std::vector<std::string>{
             "", tooMany, "   ", "LEARN", "LEARN SPAM", "LEARN SPAM   ", "LEARN JUNK m.eml",
             "FORGET m.eml", "STATS now", "DELETE SPAM m.eml", "<FILENAME></FILENAME>",
             "<FILENAME>/q/M.MAI"}) {
        const BayesRequest request = ParseRequest(bad);
        EXPECT_EQ(request.kind, RequestKind::Malformed) << bad;
        EXPECT_FALSE(request.error.empty()) << bad;
    }
}

class BayesStore : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string database = dir.file("Bayes.db");

    TokenCounts countsOf(const std::string& token) {
        std::vector<TokenCounts> counts;
        SqliteStore(database).counts({token}, counts);
        return counts.front();
    }
};

TEST_F(BayesStore, AMessageCountsOnceMovesBetweenCategoriesAndIsForgottenOnlyWhereLearned) {
    SqliteStore store(database);
    const Lesson one{{"cheap", "pills"}, MessageDigest("message one")};
    const Lesson two{{"cheap"}, MessageDigest("message two")};
    // Learned twice in one batch, the same message counts once.
    EXPECT_EQ(store.learn(Category::Spam, {one, two, one}), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(countsOf("cheap").spam, 2u);
    EXPECT_EQ(store.stats().messages.spam, 2u);

    EXPECT_EQ(store.learn(Category::Ham, {one}), std::vector<bool>{true});
    EXPECT_EQ(countsOf("cheap").spam, 1u);
    EXPECT_EQ(countsOf("cheap").ham, 1u);
    EXPECT_EQ(countsOf("pills").spam, 0u);
    const StoreStats moved = store.stats();
    EXPECT_EQ(moved.messages.spam, 1u);
    EXPECT_EQ(moved.messages.ham, 1u);

    EXPECT_EQ(store.forget(Category::Spam, {one, two}), (std::vector<bool>{false, true}));
    EXPECT_EQ(store.stats().messages.ham, 1u);
    EXPECT_EQ(store.forget(Category::Ham, {one}), std::vector<bool>{true});
    const StoreStats empty = store.stats();
    EXPECT_EQ(empty.messages.ham, 0u);
    EXPECT_EQ(empty.tokens, 0u);  // tokens no message holds are gone
}

TEST(BayesSnapshot, FindsEveryKeyOfTheTableAndNoOther) {
    std::vector<TokenSnapshot::Row> rows;
    for (int64_t i = -3000; i < 3000; ++i)
        rows.push_back({i * 3074457345618258ll, {uint32_t(i + 3000), 1}});
    const TokenSnapshot snapshot(7, rows);
    for (const TokenSnapshot::Row& row : rows)
        EXPECT_EQ(snapshot.find(row.key).spam, row.counts.spam);
    for (int64_t key : {int64_t(1), int64_t(-1), INT64_MIN, INT64_MAX})
        EXPECT_EQ(snapshot.find(key).ham, 0u) << key;
    EXPECT_EQ(TokenSnapshot(1, {}).find(0).ham, 0u);
}

// Two kzmta at once, as two mail servers learn, into one SQLite file and into one Redis.
TEST_F(BayesStore, TwoProcessesLearningAtOnceLoseNoCount) {
    // Each learns 450 messages of its own and 100 that the other learns as well in the
    // other class, every one holding the word "shared": the first batch of each holds the
    // common ones, and each has two batches in the store at once.
    constexpr int kOwn = 450, kCommon = 100;
    std::vector<std::string> lists[2];
    auto message = [&](const std::string& name) {
        test::writeFile(dir.file(name),
                        "Subject: note " + name + "\r\n\r\nshared word" + name + "\r\n");
        return dir.file(name);
    };
    for (int i = 0; i < kCommon; ++i) {
        const std::string common = message("c" + std::to_string(i));
        lists[0].push_back(common);
        lists[1].push_back(common);
    }
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < kOwn; ++i)
            lists[p].push_back(message("m" + std::to_string(p) + "x" + std::to_string(i)));

    test::RedisServer redis;
    ASSERT_TRUE(redis.start()) << redis.log();
    for (const std::string& store : {std::string(), redis.unixUrl()}) {
        std::string registry =
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
            "\"Application Directory\"=\"" +
            dir.path() + "\"\r\n";
        // Without "Database" its default, beside the registry file, is used.
        if (!store.empty())
            registry +=
                "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
                "Filters\\MTAFILTER\\Bayesian]\r\n\"Database\"=\"" +
                store + "\"\r\n";
        test::writeFile(dir.file("registry.reg"), registry);
        std::vector<std::unique_ptr<test::Child>> learners;
        for (int p = 0; p < 2; ++p) {
            std::vector<std::string> argv = {test::binPath("kzmta"),
                                             "bayes",
                                             "--registry",
                                             dir.file("registry.reg"),
                                             "--library",
                                             test::libPath("KZFLTMBF.so"),
                                             "learn",
                                             p ? "--ham" : "--spam"};
            argv.insert(argv.end(), lists[p].begin(), lists[p].end());
            learners.push_back(std::make_unique<test::Child>(argv));
        }
        for (auto& learner : learners) {
            // A common message the other learned first moves: learned all the same.
            EXPECT_TRUE(learner->waitForLine("Learned 550 of 550", 120)) << learner->output();
            EXPECT_EQ(learner->wait(), 0);
        }
        StoreSettings settings;
        settings.database = store.empty() ? database : store;
        const auto opened = OpenTokenStore(settings);
        std::vector<TokenCounts> counts;
        const LearnedTotals totals = opened->counts({"shared"}, counts);
        EXPECT_EQ(totals.spam + totals.ham, uint32_t(2 * kOwn + kCommon)) << store;
        EXPECT_GE(totals.spam, uint32_t(kOwn));
        EXPECT_GE(totals.ham, uint32_t(kOwn));
        EXPECT_EQ(counts[0], (TokenCounts{totals.spam, totals.ham})) << store;
    }
}

}  // namespace
}  // namespace kz::bayes
