#include "filters/result_tokens.h"

#include <vector>

#include "base/ascii.h"
#include "base/text_limit.h"
#include "message/encoded_words.h"

namespace kz::filters {

namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr TextLimit kTagLimit{255};
constexpr TextLimit kValueLimit{4095};
constexpr TextLimit kEncodedValueLimit{2048};
constexpr TextLimit kWordListValueLimit{128};  // each word
constexpr TextLimit kWordListLimit{2048};      // the whole list
constexpr std::string_view kWordListToken = "[KZ_WORDLIST]";

// Where each element's tag is looked for: the description's start for the first, then
// just after the closing-tag opener of the element before it. A "</" at the very start
// opens no element.
std::vector<std::size_t> elementStarts(std::string_view description) {
    std::vector<std::size_t> starts;
    if (description.empty()) return starts;
    starts.push_back(0);
    for (std::size_t at = description.find("</", 1); at != kNone;
         at = description.find("</", at + 1)) {
        starts.push_back(at + 2);
    }
    starts.pop_back();  // one start per closing-tag opener
    return starts;
}

// The text between the next "<" and ">" from `from`.
bool tagAt(std::string_view description, std::size_t from, std::string& tag) {
    std::size_t open = description.find('<', from);
    if (open == kNone) return false;
    std::size_t close = description.find('>', open + 1);
    if (close == kNone) return false;
    tag.assign(kTagLimit.cut(description.substr(open + 1, close - open - 1)));
    return true;
}

// The value of the element opened by "<tag>" found from `from`, and where the element
// ends.
bool elementValue(std::string_view description, std::string_view tag, std::size_t& from,
                  std::string_view& value) {
    std::string open = "<" + std::string(tag) + ">";
    std::string close = "</" + std::string(tag) + ">";
    std::size_t start = description.find(open, from);
    if (start == kNone) return false;
    start += open.size();
    std::size_t end = description.find(close, start);
    if (end == kNone) return false;
    value = description.substr(start, end - start);
    from = end + close.size();
    return true;
}

void expandElement(std::string_view description, std::string_view tag, std::string& text,
                   TextLimit templateLimit, int encodeValues) {
    // Most elements have no token in the text: nothing to look up for them.
    const std::string token = "[KZ_" + std::string(tag) + "]";
    if (text.find(token) == kNone) return;
    std::size_t from = 0;
    std::string_view found;
    if (!elementValue(description, tag, from, found)) return;
    std::string value(kValueLimit.cut(found));
    if (encodeValues == 1) {
        std::string encoded;
        EncodeQText(value, value.size(), encoded, kEncodedValueLimit.bufferSize);
        value = std::move(encoded);
    }
    if (value.size() + text.size() >= templateLimit.bufferSize) return;
    ReplaceToken(text, token, value, templateLimit);
}

void appendWordsOf(std::string_view description, std::string_view tag, std::string& list) {
    std::size_t from = 0;
    std::string_view value;
    while (elementValue(description, tag, from, value)) {
        if (!list.empty()) kWordListLimit.append(list, ",");
        kWordListLimit.append(list, kWordListValueLimit.cut(value));
    }
}

}  // namespace

bool UsesSenderToken(std::string_view instanceData) {
    return findIgnoreCase(instanceData, kSenderToken) != std::string_view::npos;
}

void ReplaceToken(std::string& text, std::string_view token, std::string_view value,
                  TextLimit limit) {
    if (token.empty()) return;
    std::size_t at = text.find(token);
    if (at == kNone) return;
    std::string result;
    std::size_t done = 0;
    for (; at != kNone; at = text.find(token, done)) {
        result.append(text, done, at - done).append(value);
        done = at + token.size();
    }
    result.append(text, done);
    text.assign(limit.cut(result));
}

void ExpandResultTokens(std::string_view description, std::string& text, TextLimit templateLimit,
                        int encodeValues) {
    std::string tag;
    for (std::size_t start : elementStarts(description)) {
        if (tagAt(description, start, tag)) {
            expandElement(description, tag, text, templateLimit, encodeValues);
        }
    }
    if (text.find(kWordListToken) == kNone) return;
    std::string list;
    appendWordsOf(description, "MF-W", list);
    appendWordsOf(description, "MF-R", list);
    ReplaceToken(text, kWordListToken, list, templateLimit);
}

}  // namespace kz::filters
