// The token store on a Redis server the test starts, beside the SQLite store: the same
// learning gives the same scores, copies between them are checked, expiry bounds both,
// and a server that is down or hangs costs at most the timeout.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/format.h"
#include "message_tokens.h"
#include "redis_address.h"
#include "sqlite_store.h"
#include "store_copy.h"
#include "store_settings.h"
#include "support/redis_server.h"
#include "support/test_support.h"

namespace kz::bayes {
namespace {

using test::fixture;
using test::readFile;

TEST(BayesRedisAddress, RedisUrlsAreReadStrictlyAndAnythingElseIsAFile) {
    const auto tcp = ParseRedisAddress("redis://cache.example.net:6380/3");
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->host, "cache.example.net");
    EXPECT_EQ(tcp->port, 6380);
    EXPECT_EQ(tcp->database, 3u);
    const auto bare = ParseRedisAddress("REDIS://10.0.0.5");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->port, 6379);
    EXPECT_EQ(bare->database, 0u);
    const auto v6 = ParseRedisAddress("redis://[::1]:7000/");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->describe(), "Redis [::1]:7000 database 0");
    const auto unix = ParseRedisAddress("redis+unix:///run/redis/redis.sock?db=2");
    ASSERT_TRUE(unix);
    EXPECT_EQ(unix->socketPath, "/run/redis/redis.sock");
    EXPECT_EQ(unix->database, 2u);

    for (const char* file : {"/var/lib/kzmta/Bayes.db", "C:\\Data\\Bayes.db", "redis.db", ""})
        EXPECT_FALSE(ParseRedisAddress(file)) << file;
    for (const char* bad :
         {"redis://", "redis://host:", "redis://host:0", "redis://host:65536",
          "redis://host:6379/x", "redis://host:-1", "redis://user:pw@host", "redis://[::1",
          "redis://[::1]x", "redis+unix://relative.sock", "redis+unix:///s.sock?database=1",
          "redis+unix:///s.sock?db=", "rediss://host"})
        EXPECT_THROW(ParseRedisAddress(bad), StoreError) << bad;
}

std::vector<std::string> samples() {
    std::vector<std::string> files = {fixture("bayes/spam.eml"), fixture("bayes/ham.eml"),
                                      fixture("bayes/tokens.eml")};
    for (const char* category : {"spam", "ham"})
        for (int i = 1; i <= 4; ++i)
            files.push_back(
                fixture(std::string("bayes/train/") + category + "/" + std::to_string(i) + ".eml"));
    return files;
}

Lesson lesson(const std::string& file) {
    const std::string text = readFile(file);
    return {MessageTokens(text), MessageDigest(text)};
}

// The reply a message would get: its score as the library formats it, or none.
std::string scoreOf(TokenStore& store, const std::string& file) {
    std::vector<TokenCounts> counts;
    const LearnedTotals totals = store.counts(MessageTokens(readFile(file)), counts);
    if (totals.spam == 0 || totals.ham == 0) return "none";
    return formatText("%.2f", SpamProbability(counts, totals) * 100.0);
}

std::vector<std::pair<int64_t, std::pair<uint32_t, uint32_t>>> rowsOf(TokenStore& store) {
    std::vector<std::pair<int64_t, std::pair<uint32_t, uint32_t>>> all;
    store.readTokens([&](const std::vector<TokenRow>& rows) {
        for (const TokenRow& row : rows)
            all.push_back({row.key, {row.counts.spam, row.counts.ham}});
    });
    std::sort(all.begin(), all.end());
    return all;
}

class BayesRedis : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(redis.start()) << redis.log(); }

    std::unique_ptr<TokenStore> open(const std::string& database, uint64_t maxTokens = 0) {
        StoreSettings settings;
        settings.database = database;
        settings.maxTokens = maxTokens;
        settings.timeout = std::chrono::milliseconds(500);
        return OpenTokenStore(settings);
    }

    test::RedisServer redis;
    test::TempDir dir;
};

