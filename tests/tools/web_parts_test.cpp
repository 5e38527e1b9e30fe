// The console server's own parts: what it reads from requests, the password hash, sessions,
// the login throttle and the report-log search.

#include <gtest/gtest.h>

#include <chrono>

#include "login_throttle.h"
#include "password_hash.h"
#include "report_search.h"
#include "request.h"
#include "sessions.h"
#include "support/test_support.h"

namespace kz::tool::web {
namespace {

using namespace std::chrono_literals;

TEST(WebRequest, LoginBodyIsAnObjectWithAStringPassword) {
    EXPECT_EQ(LoginPassword(R"({"password":"s3cret \u00e9"})"), "s3cret \xc3\xa9");
    EXPECT_EQ(LoginPassword(R"({"password":""})"), "");
    for (const char* refused :
         {"", "password=x", "[\"x\"]", "{\"password\":42}", "{\"password\":null}",
          "{\"user\":\"x\"}", "{\"password\":\"x\"", "\"password\""})
        EXPECT_FALSE(LoginPassword(refused)) << refused;
    std::string large = "{\"password\":\"" + std::string(kMaxLoginBody, 'x') + "\"}";
    EXPECT_FALSE(LoginPassword(large));
}

TEST(WebRequest, CookieIsFoundByItsWholeName) {
    EXPECT_EQ(CookieValue("kzsession=abc", "kzsession"), "abc");
    EXPECT_EQ(CookieValue("xkzsession=evil; kzsession=abc; other=1", "kzsession"), "abc");
    EXPECT_EQ(CookieValue("kzsessionx=evil", "kzsession"), "");
    EXPECT_EQ(CookieValue("", "kzsession"), "");
    EXPECT_EQ(CookieValue(";;=;kzsession", "kzsession"), "");
}

TEST(WebRequest, DaysAreRealDates) {
    EXPECT_EQ(ParseDay("2026-12-07"), 20261207);
    EXPECT_EQ(ParseDay("2024-02-29"), 20240229);
    for (const char* refused :
         {"2026-02-29", "1900-02-29", "2026-13-01", "2026-00-10", "2026-04-31", "2026-1-01",
          "26-01-01", "2026/01/01", "+026-01-01", "2026-01-01 ", "1969-12-31"})
        EXPECT_FALSE(ParseDay(refused)) << refused;
}

TEST(WebRequest, LogQueryRefusesWhatItDoesNotKnow) {
    std::string why;
    auto query = ParseLogQuery({{"sender", "bulk"}, {"since", "2026-11-30"}, {"page", "2"}}, &why);
    ASSERT_TRUE(query) << why;
    EXPECT_EQ(query->sender, "bulk");
    EXPECT_EQ(query->since, 20261130);
    EXPECT_EQ(query->page, 2u);
    EXPECT_FALSE(ParseLogQuery({{"sendr", "x"}}, &why));
    EXPECT_NE(why.find("sendr"), std::string::npos);
    for (const char* page : {"-1", "1001", "0x10", "", "99999999999"})
        EXPECT_FALSE(ParseLogQuery({{"page", page}}, &why)) << page;
    EXPECT_FALSE(ParseLogQuery({{"subject", std::string(kMaxSearchText + 1, 'a')}}, &why));
    EXPECT_FALSE(ParseStatsRange({{"since", "yesterday"}}, &why));
    EXPECT_FALSE(ParseStatsRange({{"page", "1"}}, &why));
    EXPECT_FALSE(ParseStatsRange({{"period", "week"}}, &why));
    EXPECT_TRUE(ParseStatsRange({{"period", "hour"}}, &why)->hourly);
}

TEST(WebPassword, HashVerifiesOnlyItsPassword) {
    auto hash = HashPassword("correct horse", 1000);
    ASSERT_TRUE(hash);
    EXPECT_TRUE(hash->starts_with("pbkdf2-sha256$1000$"));
    EXPECT_TRUE(VerifyPassword("correct horse", *hash));
    EXPECT_FALSE(VerifyPassword("correct horsf", *hash));
    EXPECT_FALSE(VerifyPassword("", *hash));
    // Two hashes of one password differ by their salt.
    EXPECT_NE(*hash, *HashPassword("correct horse", 1000));
}

// The hash the Windows test verifies through the system's PBKDF2: OpenSSL's verdict here.
TEST(WebPassword, TheStoredFixtureHashVerifiesItsPassword) {
    const std::string text = test::readFile(test::fixture("tools/web/linux_password.txt"));
    const std::size_t end = text.find('\n');
    const std::string password = text.substr(0, end);
    const std::string hash = text.substr(end + 1, text.find('\n', end + 1) - end - 1);
    EXPECT_TRUE(VerifyPassword(password, hash));
    EXPECT_FALSE(VerifyPassword(password + " ", hash));
}

TEST(WebPassword, DamagedStoredHashesVerifyNothing) {
    const std::string hash = *HashPassword("pw", 1000);
    const std::string tail = hash.substr(hash.find('$', hash.find('$') + 1));  // "$SALT$HASH"
    for (const std::string& stored : std::vector<std::string>{
             std::string(), "pw", "pbkdf2-sha1" + hash.substr(13), "pbkdf2-sha256$0" + tail,
             "pbkdf2-sha256$99999999999" + tail, "pbkdf2-sha256$-1000" + tail, hash + "$extra",
             hash.substr(0, hash.size() - 2), hash.substr(0, hash.size() - 1) + "g"})
        EXPECT_FALSE(VerifyPassword("pw", stored)) << stored;
}

TEST(WebPassword, KeptInTheRegistryFile) {
    test::TempDir dir;
    const std::string registry = dir.file("registry.reg");
    EXPECT_FALSE(StoredPasswordHash(registry));
    std::string why;
    ASSERT_TRUE(StorePasswordHash(registry, "pbkdf2-sha256$1$00$00", &why)) << why;
    EXPECT_EQ(StoredPasswordHash(registry), "pbkdf2-sha256$1$00$00");
    EXPECT_NE(test::readFile(registry).find("Web Console Password"), std::string::npos);
}

TEST(WebSessions, EndWhenIdleOrOldAndStayBounded) {
    SessionStore store;
    const Clock::time_point t0{};
    auto session = store.create(t0);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->id.size(), 64u);
    EXPECT_NE(session->id, session->csrf);
    // Used every 20 minutes, it lives until its eighth hour.
    Clock::time_point now = t0;
    while (now + 20min < t0 + SessionStore::kLifeLimit) {
        now += 20min;
        ASSERT_TRUE(store.find(session->id, now));
    }
    EXPECT_FALSE(store.find(session->id, t0 + SessionStore::kLifeLimit));
    auto idle = store.create(t0);
    EXPECT_FALSE(store.find(idle->id, t0 + SessionStore::kIdleLimit));
    // The 65th session pushes out the least recently used one.
    std::vector<Session> all;
    for (std::size_t i = 0; i < SessionStore::kMaxSessions; ++i)
        all.push_back(*store.create(t0 + 1s * i));
    ASSERT_TRUE(store.find(all[0].id, t0 + 100s));  // used now: the newest
    store.create(t0 + 101s);
    EXPECT_TRUE(store.find(all[0].id, t0 + 102s));
    EXPECT_FALSE(store.find(all[1].id, t0 + 102s));
    store.remove(all[2].id);
    EXPECT_FALSE(store.find(all[2].id, t0 + 102s));
}

TEST(WebSessions, TokensCompareWhole) {
    EXPECT_TRUE(SameToken("abc", "abc"));
    EXPECT_FALSE(SameToken("abd", "abc"));
    EXPECT_FALSE(SameToken("ab", "abc"));
    EXPECT_FALSE(SameToken("", ""));  // no token is never the right one
}

TEST(WebLoginThrottle, FailuresMakeAnAddressWaitLongerAndLonger) {
    LoginThrottle throttle;
    const Clock::time_point t0{};
    for (unsigned i = 1; i < LoginThrottle::kFreeFailures; ++i) throttle.failed("a", t0);
    EXPECT_FALSE(throttle.waitFor("a", t0));
    throttle.failed("a", t0);
    EXPECT_EQ(throttle.waitFor("a", t0), 4s);
    EXPECT_EQ(throttle.waitFor("a", t0 + 3500ms), 1s);  // rounded up
    EXPECT_FALSE(throttle.waitFor("a", t0 + 4s));
    EXPECT_FALSE(throttle.waitFor("b", t0));  // another address is not held back
    throttle.failed("a", t0 + 4s);
    EXPECT_EQ(throttle.waitFor("a", t0 + 4s), 8s);
    for (int i = 0; i < 40; ++i) throttle.failed("a", t0 + 12s);
    EXPECT_EQ(throttle.waitFor("a", t0 + 12s), LoginThrottle::kLongestWait);
    // A quiet spell starts the count again; so does a success.
    throttle.failed("a", t0 + 2h);
    EXPECT_FALSE(throttle.waitFor("a", t0 + 2h));
    throttle.succeeded("a");
    EXPECT_FALSE(throttle.waitFor("a", t0 + 2h));
}

TEST(WebLoginThrottle, ManyAddressesAreSlowedDownTogether) {
    LoginThrottle throttle;
    const Clock::time_point t0{};
    for (unsigned i = 0; i < LoginThrottle::kFreeFailuresAll; ++i)
        throttle.failed("10.0.0." + std::to_string(i), t0);
    EXPECT_TRUE(throttle.waitFor("10.0.1.1", t0));
}

class WebReportSearch : public ::testing::Test {
  protected:
    std::string logs = test::fixture("tools/web/logs");
    std::vector<std::string> subjects(const ReportPage& page) {
        std::vector<std::string> out;
        for (const ReportLine& line : page.lines) out.push_back(line.subject);
        return out;
    }
};

TEST_F(WebReportSearch, PagesRunNewestFirstAcrossFiles) {
    LogQuery query;
    ReportPage first = SearchReportLog(logs, query, 10);
    ASSERT_EQ(first.lines.size(), 10u);
    EXPECT_EQ(first.lines[0].action, "AUDIT:");
    EXPECT_EQ(first.lines[1].subject, "Left\tRight");  // the last column keeps its tab
    EXPECT_EQ(first.lines[2].subject, "Invoice 60");
    EXPECT_TRUE(first.more);
    // 62 lines in all: page 6 holds the oldest two, and nothing follows.
    query.page = 6;
    ReportPage last = SearchReportLog(logs, query, 10);
    EXPECT_EQ(subjects(last), (std::vector<std::string>{"Offer 2", "Offer 1"}));
    EXPECT_FALSE(last.more);
    // A page that ends exactly at a file's end still knows about the next file.
    query.page = 0;
    query.since = 20261201;
    EXPECT_FALSE(SearchReportLog(logs, query, 32).more);
    query.since.reset();
    EXPECT_TRUE(SearchReportLog(logs, query, 32).more);
}

TEST_F(WebReportSearch, FieldsAndDaysNarrowTheSearch) {
    LogQuery query;
    query.sender = "BULK2";  // any case
    EXPECT_EQ(subjects(SearchReportLog(logs, query)),
              (std::vector<std::string>{"Offer 29", "Offer 28", "Offer 27", "Offer 26", "Offer 25",
                                        "Offer 24", "Offer 23", "Offer 22", "Offer 21", "Offer 20",
                                        "Offer 2"}));
    query = {};
    query.filter = "programs";
    query.until = 20261201;
    query.since = 20261201;
    EXPECT_EQ(SearchReportLog(logs, query).lines.size(), 15u);
    query.until = 20261130;
    EXPECT_TRUE(SearchReportLog(logs, query).lines.empty());
    EXPECT_TRUE(SearchReportLog("", LogQuery{}).lines.empty());
}

TEST_F(WebReportSearch, OverlongAndForeignLinesAreSkipped) {
    test::TempDir dir;
    test::copyFixture("tools/web/logs", dir.path());
    const std::string path = dir.file("MTAFILTER-Report-261202.log");
    test::writeFile(path, "12/02/26 01:00:00\tExecuted\t" + std::string(70000, 'A') +
                              "\n12/02/26 02:00:00\tExecuted\tM\tSMTP\tF\tR\t\tS\tIP\tD\tAfter\n" +
                              "12/02/26 03:00:00\tnot a report line\n");
    ReportPage page = SearchReportLog(dir.path(), LogQuery{}, 1);
    EXPECT_EQ(subjects(page), std::vector<std::string>{"After"});
    EXPECT_FALSE(ReportFileDay("MTAFILTER-Report-2612.log"));
    EXPECT_FALSE(ReportFileDay("MTAFILTER-Report-26120x.log"));
    EXPECT_EQ(ReportFileDay("mtafilter-report-261202.LOG"), 20261202);
}

}  // namespace
}  // namespace kz::tool::web
