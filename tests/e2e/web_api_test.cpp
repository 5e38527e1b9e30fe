// kzmta web as a script or a browser meets it over HTTP: the gate in front of the API
// (sessions, CSRF tokens, the login throttle), the headers of every answer, TLS, and
// kzmta web passwd.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>

#include "support/dnsmasq_server.h"
#include "support/redis_server.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

constexpr const char* kPassword = "a long console password";

class ConsoleServer {
  public:
    explicit ConsoleServer(const std::string& registry, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{binPath("kzmta"), "web",      "--registry",
                                      registry,         "--listen", "127.0.0.1:0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        child_ = std::make_unique<Child>(argv);
        const std::string marker = "Serving the console on ";
        if (!child_->waitForLine(marker, 60)) throw std::runtime_error(child_->output());
        const std::string& out = child_->output();
        port_ = std::stoi(out.substr(out.rfind(':', out.find('\n', out.find(marker))) + 1));
    }
    ~ConsoleServer() {
        child_->signal(SIGTERM);
        child_->wait();
    }
    int port() const { return port_; }

  private:
    std::unique_ptr<Child> child_;
    int port_ = 0;
};

class WebApi : public ::testing::Test {
  protected:
    void SetUp() override {
        registry = dir.file("registry.reg");
        copyFixture("tools/web/logs", dir.file("logs"));
        writeFile(
            registry,
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\"
            "MTAFILTER]\n\"Activity Log Directory\"=\"" +
                dir.file("logs") + "\"\n");
        RunOutput set = run({binPath("kzmta"), "web", "passwd", "--registry", registry}, {},
                            std::string(kPassword) + "\n");
        ASSERT_EQ(set.status, 0) << set.err;
    }
    httplib::Client client(int port) {
        httplib::Client c("127.0.0.1", port);
        c.set_connection_timeout(10);
        c.set_read_timeout(30);
        return c;
    }
    static httplib::Result login(httplib::Client& c, const std::string& password) {
        return c.Post("/api/login", nlohmann::json{{"password", password}}.dump(),
                      "application/json");
    }

    TempDir dir;
    std::string registry;
};

// The session cookie's "name=value" part of a Set-Cookie header.
std::string cookiePair(const std::string& setCookie) {
    return setCookie.substr(0, setCookie.find(';'));
}

TEST_F(WebApi, EveryApiPathButLoginWantsASession) {
    ConsoleServer server(registry);
    auto c = client(server.port());
    for (const char* path : {"/api/quarantine", "/api/stats", "/api/health", "/api/log",
                             "/api/filters", "/api/session", "/api/quarantine/ABC.MAI"}) {
        auto res = c.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 401) << path;
    }
    for (const char* path :
         {"/api/quarantine/ABC.MAI/release", "/api/quarantine/ABC.MAI/delete", "/api/logout"}) {
        auto res = c.Post(path, "", "application/json");
        EXPECT_EQ(res->status, 401) << path;
    }
    // A forged cookie is no session.
    auto res = c.Get("/api/health", {{"Cookie", "kzsession=" + std::string(64, '0')}});
    EXPECT_EQ(res->status, 401);
}

TEST_F(WebApi, PagesCarryAStrictPolicyAndTheChartLibrary) {
    ConsoleServer server(registry);
    auto c = client(server.port());
    auto page = c.Get("/");
    ASSERT_EQ(page->status, 200);
    const std::string policy = page->get_header_value("Content-Security-Policy");
    EXPECT_NE(policy.find("script-src 'self'"), std::string::npos);
    EXPECT_NE(policy.find("default-src 'none'"), std::string::npos);
    EXPECT_EQ(policy.find("unsafe"), std::string::npos);
    EXPECT_EQ(page->get_header_value("X-Frame-Options"), "DENY");
    EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
    auto chart = c.Get("/assets/chart.umd.js");
    ASSERT_EQ(chart->status, 200);
    EXPECT_NE(chart->body.find("Chart"), std::string::npos);
    EXPECT_EQ(chart->get_header_value("Content-Type").rfind("text/javascript", 0), 0u);
    EXPECT_EQ(c.Get("/assets/missing.js")->status, 404);
    EXPECT_EQ(c.Get("/assets/../index.html")->status, 404);
}

