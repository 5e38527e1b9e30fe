#include "message_tokens.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "base/ascii.h"
#include "message/mime_reader.h"

namespace kz::bayes {

namespace {

// Headers that are long, unique per message and say nothing about its kind.
constexpr std::string_view kSkippedHeaders[] = {"message-id", "date",  "content-length",
                                                "lines",      "x-uid", "status"};
// Only the beginning of a very long header value is read.
constexpr std::size_t kMaxHeaderValue = 2000;

class TokenList {
  public:
    TokenList() { seen_.reserve(1024); }
    bool full() const { return seen_.size() >= kMaxTokens; }
    // The token `prefix` + `text` in lower case; built in one buffer, stored when new.
    void add(std::string_view prefix, std::string_view text) {
        if (full()) return;
        scratch_.resize(prefix.size() + text.size());
        std::copy(prefix.begin(), prefix.end(), scratch_.begin());
        std::transform(text.begin(), text.end(), scratch_.begin() + long(prefix.size()),
                       [](char c) { return toLowerAscii(c); });
        seen_.insert(scratch_);
    }
    std::vector<std::string> take() {
        std::vector<std::string> tokens;
        tokens.reserve(seen_.size());
        while (!seen_.empty()) tokens.push_back(std::move(seen_.extract(seen_.begin()).value()));
        return tokens;
    }

  private:
    std::unordered_set<std::string> seen_;
    std::string scratch_;
};

constexpr auto kWordBytes = [] {
    std::array<bool, 256> word{};
    for (int c = 0; c < 256; ++c)
        word[std::size_t(c)] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                               (c >= 'A' && c <= 'Z') || c >= 0x80 || c == '\'' || c == '-' ||
                               c == '.' || c == '$' || c == '!' || c == '_';
    return word;
}();

bool isWordByte(unsigned char c) {
    return kWordBytes[c];
}

// Punctuation that may stand inside a word but is not kept at its ends ("$" may lead a
// price, "!" may close a shout).
bool trimmedAtStart(char c) {
    return c == '\'' || c == '-' || c == '.' || c == '!' || c == '_';
}
bool trimmedAtEnd(char c) {
    return c == '\'' || c == '-' || c == '.' || c == '$' || c == '_';
}

void addWord(TokenList& tokens, std::string_view prefix, std::string_view word) {
    while (!word.empty() && trimmedAtStart(word.front())) word.remove_prefix(1);
    while (!word.empty() && trimmedAtEnd(word.back())) word.remove_suffix(1);
    if (word.size() < kMinTokenLength) return;
    if (word.size() > kMaxTokenLength) {
        // The first letter and the length in tens keep a little of what long junk says.
        tokens.add(prefix,
                   "skip:" + std::string(1, word.front()) + std::to_string(word.size() / 10 * 10));
        return;
    }
    tokens.add(prefix, word);
}

void addWords(TokenList& tokens, std::string_view prefix, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && !tokens.full()) {
        while (i < text.size() && !isWordByte(static_cast<unsigned char>(text[i]))) ++i;
        const std::size_t start = i;
        while (i < text.size() && isWordByte(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) addWord(tokens, prefix, text.substr(start, i - start));
    }
}

bool endsLinkHost(char c) {
    return c == '/' || c == '?' || c == '#' || c == ':' || c == '"' || c == '\'' || c == '<' ||
           c == '>' || c == '\\' || static_cast<unsigned char>(c) <= ' ';
}

// "url:www.example.com", "url:example.com", "url:com": a spammer's changing host names
// still share their registered domain. The hosts of "http://" links come first.
void addLinkHosts(TokenList& tokens, std::string_view text) {
    // Where the links of each scheme start, found in one pass over the text.
    std::vector<std::size_t> starts[2];
    for (std::size_t at = 0; (at = findIgnoreCase(text, "http", at)) != std::string_view::npos;
         at += 4) {
        const bool secure = at + 4 < text.size() && toLowerAscii(text[at + 4]) == 's';
        if (text.substr(at + 4 + secure, 3) == "://") starts[secure].push_back(at);
    }
    for (const bool secure : {false, true}) {
        std::size_t end = 0;  // a scheme inside the last host is part of it
        for (const std::size_t link : starts[secure]) {
            if (tokens.full()) return;
            if (link < end) continue;
            const std::size_t at = link + (secure ? 8 : 7);
            end = at;
            while (end < text.size() && !endsLinkHost(text[end])) ++end;
            std::string_view host = text.substr(at, end - at);
            if (const std::size_t user = host.rfind('@'); user != std::string_view::npos)
                host.remove_prefix(user + 1);
            while (!host.empty() && host.back() == '.') host.remove_suffix(1);
            if (host.empty() || host.size() > 255) continue;
            while (!host.empty()) {
                tokens.add("url:", host);
                const std::size_t dot = host.find('.');
                if (dot == std::string_view::npos) break;
                host.remove_prefix(dot + 1);
            }
        }
    }
}

// The text a reader sees of an HTML body: tags become a blank, comments nothing (they
// are used to split words that filters look for), a few entities their character.
std::string HtmlText(std::string_view html) {
    std::string text;
    text.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            if (html.substr(i, 4) == "<!--") {
                const std::size_t end = html.find("-->", i + 4);
                i = end == std::string_view::npos ? html.size() : end + 3;
                continue;
            }
            const std::size_t end = html.find('>', i + 1);
            i = end == std::string_view::npos ? html.size() : end + 1;
            text += ' ';
            continue;
        }
        if (c == '&') {
            const std::size_t end = html.find(';', i + 1);
            if (end != std::string_view::npos && end - i <= 8) {
                const std::string_view name = html.substr(i + 1, end - i - 1);
                char replacement = ' ';
                if (name == "amp")
                    replacement = '&';
                else if (name.size() >= 2 && name[0] == '#') {
                    unsigned value = 0;
                    for (char d : name.substr(1))
                        value = value * 10 + unsigned(d >= '0' && d <= '9' ? d - '0' : 0);
                    if (value > ' ' && value < 127) replacement = char(value);
                }
                text += replacement;
                i = end + 1;
                continue;
            }
        }
        text += c;
        ++i;
    }
    return text;
}

}  // namespace

std::vector<std::string> MessageTokens(std::string_view messageText) {
    MimeReader reader;
    reader.loadText(std::string(messageText.substr(0, kMaxMessageBytes)));
    TokenList tokens;
    for (const HeaderEntry& header : reader.headers()) {
        const std::string name = toLowerAscii(header.name);
        bool skipped = false;
        for (std::string_view s : kSkippedHeaders) skipped = skipped || name == s;
        if (skipped || name.size() > 60) continue;
        const std::string_view value = std::string_view(header.value).substr(0, kMaxHeaderValue);
        addWords(tokens, name + ":", value);
        addLinkHosts(tokens, value);
    }
    const std::string& plain = reader.plainTextBody();
    const std::string& html = reader.htmlBody();
    if (!html.empty()) tokens.add("body:html", "");
    addLinkHosts(tokens, plain);
    addLinkHosts(tokens, html);
    addWords(tokens, "", plain);
    addWords(tokens, "", HtmlText(html));
    return tokens.take();
}

}  // namespace kz::bayes