TEST_F(BayesRedis, TheSameLearningScoresByteForByteTheSameOnBothStores) {
    auto sqlite = open(dir.file("Bayes.db"));
    auto shared = open(redis.tcpUrl(1));
    auto onBoth = [&](auto step) {
        const auto a = step(*sqlite);
        const auto b = step(*shared);
        EXPECT_EQ(a, b);
    };
    auto files = [](const char* category) {
        std::vector<Lesson> lessons;
        for (int i = 1; i <= 4; ++i)
            lessons.push_back(lesson(fixture(std::string("bayes/train/") + category + "/" +
                                             std::to_string(i) + ".eml")));
        return lessons;
    };
    const std::vector<Lesson> spam = files("spam"), ham = files("ham");
    // Nothing learned: no score on either.
    for (const std::string& file : samples())
        onBoth([&](TokenStore& store) { return scoreOf(store, file); });
    // A batch that holds a message twice; one learned again; one moved; one forgotten
    // where it was not learned, then where it was.
    onBoth([&](TokenStore& s) { return s.learn(Category::Spam, {spam[0], spam[1], spam[0]}); });
    onBoth([&](TokenStore& s) { return s.learn(Category::Spam, {spam[1], spam[2], spam[3]}); });
    onBoth([&](TokenStore& s) { return s.learn(Category::Ham, ham); });
    onBoth([&](TokenStore& s) { return s.learn(Category::Ham, {spam[3]}); });
    onBoth([&](TokenStore& s) { return s.forget(Category::Spam, {ham[0], spam[2]}); });
    onBoth([&](TokenStore& s) { return s.forget(Category::Spam, {spam[2]}); });
    for (const std::string& file : samples())
        onBoth([&](TokenStore& store) { return scoreOf(store, file); });
    onBoth([](TokenStore& store) { return rowsOf(store); });
    onBoth([](TokenStore& store) { return Summarize(store); });
    EXPECT_NE(scoreOf(*shared, fixture("bayes/spam.eml")), "none");
    // A message of no tokens is read like any other.
    std::vector<TokenCounts> none;
    EXPECT_EQ(shared->counts({}, none).ham, 5u);
}

// Two nodes each work their batches out from what they last knew; the store checks every
// message of a batch as it applies it, so a message another node taught meanwhile counts
// once, moves or is forgotten exactly as on one SQLite file taught in the same order.
TEST_F(BayesRedis, OverlappingBatchesOfTwoNodesCountEachMessageOnce) {
    auto first = open(redis.unixUrl()), second = open(redis.unixUrl());
    auto sqlite = open(dir.file("Bayes.db"));
    std::vector<Lesson> l;
    for (const std::string& file : samples()) l.push_back(lesson(file));
    auto both = [&](TokenStore& node, bool learn, Category category,
                    const std::vector<Lesson>& batch) {
        const auto expected =
            learn ? sqlite->learn(category, batch) : sqlite->forget(category, batch);
        EXPECT_EQ(learn ? node.learn(category, batch) : node.forget(category, batch), expected);
    };
    both(*first, true, Category::Spam, {l[0], l[1], l[2]});
    both(*second, true, Category::Spam, {l[2], l[3], l[1]});  // two known already
    both(*second, true, Category::Ham, {l[0], l[4], l[0]});   // one moves, once
    both(*first, false, Category::Spam, {l[0], l[3], l[5]});  // learned as ham, as spam, never
    both(*first, true, Category::Ham, {l[5], l[6], l[3]});
    EXPECT_EQ(rowsOf(*first), rowsOf(*sqlite));
    EXPECT_EQ(Summarize(*second), Summarize(*sqlite));
}