TEST_F(WebApi, LoginGivesASessionWhosePostsNeedItsToken) {
    ConsoleServer server(registry);
    auto c = client(server.port());
    auto wrong = login(c, "not the password");
    EXPECT_EQ(wrong->status, 401);
    EXPECT_FALSE(wrong->has_header("Set-Cookie"));
    EXPECT_EQ(c.Post("/api/login", "password=x", "application/x-www-form-urlencoded")->status, 400);

    auto right = login(c, kPassword);
    ASSERT_EQ(right->status, 200);
    const std::string setCookie = right->get_header_value("Set-Cookie");
    EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos);
    EXPECT_EQ(setCookie.find("Secure"), std::string::npos);  // plain HTTP
    const std::string csrf = nlohmann::json::parse(right->body)["csrf"];
    ASSERT_EQ(csrf.size(), 64u);
    const httplib::Headers session{{"Cookie", cookiePair(setCookie)}};

    auto found = c.Get("/api/log?sender=bulk1&page=0", session);
    ASSERT_EQ(found->status, 200);
    auto lines = nlohmann::json::parse(found->body)["lines"];
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0]["subject"], "Offer 19");
    EXPECT_EQ(c.Get("/api/log?page=x", session)->status, 400);
    EXPECT_EQ(nlohmann::json::parse(c.Get("/api/session", session)->body)["csrf"], csrf);

    const std::string release = "/api/quarantine/ABC.MAI/release";
    EXPECT_EQ(c.Post(release, session, "", "application/json")->status, 403);
    httplib::Headers forged = session;
    forged.emplace("X-CSRF-Token", std::string(64, 'a'));
    EXPECT_EQ(c.Post(release, forged, "", "application/json")->status, 403);
    httplib::Headers withToken = session;
    withToken.emplace("X-CSRF-Token", csrf);
    EXPECT_NE(c.Post(release, withToken, "", "application/json")->status, 403);
    // IDs are checked as on the command line before anything is looked up.
    EXPECT_EQ(
        c.Post("/api/quarantine/.hidden.MAI/delete", withToken, "", "application/json")->status,
        400);
    EXPECT_EQ(c.Get("/api/quarantine/..", session)->status, 400);

    // After logout the cookie opens nothing.
    EXPECT_EQ(c.Post("/api/logout", withToken, "", "application/json")->status, 200);
    EXPECT_EQ(c.Get("/api/health", session)->status, 401);
}

TEST_F(WebApi, RepeatedFailuresMakeEvenTheRightPasswordWait) {
    ConsoleServer server(registry);
    auto c = client(server.port());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(login(c, "guess " + std::to_string(i))->status, 401);
    auto res = login(c, kPassword);
    EXPECT_EQ(res->status, 429);
    const int retryAfter = std::atoi(res->get_header_value("Retry-After").c_str());
    EXPECT_GE(retryAfter, 1);
    EXPECT_LE(retryAfter, 4);
}

