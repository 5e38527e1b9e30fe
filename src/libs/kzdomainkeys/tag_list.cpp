#include "tag_list.h"

#include <algorithm>

#include "provider_support/text_split.h"

namespace kz::dkim {

namespace {

bool printableOrSpace(char c) {
    return (c >= 0x20 && c <= 0x7e) || IsSpace(c);
}

bool alphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string withoutSpaces(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (!IsSpace(c)) kept += c;
    return kept;
}

}  // namespace

const std::string* TagList::find(std::string_view name) const {
    for (const auto& [tag, value] : tags_)
        if (tag == name) return &value;
    return nullptr;
}

void TagList::set(std::string name, std::string value) {
    const std::string lower = providers::ToLowerAscii(name);
    auto found = std::find_if(tags_.begin(), tags_.end(), [&](const auto& tag) {
        return providers::ToLowerAscii(tag.first) == lower;
    });
    if (found != tags_.end())
        found->second = std::move(value);
    else
        tags_.emplace_back(std::move(name), std::move(value));
}

std::optional<TagList> ParseTagList(std::string_view text) {
    // A C string ends at its first NUL.
    text = text.substr(0, text.find('\0'));
    enum { beforeName, inName, beforeValue, inValue } state = beforeName;
    TagList list;
    std::size_t nameStart = 0, nameEnd = 0, valueStart = 0;
    bool blankInName = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!printableOrSpace(c)) return std::nullopt;
        switch (state) {
            case beforeName:
                if (IsSpace(c)) break;
                if (!alphanumeric(c)) return std::nullopt;
                nameStart = i;
                blankInName = false;
                state = inName;
                break;
            case inName:
                if (IsSpace(c)) {
                    blankInName = true;
                } else if (c == '=') {
                    nameEnd = i;
                    state = beforeValue;
                } else if (c == ';' || blankInName) {
                    return std::nullopt;
                }
                break;
            case beforeValue:
                if (IsSpace(c)) break;
                if (c == ';') {
                    list.set(withoutSpaces(text.substr(nameStart, nameEnd - nameStart)), {});
                    state = beforeName;
                } else {
                    valueStart = i;
                    state = inValue;
                }
                break;
            case inValue:
                if (c == ';') {
                    list.set(withoutSpaces(text.substr(nameStart, nameEnd - nameStart)),
                             withoutSpaces(text.substr(valueStart, i - valueStart)));
                    state = beforeName;
                }
                break;
        }
    }
    if (state == inName) return std::nullopt;
    if (state == beforeValue || state == inValue) {
        const std::string_view value =
            state == inValue ? text.substr(valueStart) : std::string_view();
        list.set(withoutSpaces(text.substr(nameStart, nameEnd - nameStart)), withoutSpaces(value));
    }
    return list;
}

}  // namespace kz::dkim
