// Path names: '/' joins, backslashes from administrator data, and names that match an
// existing file or directory without regard to ASCII case, as Windows names do.

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"

namespace kz::platform {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool equalsFolded(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

std::vector<std::string_view> splitComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    }
    return parts;
}

// The entry of `dir` spelled like `name` without regard to case; the smallest such
// entry in byte order when several differ only in case, so the answer is stable.
std::optional<std::string> matchInDirectory(const std::string& dir, std::string_view name) {
    std::optional<std::string> best;
    for (std::string& entry : listDirectory(dir.empty() ? "." : dir)) {
        if (equalsFolded(entry, name) && (!best || entry < *best)) best = std::move(entry);
    }
    return best;
}

}  // namespace

std::string joinPath(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

std::string toNativeSeparators(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string resolvePath(std::string_view path) {
    std::string exact(path);
    if (exact.empty() || exists(exact)) return exact;

    std::vector<std::string_view> parts = splitComponents(path);
    const std::string root = path.front() == '/' ? "/" : "";
    auto prefixOf = [&](size_t count) {
        std::string prefix = root;
        for (size_t i = 0; i < count; ++i) prefix = joinPath(prefix, parts[i]);
        return prefix;
    };

    // Usually only the last components differ in case: find the longest prefix that
    // exists as spelled, walking back from the end.
    size_t known = parts.empty() ? 0 : parts.size() - 1;
    std::string resolved = prefixOf(known);
    while (known > 0 && !exists(resolved)) resolved = prefixOf(--known);

    bool matching = true;
    for (size_t i = known; i < parts.size(); ++i) {
        std::string spelled = joinPath(resolved, parts[i]);
        // parts[known] is known not to exist as spelled.
        if (matching && (i == known || !exists(spelled))) {
            std::optional<std::string> match = matchInDirectory(resolved, parts[i]);
            // Below a component that matches nothing, nothing can exist.
            matching = match.has_value();
            if (match) spelled = joinPath(resolved, *match);
        }
        resolved = std::move(spelled);
    }
    if (path.back() == '/' && (resolved.empty() || resolved.back() != '/')) resolved += '/';
    return resolved;
}

}  // namespace kz::platform