// Each enabled provider's server is asked, each within its bound; a disabled one is not.
TEST_F(WebApi, HealthAsksTheServersOfEveryEnabledProvider) {
    RedisServer redis;
    ASSERT_TRUE(redis.start());
    DnsmasqServer dns(fixture("dns/blacklist.hosts"), {"--local=/invalid/"});
    SilentServer silent;
    const std::string spamd = "127.0.0.1:" + std::to_string(FreeLoopbackPort());  // nobody there
    const std::string agent =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";
    writeFile(registry,
              readFile(registry) + "\n" + agent +
                  "]\n\"Bayesian Filtering Status\"=dword:00000001\n"
                  "\"SpamAssassin Enabled\"=dword:00000001\n"
                  "\"Perform SBLRBL\"=dword:00000001\n\n" +
                  agent +
                  "\\Bayesian]\n\"Database\"=\"redis://127.0.0.1:" + std::to_string(redis.port) +
                  "/1\"\n\n" + agent + "\\SpamAssassin]\n\"Server\"=\"" + spamd +
                  "\"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP]\n"
                  "\"Local DNS Server List\"=\"" +
                  dns.server() + "; 127.0.0.1:" + std::to_string(silent.port()) + "\"\n");
    ConsoleServer server(registry);
    auto c = client(server.port());
    auto right = login(c, kPassword);
    ASSERT_EQ(right->status, 200);
    const httplib::Headers session{{"Cookie", cookiePair(right->get_header_value("Set-Cookie"))}};

    auto health = c.Get("/api/health", session);
    ASSERT_EQ(health->status, 200);
    const nlohmann::json facts = nlohmann::json::parse(health->body);
    std::map<std::string, nlohmann::json> byServer;
    for (const auto& provider : facts["providers"])
        byServer[provider["name"].get<std::string>() + " " + provider.value("server", "")] =
            provider;
    const std::string silentServer = "DNS server 127.0.0.1:" + std::to_string(silent.port());
    ASSERT_EQ(byServer.size(), 7u) << health->body;
    EXPECT_EQ(
        byServer["Bayesian redis://127.0.0.1:" + std::to_string(redis.port) + "/1"]["reachable"],
        true);
    EXPECT_EQ(byServer["DNS server " + dns.server()]["reachable"], true);
    EXPECT_EQ(byServer[silentServer]["reachable"], false);
    EXPECT_EQ(byServer["DNS blacklists "]["enabled"], true);
    EXPECT_EQ(byServer["DKIM "]["enabled"], false);
    EXPECT_FALSE(byServer["Antivirus 127.0.0.1:3310"].contains("reachable"));
    EXPECT_EQ(byServer["SpamAssassin " + spamd]["reachable"], false);
    EXPECT_EQ(facts["lastFiltered"]["messageId"], "0000000000000000000000000000003D.MAI");
}

TEST_F(WebApi, TlsMarksTheCookieSecure) {
    // The test certificate names 127.0.0.1 and is its own CA: the client verifies it.
    const std::string certificate = fixture("tools/web/localhost-cert.pem");
    ConsoleServer server(registry,
                         {"--cert", certificate, "--key", fixture("tools/web/localhost-key.pem")});
    httplib::SSLClient c("127.0.0.1", server.port());
    c.set_ca_cert_path(certificate.c_str());
    c.enable_server_certificate_verification(true);
    auto res =
        c.Post("/api/login", nlohmann::json{{"password", kPassword}}.dump(), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    EXPECT_FALSE(res->get_header_value("Strict-Transport-Security").empty());
    // Plain HTTP on the TLS port gets nothing.
    EXPECT_FALSE(client(server.port()).Get("/"));
}

TEST_F(WebApi, PasswdAndOptionsRefuseWhatTheyCannotUse) {
    const std::string kzmta = binPath("kzmta");
    RunOutput shortOne = run({kzmta, "web", "passwd", "--registry", registry}, {}, "short\n");
    EXPECT_EQ(shortOne.status, 1);
    EXPECT_NE(shortOne.err.find("8 characters"), std::string::npos);
    EXPECT_EQ(run({kzmta, "web", "passwd", "--registry", registry}, {}, "").status, 1);
    // The earlier password still stands.
    EXPECT_NE(readFile(registry).find("pbkdf2-sha256$"), std::string::npos);
    EXPECT_EQ(run({kzmta, "web", "--registry", registry, "--cert", registry}).status, 2);
    EXPECT_EQ(run({kzmta, "web", "--registry", registry, "--listen", "127.0.0.1:99999"}).status, 2);
    EXPECT_EQ(run({kzmta, "web", "--registry", registry, "--listen", "[::1"}).status, 2);
}

}  // namespace
}  // namespace kz::test
