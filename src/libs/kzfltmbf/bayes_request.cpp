#include "bayes_request.h"

#include <algorithm>

#include "base/ascii.h"

namespace kz::bayes {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The next blank-separated word; `text` keeps what follows it.
std::string_view nextWord(std::string_view& text) {
    text = trim(text);
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end])) ++end;
    const std::string_view word = text.substr(0, end);
    text = trim(text.substr(end));
    return word;
}

BayesRequest malformed(std::string error) {
    BayesRequest request;
    request.error = std::move(error);
    return request;
}

BayesRequest scoreRequest(std::string_view text) {
    constexpr std::string_view open = "<FILENAME>";
    constexpr std::string_view close = "</FILENAME>";
    const std::size_t start = text.find(open) + open.size();
    const std::size_t end = text.find(close, start);
    if (end == std::string_view::npos) return malformed("<FILENAME> is not closed");
    BayesRequest request;
    request.path = std::string(text.substr(start, end - start));
    if (request.path.empty()) return malformed("<FILENAME> is empty");
    request.kind = RequestKind::Score;
    return request;
}

}  // namespace

BayesRequest ParseRequest(std::string_view text) {
    if (text.find("<FILENAME>") != std::string_view::npos) return scoreRequest(text);
    std::string_view rest = text;
    const std::string verb = toUpperAscii(nextWord(rest));
    if (verb == "STATS") {
        if (!rest.empty()) return malformed("STATS takes no argument");
        BayesRequest request;
        request.kind = RequestKind::Stats;
        return request;
    }
    if (verb != "LEARN" && verb != "FORGET")
        return malformed(verb.empty() ? "empty command" : "unknown command " + verb);
    BayesRequest request;
    request.kind = verb == "LEARN" ? RequestKind::Learn : RequestKind::Forget;
    const std::string category = toUpperAscii(nextWord(rest));
    if (category == "SPAM")
        request.category = Category::Spam;
    else if (category == "HAM")
        request.category = Category::Ham;
    else
        return malformed(verb + " needs SPAM or HAM");
    // A path is the rest of its line: it may hold blanks.
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        if (const std::string_view path = trim(rest.substr(0, end)); !path.empty())
            request.paths.emplace_back(path);
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    if (request.paths.empty()) return malformed(verb + " " + category + " needs a message file");
    if (request.paths.size() > kMaxFilesPerRequest)
        return malformed(verb + " takes at most " + std::to_string(kMaxFilesPerRequest) + " files");
    return request;
}

}  // namespace kz::bayes
