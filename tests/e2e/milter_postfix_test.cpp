// kzmta milter behind a real Postfix that the test starts in a folder of its own, with
// mail sent by SMTP and delivered to mailbox files.

#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kPostfix = "/usr/sbin/postfix";

// Postfix's master starts as root and gives its daemons the postfix user: the test
// can run it only as root on a machine with the package installed.
std::string WhyPostfixCannotRun() {
    if (geteuid() != 0) return "Postfix's master process must be started by root";
    if (access(kPostfix, X_OK) != 0) return "Postfix is not installed (scripts/setup.sh)";
    if (!getpwnam("postfix") || !getgrnam("postdrop"))
        return "the postfix user or the postdrop group is missing";
    if (run({"python3", "-c", "import smtplib"}).status != 0) return "python3 is not installed";
    return {};
}

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

std::string Filled(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    }
    return text;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds bound = 20s) {
    for (auto end = std::chrono::steady_clock::now() + bound;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(100ms)) {
        if (condition()) return true;
    }
    return condition();
}

class PostfixWithMilter {
  public:
    TempDir dir;
    std::string postfix = dir.file("postfix"), etc = postfix + "/etc", agent = dir.file("agent");
    int port = FreeLoopbackPort();
    std::unique_ptr<Child> milter;

    ~PostfixWithMilter() {
        milter.reset();
        stopPostfix();
    }

    // Empty when Postfix runs, else why it could not start.
    std::string startPostfix() {
        passwd* user = getpwnam("postfix");
        chmod(dir.path().c_str(), 0755);
        for (const char* sub : {"/etc", "/queue", "/data", "/mail"})
            fs::create_directories(postfix + sub);
        for (const char* sub : {"/data", "/mail"})
            chown((postfix + sub).c_str(), user->pw_uid, user->pw_gid);
        std::vector<std::pair<std::string, std::string>> values = {
            {"@ROOT@", postfix},
            {"@PORT@", std::to_string(port)},
            {"@UID@", std::to_string(user->pw_uid)},
            {"@GID@", std::to_string(user->pw_gid)}};
        for (const char* name : {"main.cf", "master.cf", "vmailbox"})
            writeFile(etc + "/" + name,
                      Filled(readFile(fixture(std::string("milter/postfix/") + name)), values));
        RunOutput started = run({kPostfix, "-c", etc, "start"});
        std::string pid = readFile(postfix + "/queue/pid/master.pid");
        if (started.status != 0 || pid.empty())
            return "postfix did not start: " + readFile(postfix + "/maillog");
        master_ = std::stoi(pid);
        return {};
    }

    void startMilter() {
        copyFixture("milter/env", agent);
        fs::create_directories(agent + "/quarantine/Messages");
        milter = std::make_unique<Child>(
            std::vector<std::string>{binPath("kzmta"), "milter", "--registry",
                                     agent + "/registry.reg", "--socket",
                                     "unix:" + postfix + "/milter.sock", "--socket-mode", "666",
                                     "--threads", "2", "--sendmail", "/usr/sbin/sendmail",
                                     "--library", std::string(KZ_LIB_DIR) + "/libkzmtafilter.so"},
            std::vector<std::string>{"MAIL_CONFIG=" + etc});
        ASSERT_TRUE(milter->waitForLine("listening on")) << milter->output();
    }

    // The server's final reply code to the message.
    int send(const std::string& message) {
        RunOutput sent =
            run({"python3", fixture("milter/send.py"), std::to_string(port), "ann@example.org",
                 "bob@example.com", fixture("milter/mail/" + message)});
        return sent.status == 0 ? std::atoi(sent.out.c_str()) : -1;
    }

    std::string mailbox(const std::string& user) const {
        return readFile(postfix + "/mail/" + user);
    }

  private:
    // The master is not the test's child: it is stopped by its process id, within a bound.
    void stopPostfix() {
        if (master_ <= 0) return;
        kill(master_, SIGTERM);
        if (!WaitFor([&] { return kill(master_, 0) != 0; }, 10s)) kill(master_, SIGKILL);
    }
    pid_t master_ = -1;
};

TEST(MilterPostfix, MailThroughPostfixIsFilteredAndAStoppedMilterMeansTryLater) {
    if (std::string why = WhyPostfixCannotRun(); !why.empty()) GTEST_SKIP() << why;
    PostfixWithMilter mta;
    if (std::string why = mta.startPostfix(); !why.empty()) GTEST_SKIP() << why;
    mta.startMilter();

    // Spam words: delivered with the subject prefix and the header the actions add.
    ASSERT_EQ(mta.send("spam.eml"), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("spam-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] You are a winner\n"), std::string::npos);
    EXPECT_NE(mta.mailbox("bob").find("X-Spam-Reason: SUBJECT ann@example.org\n"),
              std::string::npos);

    // An executable: discarded, kept in quarantine, and the sender told. The notice
    // passes the milter again on its way in (non_smtpd_milters) and is let through.
    ASSERT_EQ(mta.send("exe.eml"), 250);
    ASSERT_TRUE(WaitFor([&] {
        return mta.mailbox("ann").find("not delivered") != std::string::npos;
    })) << mta.milter->output();
    EXPECT_NE(mta.mailbox("ann").find("Subject: Your message was not delivered\n"),
              std::string::npos);
    EXPECT_TRUE(mta.milter->waitForLine("came back, let through", 10));
    std::string quarantined;
    for (const auto& entry : fs::directory_iterator(mta.agent + "/quarantine/Messages"))
        quarantined += readFile(entry.path().string());
    EXPECT_NE(quarantined.find("filename=\"setup.exe\""), std::string::npos);

    // A loop header the sender wrote itself does not pass unfiltered.
    ASSERT_EQ(mta.send("forged.eml"), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("forged-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] Winner of the lottery"), std::string::npos);
    EXPECT_EQ(mta.mailbox("bob").find("exe-1@"), std::string::npos);

    // Nothing is left in the spool.
    std::string inbound = mta.agent + "/spool/SMTP/Inbound";
    EXPECT_TRUE(WaitFor([&] { return fs::is_empty(inbound + "/Messages"); }, 5s));

    // Without the milter Postfix answers "try later", never accepts unfiltered.
    mta.milter->signal(SIGTERM);
    ASSERT_TRUE(mta.milter->waitForLine("stopped", 30)) << mta.milter->output();
    EXPECT_EQ(mta.milter->wait(), 0);
    int code = mta.send("spam.eml");
    EXPECT_GE(code, 400);
    EXPECT_LT(code, 500);
}

}  // namespace
}  // namespace kz::test
