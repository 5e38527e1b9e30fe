#include "message/mime_headers.h"

#include <algorithm>

#include "base/ascii.h"
#include "message/encoded_words.h"
#include "message/mime_text.h"

namespace kz {
namespace {

void addHeader(std::vector<HeaderEntry>& headers, std::string_view unfolded) {
    std::size_t colon = unfolded.find(':');
    if (colon == std::string_view::npos) return;
    std::size_t valueStart = skipAny(unfolded, colon + 1, " \t");
    headers.push_back({std::string(unfolded.substr(0, colon)),
                       DecodeEncodedWords(unfolded.substr(valueStart), "utf-8")});
}

}  // namespace

std::vector<HeaderEntry> ParseHeaderList(std::string_view headerBlock) {
    std::vector<HeaderEntry> headers;
    std::string current;
    bool collecting = false;
    std::size_t pos = 0;
    while (pos < headerBlock.size()) {
        std::size_t lf = headerBlock.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? headerBlock.size() : lf;
        std::string_view line = headerBlock.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (collecting && !line.empty() && isBlankOrTab(line[0])) {
            current += ' ';
            current.append(line.substr(1));
            continue;
        }
        if (collecting) addHeader(headers, current);
        current.assign(line);
        collecting = true;
    }
    if (collecting) addHeader(headers, current);
    return headers;
}

const HeaderEntry* FindFirstHeader(const std::vector<HeaderEntry>& headers, std::string_view name) {
    auto it = std::find_if(headers.begin(), headers.end(),
                           [&](const HeaderEntry& h) { return equalsIgnoreCase(h.name, name); });
    return it == headers.end() ? nullptr : &*it;
}

const HeaderEntry* FindLastHeader(const std::vector<HeaderEntry>& headers, std::string_view name) {
    auto it = std::find_if(headers.rbegin(), headers.rend(),
                           [&](const HeaderEntry& h) { return equalsIgnoreCase(h.name, name); });
    return it == headers.rend() ? nullptr : &*it;
}

}  // namespace kz
