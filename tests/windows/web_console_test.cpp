// kzmta.exe web on a mail server the agent library has just filtered, reached over
// loopback as a script reaches it, over HTTP and HTTPS. Its password hash was made by the Linux
// kzmta (tests/fixtures/tools/web/linux_password.txt): one stored hash serves both systems.

#include <gtest/gtest.h>
#include <httplib.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kzmta_process.h"
#include "loaded_agent.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kAgentKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

struct LinuxPassword {
    std::string password, hash;
};

LinuxPassword linuxPassword() {
    const std::string text = readWhole(fixture("tools/web/linux_password.txt"));
    const std::size_t end = text.find('\n');
    const std::string hash = text.substr(end + 1, text.find('\n', end + 1) - end - 1);
    return {text.substr(0, end), hash};
}

TEST(WebConsole, ServesTheQuarantineToTheSessionWithAHashMadeOnLinux) {
    LoadedAgent agent("held");
    agent.queue("PRIZE.MAI", "prize");
    agent.filter({"PRIZE.MAI"});
    std::vector<std::string> held;
    for (const auto& entry : std::filesystem::directory_iterator(agent.file("quarantine")))
        if (entry.is_regular_file()) held.push_back(entry.path().filename().string());
    ASSERT_EQ(held.size(), 1u);
    const LinuxPassword made = linuxPassword();
    agent.registry().setString(kAgentKey, "Web Console Password", made.hash);

    KzmtaProcess server({"web", "--listen", "127.0.0.1:0"});
    const std::string marker = "Serving the console on http://127.0.0.1:";
    ASSERT_TRUE(server.awaitLine(marker, 60s)) << server.output();
    const std::string& out = server.output();
    httplib::Client client("127.0.0.1", std::stoi(out.substr(out.find(marker) + marker.size())));
    client.set_connection_timeout(10);
    client.set_read_timeout(60);

    // The page's scripts and the chart library are compiled in.
    auto chart = client.Get("/assets/chart.umd.js");
    ASSERT_EQ(chart->status, 200);
    EXPECT_NE(chart->body.find("Chart"), std::string::npos);
    EXPECT_EQ(client.Get("/api/quarantine")->status, 401);
    EXPECT_EQ(
        client.Post("/api/login", R"({"password": "wrong password"})", "application/json")->status,
        401);
    // The hash's 600,000 rounds through the system's PBKDF2 give what OpenSSL gave.
    auto login = client.Post("/api/login", nlohmann::json{{"password", made.password}}.dump(),
                             "application/json");
    ASSERT_TRUE(login);
    ASSERT_EQ(login->status, 200) << login->body;
    const std::string setCookie = login->get_header_value("Set-Cookie");
    const std::string csrf = nlohmann::json::parse(login->body)["csrf"];
    httplib::Headers session{{"Cookie", setCookie.substr(0, setCookie.find(';'))}};

    auto list = client.Get("/api/quarantine", session);
    ASSERT_EQ(list->status, 200) << list->body;
    auto messages = nlohmann::json::parse(list->body);
    ASSERT_EQ(messages.size(), 1u) << list->body;
    EXPECT_EQ(messages[0]["id"], held[0]);
    EXPECT_EQ(messages[0]["filters"], nlohmann::json::array({"Prizes are held"}));

    auto health = client.Get("/api/health", session);
    ASSERT_EQ(health->status, 200) << health->body;
    auto facts = nlohmann::json::parse(health->body);
    EXPECT_EQ(facts["queues"], nlohmann::json::parse(R"([{"connector":"SMTP","waiting":0}])"));
    EXPECT_EQ(facts["lastFiltered"]["messageId"], "PRIZE.MAI") << health->body;

    const std::string remove = "/api/quarantine/" + held[0] + "/delete";
    EXPECT_EQ(client.Post(remove, session, "", "application/json")->status, 403);
    httplib::Headers withToken = session;
    withToken.emplace("X-CSRF-Token", csrf);
    EXPECT_EQ(client.Post(remove, withToken, "", "application/json")->status, 200);
    EXPECT_FALSE(std::filesystem::exists(agent.file("quarantine/" + held[0])));
}

// The test certificate (tests/fixtures/tools/web) names localhost and 127.0.0.1 and is its
// own CA, so the client verifies the chain and the host as a browser would. By name: the
// mingw build of httplib's client matches no IP address against the certificate.
TEST(WebConsole, ServesHttpsWithTheGivenCertificate) {
    LoadedAgent agent("held");
    const LinuxPassword made = linuxPassword();
    agent.registry().setString(kAgentKey, "Web Console Password", made.hash);
    const std::string certificate = fixture("tools/web/localhost-cert.pem");
    const std::string key = fixture("tools/web/localhost-key.pem");

    KzmtaProcess server({"web", "--listen", "127.0.0.1:0", "--cert", certificate, "--key", key});
    const std::string marker = "Serving the console on https://127.0.0.1:";
    ASSERT_TRUE(server.awaitLine(marker, 60s)) << server.output();
    const std::string& out = server.output();
    const int port = std::stoi(out.substr(out.find(marker) + marker.size()));
    httplib::SSLClient client("localhost", port);
    client.set_ca_cert_path(certificate.c_str());
    client.enable_server_certificate_verification(true);
    client.set_connection_timeout(10);
    client.set_read_timeout(60);
    auto login = client.Post("/api/login", nlohmann::json{{"password", made.password}}.dump(),
                             "application/json");
    ASSERT_TRUE(login) << httplib::to_string(login.error());
    ASSERT_EQ(login->status, 200) << login->body;
    const std::string setCookie = login->get_header_value("Set-Cookie");
    EXPECT_NE(setCookie.find("; Secure"), std::string::npos) << setCookie;
    httplib::Headers session{{"Cookie", setCookie.substr(0, setCookie.find(';'))}};
    auto health = client.Get("/api/health", session);
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200) << health->body;

    // Plain HTTP on the TLS port gets no answer, let alone the API.
    httplib::Client plain("127.0.0.1", port);
    plain.set_connection_timeout(10);
    plain.set_read_timeout(20);
    EXPECT_FALSE(plain.Get("/api/health", session));

    // A key that is no key stops the start with a clear error instead of serving plain HTTP.
    KzmtaProcess refused({"web", "--listen", "127.0.0.1:0", "--cert", certificate, "--key",
                          fixture("tools/web/linux_password.txt")});
    EXPECT_EQ(refused.exitCode(60s), 1u) << refused.output();
    EXPECT_NE(refused.output().find("cannot use the certificate"), std::string::npos)
        << refused.output();
    EXPECT_EQ(refused.output().find("Serving"), std::string::npos);
}

}  // namespace
}  // namespace kz::test
