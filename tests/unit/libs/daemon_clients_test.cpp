// The spamd and clamd client libraries, called as the agent calls them, against daemons
// that answer what each case needs.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/dynlib.h"
#include "platform/exports.h"
#include "support/test_support.h"
#include "unit/platform/scoped_env.h"

namespace kz::test {
namespace {

using namespace std::chrono_literals;

// A loopback port scripted by a test. With an answer, it takes one connection, reads
// until the client has finished sending and answers. Without one it listens but never
// accepts: clients connect and then wait in vain.
class FakeDaemon {
  public:
    explicit FakeDaemon(std::string answer = {}) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof addr;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 8);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &size);
        port_ = ntohs(addr.sin_port);
        if (!answer.empty()) thread_ = std::thread([this, answer] { serve(answer); });
    }
    ~FakeDaemon() {
        ::shutdown(fd_, SHUT_RDWR);  // ends an accept still waiting
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    FakeDaemon(const FakeDaemon&) = delete;
    FakeDaemon& operator=(const FakeDaemon&) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // What the client sent; waits for the exchange to end.
    const std::string& received() {
        if (thread_.joinable()) thread_.join();
        return received_;
    }
    // Whether a client connected to a port that does not answer.
    bool connected() const {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, 0) <= 0) return false;
        int connection = ::accept(fd_, nullptr, nullptr);
        if (connection >= 0) ::close(connection);
        return connection >= 0;
    }

  private:
    void serve(const std::string& answer) {
        const int connection = ::accept(fd_, nullptr, nullptr);
        if (connection < 0) return;
        std::array<char, 65536> buffer;
        for (ssize_t n; (n = ::recv(connection, buffer.data(), buffer.size(), 0)) > 0;)
            received_.append(buffer.data(), std::size_t(n));
        ::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(connection);
    }

    int fd_ = -1;
    int port_ = 0;
    std::string received_;
    std::thread thread_;
};
using RequestEntry = int(KZ_STDCALL*)(const char*, int32_t, char*, int32_t*);
using AntivirusEntry = int(KZ_STDCALL*)(const char*, const char*, const char*, char*);

// A registry with the library's own key, and a queue with one message.
struct ClientSetup {
    TempDir dir;
    ScopedEnv registry{"KZ_REGISTRY", dir.file("registry.reg")};
    ScopedEnv events{"KZ_EVENTLOG", dir.file("events.log")};
    std::string message = dir.file("queue/SMTP/Inbound/Messages/M1.MAI");

    ClientSetup(const std::string& key, const std::string& values, std::string content) {
        writeFile(dir.file("registry.reg"),
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS]\r\n"
                  "\"Connector Root Directory\"=\"" +
                      dir.file("queue") +
                      "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
                      "Filters\\MTAFILTER\\" +
                      key + "]\r\n" + values);
        writeFile(message, content);
    }
};

template <typename F>
F entryOf(const char* library, const char* name) {
    static std::unique_ptr<platform::DynamicLibrary> loaded[2];
    auto& slot = loaded[std::strcmp(library, "KZAVGEN.DLL") == 0];
    if (!slot) slot = platform::DynamicLibrary::load(libPath("") + library);
    return slot ? slot->entry<F>(name) : nullptr;
}

struct SpamdAnswer {
    int result = -1;
    std::string reply;
    int32_t length = 0;
};

SpamdAnswer askSpamd(const ClientSetup& setup) {
    auto execute = entryOf<RequestEntry>("KZFLTMSA.DLL", "KZ_Execute");
    EXPECT_TRUE(execute);
    if (!execute) return {};
    const std::string request = "<FILENAME>" + setup.message + "</FILENAME><CMDFILE>x</CMDFILE>";
    SpamdAnswer answer;
    answer.reply.assign(1024, '\x7f');
    answer.length = 1024;
    answer.result =
        execute(request.c_str(), int32_t(request.size()), answer.reply.data(), &answer.length);
    answer.reply.resize(std::strlen(answer.reply.c_str()));
    return answer;
}

