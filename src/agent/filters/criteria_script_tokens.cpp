#include "filters/criteria_script_tokens.h"

#include <optional>

#include "base/text_limit.h"

namespace kz::filters {

namespace {

constexpr std::string_view kTokenOpen = "[KZ_";

bool isScriptSpace(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

std::size_t skipSpace(std::string_view text, std::size_t at) {
    while (at < text.size() && isScriptSpace(text[at])) ++at;
    return at;
}

// The text between `from` and the next `closing`, and where the scan goes on; none
// when the closing character is missing.
std::optional<std::string> enclosedUpTo(std::string_view text, std::size_t from, char closing,
                                        std::size_t& next) {
    std::size_t end = from <= text.size() ? text.find(closing, from) : std::string_view::npos;
    if (end == std::string_view::npos) return std::nullopt;
    next = end + 1;
    return std::string(kScriptTokenTextLimit.cut(text.substr(from, end - from)));
}

}  // namespace

std::vector<ScriptToken> ParseScriptTokens(std::string_view script) {
    std::vector<ScriptToken> tokens;
    std::size_t next = 0;
    while (true) {
        std::size_t open = script.find(kTokenOpen, next);
        if (open == std::string_view::npos) break;
        std::size_t keywordStart = open + kTokenOpen.size();
        std::size_t close = script.find(']', keywordStart);
        if (close == std::string_view::npos) break;

        ScriptToken token;
        token.keyword =
            kScriptTokenTextLimit.cut(script.substr(keywordStart, close - keywordStart));
        next = close + 1;
        std::size_t at = skipSpace(script, next);
        bool scanEnds = false;
        if (at < script.size() && script[at] == ',') {
            at = skipSpace(script, at + 1);
            std::optional<std::string> argument = at < script.size() && script[at] == '"'
                                                      ? enclosedUpTo(script, at + 1, '"', next)
                                                      : enclosedUpTo(script, close + 2, ')', next);
            scanEnds = !argument;
            token.argument = argument.value_or(std::string());
        } else {
            token.argument = kNoArgumentMarker;
        }
        tokens.push_back(std::move(token));
        if (scanEnds) break;
    }
    return tokens;
}

}  // namespace kz::filters
