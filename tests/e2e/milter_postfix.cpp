#include "e2e/milter_postfix.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace kz::test {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kPostfix = "/usr/sbin/postfix";

std::string Filled(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    }
    return text;
}

}  // namespace

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

PostfixWithMilter::PostfixWithMilter()
    : postfix(dir.file("postfix")),
      etc(postfix + "/etc"),
      agent(dir.file("agent")),
      port(FreeLoopbackPort()) {}

PostfixWithMilter::~PostfixWithMilter() {
    milter.reset();
    stopPostfix();
}

std::string PostfixWithMilter::startPostfix(bool withMilter) {
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
    for (const char* name : {"main.cf", "master.cf", "vmailbox"}) {
        writeFile(etc + "/" + name,
                  Filled(readFile(fixture(std::string("milter/postfix/") + name)), values));
    }
    // A later line of main.cf wins over an earlier one.
    if (!withMilter)
        writeFile(etc + "/main.cf",
                  readFile(etc + "/main.cf") + "smtpd_milters =\nnon_smtpd_milters =\n");
    RunOutput started = run({kPostfix, "-c", etc, "start"});
    std::string pid = readFile(postfix + "/queue/pid/master.pid");
    if (started.status != 0 || pid.empty())
        return "postfix did not start: " + readFile(postfix + "/maillog");
    master_ = std::stoi(pid);
    return {};
}

void PostfixWithMilter::stopPostfix() {
    if (master_ <= 0) return;
    kill(master_, SIGTERM);
    if (!WaitFor([&] { return kill(master_, 0) != 0; }, 10s)) kill(master_, SIGKILL);
    master_ = -1;
}

bool PostfixWithMilter::startMilter(const std::vector<std::string>& extraArgs,
                                    const std::vector<std::string>& extraEnv) {
    copyFixture("milter/env", agent);
    fs::create_directories(agent + "/quarantine/Messages");
    fs::create_directories(agent + "/logs");
    std::vector<std::string> argv = {
        binPath("kzmta"),        "milter",    "--registry",
        agent + "/registry.reg", "--socket",  "unix:" + postfix + "/milter.sock",
        "--socket-mode",         "666",       "--sendmail",
        "/usr/sbin/sendmail",    "--library", libPath("libkzmtafilter.so")};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    std::vector<std::string> env = {"MAIL_CONFIG=" + etc};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    milter = std::make_unique<Child>(argv, env);
    return milter->waitForLine("listening on");
}

int PostfixWithMilter::send(const std::string& message) {
    return sendFile(fixture("milter/mail/" + message));
}

int PostfixWithMilter::sendFile(const std::string& path, const std::string& recipient) {
    RunOutput sent = run({"python3", fixture("milter/send.py"), std::to_string(port),
                          "ann@example.org", recipient, path});
    return sent.status == 0 ? std::atoi(sent.out.c_str()) : -1;
}

std::string PostfixWithMilter::mailbox(const std::string& user) const {
    return readFile(postfix + "/mail/" + user);
}

}  // namespace kz::test