TEST(SpamdClient, SendsTheMessageAndCutsTheRulesToTheReplyBuffer) {
    const std::string rules(3000, 'R');
    FakeDaemon spamd(
        "SPAMD/1.1 0 EX_OK\r\nContent-length: 3000\r\nSpam: True ; 12.5 / 5.0\r\n\r\n" + rules);
    ClientSetup setup("SpamAssassin", "\"Server\"=\"" + spamd.address() + "\"\r\n",
                      "Subject: hi\r\n\r\nbody\r\n");
    SpamdAnswer answer = askSpamd(setup);
    EXPECT_EQ(answer.result, 1);
    EXPECT_EQ(spamd.received(),
              "SYMBOLS SPAMC/1.5\r\nContent-length: 21\r\n\r\nSubject: hi\r\n\r\nbody\r\n");
    const std::string head = "<PASS>0</PASS><SCORE>12.5</SCORE><THRESHOLD>5.0</THRESHOLD><RULES>";
    EXPECT_EQ(answer.reply.substr(0, head.size()), head);
    EXPECT_EQ(answer.reply.size(), 1023u);
    EXPECT_EQ(answer.reply.substr(1023 - 8), "</RULES>");
    EXPECT_EQ(answer.length, 1023);
}

TEST(SpamdClient, ErrorStatusesOverlongAndLateAnswersGiveNoVerdict) {
    const std::pair<const char*, std::string> cases[] = {
        {"error status", "SPAMD/1.1 76 Bad header line\r\n\r\n"},
        {"no Spam header", "SPAMD/1.1 0 EX_OK\r\nContent-length: 0\r\n\r\n"},
        {"score not a number", "SPAMD/1.1 0 EX_OK\r\nSpam: True ; <PASS>1</PASS> / 5.0\r\n\r\n"},
        {"overlong", "SPAMD/1.1 0 EX_OK\r\nSpam: False ; 1 / 5\r\n\r\n" + std::string(70000, 'R')},
        {"late", ""},
    };
    for (const auto& [name, text] : cases) {
        FakeDaemon spamd(text);
        ClientSetup setup(
            "SpamAssassin",
            "\"Server\"=\"" + spamd.address() + "\"\r\n\"Timeout\"=dword:0000012c\r\n",
            "Subject: hi\r\n\r\nbody\r\n");
        const auto start = std::chrono::steady_clock::now();
        SpamdAnswer answer = askSpamd(setup);
        EXPECT_EQ(answer.result, 0) << name;
        EXPECT_EQ(answer.reply, "") << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << name;
    }
}

struct ScanResult {
    int result = -1;
    std::string text;
};

ScanResult scan(const char* connector, const char* id) {
    auto execute = entryOf<AntivirusEntry>("KZAVGEN.DLL", "ProviderExecute");
    EXPECT_TRUE(execute);
    if (!execute) return {};
    std::string text(1024, '\0');
    ScanResult result;
    result.result = execute("MTAFILTER", id, connector, text.data());
    result.text = text.c_str();
    return result;
}

TEST(ClamdClient, NamesOutsideTheQueueAndLateAnswersAreNotClean) {
    FakeDaemon clamd;
    ClientSetup setup("Antivirus",
                      "\"Server\"=\"" + clamd.address() + "\"\r\n\"Timeout\"=dword:0000012c\r\n",
                      "Subject: hi\r\n\r\nbody\r\n");
    for (auto [connector, id] : {std::pair{"..", "M1.MAI"}, std::pair{"SMTP", "../Messages/M1.MAI"},
                                 std::pair{"SMTP", ""}, std::pair{"SMTP", "MISSING.MAI"}}) {
        ScanResult result = scan(connector, id);
        EXPECT_EQ(result.result, 1) << connector << " " << id;
        EXPECT_EQ(result.text, "scanner unavailable");
    }
    EXPECT_FALSE(clamd.connected());
    const auto start = std::chrono::steady_clock::now();
    ScanResult late = scan("SMTP", "M1.MAI");
    EXPECT_EQ(late.result, 1);
    EXPECT_EQ(late.text, "scanner unavailable");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
}  // namespace kz::test
