#include "milter_options.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "tools/kzmta/agent_library.h"

namespace kz::tool {

namespace {

unsigned long Number(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || text[0] == '-')
        throw std::runtime_error(option + " needs a number, not '" + text + "'");
    return value;
}

bool IsDigits(const std::string& s, std::size_t from, std::size_t count) {
    if (s.size() < from + count) return false;
    for (std::size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

}  // namespace

SmtpReply ParseRejectReply(const std::string& text) {
    SmtpReply reply;
    if (!IsDigits(text, 0, 3) || text[0] != '5' || (text.size() > 3 && text[3] != ' '))
        throw std::runtime_error("--reject needs a 5xx reply such as '550 5.7.1 Refused', not '" +
                                 text + "'");
    reply.code = text.substr(0, 3);
    std::string rest = text.size() > 4 ? text.substr(4) : std::string();
    std::size_t blank = rest.find(' ');
    std::string first = rest.substr(0, blank);
    if (first.size() >= 5 && first[0] == '5' && first[1] == '.' &&
        first.find_first_not_of("0123456789.") == std::string::npos) {
        reply.enhanced = first;
        rest = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
    }
    if (rest.find_first_of("\r\n%") != std::string::npos)
        throw std::runtime_error("--reject text must be one line without '%'");
    reply.text = rest.empty() ? "Message refused" : rest;
    return reply;
}

MilterOptions ParseMilterOptions(Args args) {
    MilterOptions options;
    std::string value;
    options.registry = takeRegistryPath(args);
    if (!takeOption(args, "--socket", options.socket))
        throw std::runtime_error("--socket unix:PATH or inet:PORT@HOST is required");
    if (options.socket.rfind("unix:", 0) != 0 && options.socket.rfind("local:", 0) != 0 &&
        options.socket.rfind("inet:", 0) != 0 && options.socket.rfind("inet6:", 0) != 0)
        throw std::runtime_error("--socket must start with unix: or inet:, not '" + options.socket +
                                 "'");
    if (takeOption(args, "--socket-mode", value)) {
        std::size_t used = 0;
        try {
            options.socketMode = unsigned(std::stoul(value, &used, 8));
        } catch (const std::exception&) {
        }
        if (used == 0 || used != value.size() || options.socketMode > 0777)
            throw std::runtime_error("--socket-mode needs an octal mode such as 660");
    }
    if (!takeOption(args, "--library", options.library))
        options.library = AgentLibrary::defaultPath();
    if (takeOption(args, "--threads", value)) {
        options.threads = unsigned(Number("--threads", value));
        if (options.threads == 0) throw std::runtime_error("--threads must be at least 1");
    } else {
        options.threads = std::max(1u, std::thread::hardware_concurrency());
    }
    if (takeOption(args, "--reject", value)) {
        options.rejectRemoved = true;
        options.reject = ParseRejectReply(value);
    }
    takeOption(args, "--sendmail", options.sendmail);
    takeOption(args, "--submit", options.submit);
    if (takeOption(args, "--max-size", value)) options.maxSize = Number("--max-size", value);
    if (takeOption(args, "--timeout", value)) {
        options.timeout = std::chrono::seconds(Number("--timeout", value));
        if (options.timeout.count() == 0) throw std::runtime_error("--timeout must be at least 1");
    }
    if (takeOption(args, "--memory-limit", value)) {
        options.memoryLimit = Number("--memory-limit", value);
        if (options.memoryLimit < (64u << 10))
            throw std::runtime_error("--memory-limit must be at least 65536 bytes");
    }
    if (takeOption(args, "--hand-off-expiry", value)) {
        options.handOffExpiry = std::chrono::hours(Number("--hand-off-expiry", value));
        if (options.handOffExpiry.count() == 0)
            throw std::runtime_error("--hand-off-expiry must be at least 1 (hours)");
    }
    options.handOffReturns = takeFlag(args, "--hand-off-returns");
    options.verbose = takeFlag(args, "--verbose");
    if (!args.empty()) throw std::runtime_error("unexpected argument '" + args.front() + "'");
    return options;
}

}  // namespace kz::tool
