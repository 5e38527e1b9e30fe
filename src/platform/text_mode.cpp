#include "platform/files.h"

namespace kz::platform {

// Each CR LF becomes LF, as the Windows runtime's text mode reads it.
std::optional<std::string> readTextFile(std::string_view path) {
    std::optional<std::string> content = readFile(path);
    if (!content) return content;
    std::string& text = *content;
    size_t out = 0;
    for (size_t in = 0; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n') continue;
        text[out++] = text[in];
    }
    text.resize(out);
    return content;
}

}  // namespace kz::platform
