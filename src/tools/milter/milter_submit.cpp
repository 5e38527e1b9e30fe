#include "milter_submit.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/files.h"
#include "platform/stream_socket.h"

extern char** environ;

namespace kz::tool {

namespace {

using Clock = std::chrono::steady_clock;

// One SMTP reply, continuation lines included; its three-digit code, or 0. What
// arrives may hold several lines at once: the rest stays in `pending` for the next.
int ReadReply(platform::StreamConnection& connection, std::string& pending,
              Clock::time_point deadline, std::string& reply) {
    reply.clear();
    for (;;) {
        std::size_t end;
        while ((end = pending.find('\n')) == std::string::npos) {
            if (pending.size() > 4096) return 0;
            auto got = connection.receive(pending, pending.size() + 4096, deadline, '\n');
            if (got != platform::StreamConnection::ReceiveEnd::Terminator &&
                pending.find('\n') == std::string::npos)
                return 0;
        }
        std::string line = pending.substr(0, end + 1);
        pending.erase(0, end + 1);
        reply += line;
        if (line.size() < 4 || line[0] < '1' || line[0] > '5') return 0;
        if (line[3] != '-') return std::atoi(line.substr(0, 3).c_str());
    }
}

struct SmtpSession {
    platform::StreamConnection& connection;
    Clock::time_point deadline;
    std::string pending;

    bool exchange(const std::string& command, int wanted, std::string& why) {
        if (!command.empty() && !connection.send(command, deadline)) {
            why = "cannot send: " + connection.error();
            return false;
        }
        std::string reply;
        int code = ReadReply(connection, pending, deadline, reply);
        if (code / 100 == wanted / 100) return true;
        why = code == 0 ? "no answer: " + connection.error()
                        : "the server answered " + reply.substr(0, reply.find('\r'));
        return false;
    }
};

}  // namespace

std::string WithLfLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string DotStuffed(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = c == '\n';
    }
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += ".\r\n";
    return out;
}

MessageSubmitter MessageSubmitter::viaSendmail(std::string program) {
    MessageSubmitter s;
    s.sendmail_ = std::move(program);
    return s;
}

MessageSubmitter MessageSubmitter::viaSmtp(std::string address) {
    MessageSubmitter s;
    s.smtpAddress_ = std::move(address);
    return s;
}

bool MessageSubmitter::submit(const Submission& message, std::string& why) const {
    if (message.recipients.empty()) {
        why = "the message has no recipients";
        return false;
    }
    return smtpAddress_.empty() ? sendmail(message, why) : smtp(message, why);
}

bool MessageSubmitter::sendmail(const Submission& message, std::string& why) const {
    // The message goes to the command's standard input from a file, so a command that
    // stops reading cannot block the milter on a full pipe.
    std::string input = platform::temporaryNameFor("/tmp/kzmta-milter-submit");
    if (!platform::writeFileAtomic(input, WithLfLineEnds(message.text), false)) {
        why = "cannot write " + input;
        return false;
    }
    std::vector<std::string> args = {sendmail_, "-G", "-i", "-f", message.sender, "--"};
    args.insert(args.end(), message.recipients.begin(), message.recipients.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        platform::removeFile(input);
        why = "cannot start " + sendmail_ + ": " + std::strerror(rc);
        return false;
    }
    auto deadline = Clock::now() + timeout;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        platform::removeFile(input);
        why = sendmail_ + " did not finish in time";
        return false;
    }
    platform::removeFile(input);
    if (done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    why = sendmail_ + " " + DescribeWaitStatus(status);
    return false;
}

std::string DescribeWaitStatus(int status) {
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        return "was killed by signal " + std::to_string(WTERMSIG(status)) +
               (name ? std::string(" (SIG") + name + ")" : std::string());
    }
    if (!WIFEXITED(status)) return "ended with wait status " + std::to_string(status);
    int code = WEXITSTATUS(status);
    // The exit codes of sysexits.h that a sendmail command gives.
    static const std::pair<int, const char*> kMeanings[] = {
        {64, "usage error"},        {65, "data format error"},     {67, "addressee unknown"},
        {68, "host name unknown"},  {69, "service unavailable"},   {70, "internal software error"},
        {71, "system error"},       {72, "critical file missing"}, {73, "cannot create output"},
        {74, "input/output error"}, {75, "temporary failure"},     {77, "permission denied"},
        {78, "configuration error"}};
    std::string text = "exited with status " + std::to_string(code);
    for (const auto& [value, meaning] : kMeanings) {
        if (value == code) return text + " (" + meaning + ")";
    }
    return text;
}

bool MessageSubmitter::smtp(const Submission& message, std::string& why) const {
    auto deadline = Clock::now() + timeout;
    auto connection = platform::StreamConnection::connect(
        smtpAddress_, 25, std::chrono::duration_cast<std::chrono::milliseconds>(timeout), why);
    if (!connection) return false;
    SmtpSession session{*connection, deadline, {}};
    if (!session.exchange("", 220, why) || !session.exchange("EHLO localhost\r\n", 250, why) ||
        !session.exchange("MAIL FROM:<" + message.sender + ">\r\n", 250, why))
        return false;
    for (const std::string& recipient : message.recipients) {
        if (!session.exchange("RCPT TO:<" + recipient + ">\r\n", 250, why)) return false;
    }
    if (!session.exchange("DATA\r\n", 354, why) ||
        !session.exchange(DotStuffed(message.text), 250, why))
        return false;
    session.exchange("QUIT\r\n", 221, why);
    return true;
}

}  // namespace kz::tool
