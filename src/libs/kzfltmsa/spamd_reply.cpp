#include "spamd_reply.h"

#include <strings.h>

namespace kz::providers {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           ::strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// "-0.4", "1005.2": what spamd writes for a score or a threshold.
bool isNumber(std::string_view text) {
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    return !text.empty() && text.size() <= 32 &&
           text.find_first_not_of("0123456789.") == std::string_view::npos;
}

// "True ; 1005.2 / 5.0"
bool parseSpamHeader(std::string_view value, SpamdVerdict& verdict) {
    const std::size_t semicolon = value.find(';');
    const std::size_t slash = value.find('/', semicolon);
    if (semicolon == std::string_view::npos || slash == std::string_view::npos) return false;
    const std::string_view flag = trim(value.substr(0, semicolon));
    verdict.spam = startsWithNoCase(flag, "true") || startsWithNoCase(flag, "yes");
    verdict.score = trim(value.substr(semicolon + 1, slash - semicolon - 1));
    verdict.threshold = trim(value.substr(slash + 1));
    return isNumber(verdict.score) && isNumber(verdict.threshold);
}

}  // namespace

std::optional<SpamdVerdict> ParseSpamdReply(std::string_view reply, std::string& why) {
    const std::size_t headersEnd = reply.find("\r\n\r\n");
    if (headersEnd == std::string_view::npos) {
        why = reply.empty() ? "no answer" : "incomplete answer";
        return std::nullopt;
    }
    std::string_view headers = reply.substr(0, headersEnd + 2);
    const std::size_t statusEnd = headers.find("\r\n");
    const std::string_view status = headers.substr(0, statusEnd);
    // "SPAMD/1.1 0 EX_OK": the code is the second word.
    const std::size_t blank = status.find(' ');
    if (!startsWithNoCase(status, "SPAMD/") || blank == std::string_view::npos ||
        status.substr(blank + 1, 2) != "0 ") {
        why = "answer " + std::string(status.substr(0, 200));
        return std::nullopt;
    }
    SpamdVerdict verdict;
    bool haveSpam = false;
    for (std::size_t at = statusEnd + 2; at < headers.size();) {
        const std::size_t end = headers.find("\r\n", at);
        const std::string_view line = headers.substr(at, end - at);
        at = end + 2;
        if (startsWithNoCase(line, "Spam:")) haveSpam = parseSpamHeader(line.substr(5), verdict);
    }
    if (!haveSpam) {
        why = "answer without a Spam header";
        return std::nullopt;
    }
    verdict.rules = trim(reply.substr(headersEnd + 4));
    return verdict;
}

std::string FormatSpamdVerdict(const SpamdVerdict& verdict, std::size_t capacity) {
    std::string reply = std::string("<PASS>") + (verdict.spam ? "0" : "1") + "</PASS><SCORE>" +
                        verdict.score + "</SCORE><THRESHOLD>" + verdict.threshold + "</THRESHOLD>";
    constexpr std::string_view kOpen = "<RULES>", kClose = "</RULES>";
    if (reply.size() + kOpen.size() + kClose.size() < capacity) {
        const std::size_t room = capacity - 1 - reply.size() - kOpen.size() - kClose.size();
        reply.append(kOpen).append(verdict.rules.substr(0, room)).append(kClose);
    }
    return reply;
}

}  // namespace kz::providers