TEST_F(BayesRedis, CopiesBetweenStoresAreCheckedAndNeedAnEmptyTarget) {
    auto sqlite = open(dir.file("Bayes.db"));
    std::vector<Lesson> lessons;
    for (const std::string& file : samples()) lessons.push_back(lesson(file));
    sqlite->learn(Category::Spam, {lessons.begin(), lessons.begin() + 5});
    sqlite->learn(Category::Ham, {lessons.begin() + 5, lessons.end()});

    auto shared = open(redis.unixUrl(2));
    const StoreSummary copied = CopyStore(*sqlite, *shared);
    EXPECT_EQ(copied, Summarize(*sqlite));
    EXPECT_EQ(copied.messages, lessons.size());
    EXPECT_THROW(CopyStore(*sqlite, *shared), StoreError);  // not empty

    auto back = open(dir.file("Back.db"));
    CopyStore(*shared, *back);
    EXPECT_EQ(rowsOf(*back), rowsOf(*sqlite));
    for (const std::string& file : samples())
        EXPECT_EQ(scoreOf(*back, file), scoreOf(*sqlite, file));
    // The learn-once rule came along: every message is known.
    EXPECT_EQ(shared->learn(Category::Ham, {lessons.back()}), std::vector<bool>{false});

    shared->clear();
    EXPECT_EQ(Summarize(*shared), StoreSummary{});
    EXPECT_EQ(scoreOf(*shared, fixture("bayes/spam.eml")), "none");
}

