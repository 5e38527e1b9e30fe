// Instance data either lists its words inline or refers to a word file: a
// "<REFERENCE>" text with a FILE (and optionally a PATH) element, or empty data for
// the general list.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "filters/filter_table.h"
#include "platform/files.h"

namespace kz::filters {

namespace {

constexpr std::string_view kReferencePrefix = "<REFERENCE>";
constexpr TextLimit kFileValueLimit{255};
constexpr TextLimit kPathValueLimit{1024};
constexpr TextLimit kResolvedPathLimit{1024};

// The value between <TAG> and </TAG>, when both stand in the text.
std::optional<std::string_view> elementValue(std::string_view text, std::string_view tag) {
    std::string open = "<" + std::string(tag) + ">";
    std::string close = "</" + std::string(tag) + ">";
    std::size_t start = text.find(open);
    if (start == std::string_view::npos) return std::nullopt;
    start += open.size();
    std::size_t end = text.find(close, start);
    if (end == std::string_view::npos) return std::nullopt;
    return text.substr(start, end - start);
}

std::string patternsDirectory(const FilterTable& table) {
    return platform::joinPath(platform::joinPath(table.configurationDirectory, "FILTERS"),
                              "PATTERNS");
}

std::string finishPath(const std::string& path) {
    return platform::resolvePath(kResolvedPathLimit.cut(path));
}

std::optional<std::string> resolveReference(const FilterTable& table, std::string_view data) {
    std::optional<std::string_view> file = elementValue(data, "FILE");
    // A value too long for its field is no reference at all rather than a cut name.
    if (!file || !kFileValueLimit.fits(*file)) return std::nullopt;
    std::string fileName = platform::toNativeSeparators(*file);
    if (std::optional<std::string_view> dir = elementValue(data, "PATH")) {
        if (!kPathValueLimit.fits(*dir)) return std::nullopt;
        return finishPath(platform::joinPath(platform::toNativeSeparators(*dir), fileName));
    }
    return finishPath(platform::joinPath(patternsDirectory(table), fileName));
}

}  // namespace

std::optional<std::string> ResolveWordFile(const FilterTable& table, std::string_view data) {
    if (data.substr(0, kReferencePrefix.size()) == kReferencePrefix) {
        return resolveReference(table, data);
    }
    if (data.empty()) {
        return finishPath(platform::joinPath(patternsDirectory(table), "MTAFILTER-GENERAL.TXT"));
    }
    return std::nullopt;
}

}  // namespace kz::filters