TEST_F(BayesRedis, ExpiryKeepsBothStoresUnderMaxTokensDroppingTheLeastRecentlyLearned) {
    constexpr uint64_t kMax = 40;
    auto sqlite = open(dir.file("Bayes.db"), kMax);
    auto shared = open(redis.unixUrl(), kMax);
    // Ten messages of ten words of their own and one they share, one after another.
    for (int m = 0; m < 10; ++m) {
        Lesson lesson{{"common"}, MessageDigest("message " + std::to_string(m))};
        for (int w = 0; w < 10; ++w)
            lesson.tokens.push_back("w" + std::to_string(m) + "x" + std::to_string(w));
        for (TokenStore* store : {sqlite.get(), shared.get()}) {
            store->learn(m % 2 ? Category::Ham : Category::Spam, {lesson});
            EXPECT_LE(store->stats().tokens, kMax);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    EXPECT_EQ(rowsOf(*sqlite), rowsOf(*shared));
    for (TokenStore* store : {sqlite.get(), shared.get()}) {
        std::vector<TokenCounts> counts;
        store->counts({"w9x0", "w9x9", "common", "w0x0", "w5x9"}, counts);
        EXPECT_EQ(counts[0].ham, 1u);
        EXPECT_EQ(counts[1].ham, 1u);
        EXPECT_EQ(counts[2].spam + counts[2].ham, 10u);  // learned with every message
        EXPECT_EQ(counts[3].spam, 0u);                   // the oldest went first
        EXPECT_EQ(counts[4].ham, 0u);
    }
}

TEST_F(BayesRedis, AServerDownHangingOrRefusingCostsAtMostTheTimeout) {
    auto elapsed = [](const std::function<void()>& call) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THROW(call(), StoreUnavailable);
        return std::chrono::steady_clock::now() - start;
    };
    test::SilentListener hanging;
    // Connected, but no reply comes.
    EXPECT_LT(
        elapsed([&] {
            std::vector<TokenCounts> counts;
            open("redis://127.0.0.1:" + std::to_string(hanging.port()))->counts({"word"}, counts);
        }),
        std::chrono::seconds(2));
    EXPECT_LT(
        elapsed([&] { open("redis://127.0.0.1:" + std::to_string(test::FreeLoopbackPort())); }),
        std::chrono::seconds(2));

    // A server that asks for a password refuses a wrong one, and the store says so.
    test::RedisServer locked;
    locked.password = "s3cret";
    ASSERT_TRUE(locked.start()) << locked.log();
    StoreSettings settings;
    settings.database = locked.unixUrl();
    settings.password = "wrong";
    EXPECT_THROW(OpenTokenStore(settings), StoreUnavailable);
    settings.password = locked.password;
    EXPECT_EQ(OpenTokenStore(settings)->stats().tokens, 0u);

    // A store whose server went away is not kept; a new one works once it is back.
    auto store = open(redis.unixUrl());
    store->learn(Category::Spam, {lesson(fixture("bayes/spam.eml"))});
    redis.stop();
    EXPECT_THROW(store->stats(), StoreUnavailable);
    EXPECT_FALSE(store->reusable());
    ASSERT_TRUE(redis.start()) << redis.log();
    EXPECT_EQ(open(redis.unixUrl())->stats().messages.spam, 1u);
}

// kzmta bayes backup, clear, restore and migrate on the store the registry names.
TEST_F(BayesRedis, BackupClearRestoreGiveTheSameScoresAndMigrateCopiesBothWays) {
    test::writeFile(dir.file("registry.reg"),
                    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
                    "Filters\\MTAFILTER\\Bayesian]\r\n\"Database\"=\"" +
                        redis.tcpUrl(4) + "\"\r\n");
    auto kzmta = [&](std::vector<std::string> args) {
        args.insert(args.begin(),
                    {test::binPath("kzmta"), "bayes", "--registry", dir.file("registry.reg")});
        return test::run(args);
    };
    auto store = open(redis.tcpUrl(4));
    std::vector<Lesson> lessons;
    for (const std::string& file : samples()) lessons.push_back(lesson(file));
    store->learn(Category::Spam, {lessons.begin(), lessons.begin() + 6});
    store->learn(Category::Ham, {lessons.begin() + 6, lessons.end()});
    std::vector<std::string> before;
    for (const std::string& file : samples()) before.push_back(scoreOf(*store, file));

    const std::string backup = dir.file("backup.db");
    test::RunOutput out = kzmta({"backup", backup});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("learned messages (6 spam, 5 ham)"), std::string::npos) << out.out;
    // Clearing what every server learned is confirmed on a terminal, never assumed.
    out = kzmta({"clear"});
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.err.find("needs --yes when standard input is not a terminal"), std::string::npos)
        << out.err;
    auto onTerminal = [&](const std::string& typed) {
        std::string command = "'" + test::binPath("kzmta") + "' bayes --registry '" +
                              dir.file("registry.reg") + "' clear";
        return test::run({"script", "-qec", command, "/dev/null"}, {}, typed + "\n");
    };
    out = onTerminal("y");
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.out.find("Nothing was cleared"), std::string::npos) << out.out;
    EXPECT_EQ(scoreOf(*store, samples()[0]), before[0]);
    out = onTerminal(redis.tcpUrl(4));
    EXPECT_EQ(out.status, 0) << out.out;
    EXPECT_NE(out.out.find("Type yes or the store's name"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("6 spam and 5 ham messages, "), std::string::npos) << out.out;
    EXPECT_EQ(scoreOf(*store, fixture("bayes/spam.eml")), "none");
    EXPECT_EQ(kzmta({"clear", "--yes"}).status, 0);
    out = kzmta({"restore", backup});
    EXPECT_EQ(out.status, 0) << out.err;
    for (std::size_t i = 0; i < samples().size(); ++i)
        EXPECT_EQ(scoreOf(*store, samples()[i]), before[i]) << samples()[i];

    // Into an empty store and back; never into one that holds learning.
    out = kzmta({"migrate", "--from", backup, "--to", redis.unixUrl(5)});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(rowsOf(*open(redis.unixUrl(5))), rowsOf(*store));
    out = kzmta({"migrate", "--from", redis.unixUrl(5), "--to", dir.file("again.db")});
    EXPECT_EQ(out.status, 0) << out.err;
    out = kzmta({"migrate", "--from", backup, "--to", redis.unixUrl(5)});
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.err.find("already holds learned messages"), std::string::npos) << out.err;
    out = kzmta({"restore", dir.file("missing.db")});
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.err.find("no such file"), std::string::npos) << out.err;
    EXPECT_FALSE(test::exists(dir.file("missing.db")));
    EXPECT_EQ(kzmta({"migrate", "--from", backup}).status, 2);
}

}  // namespace
}  // namespace kz::bayes
