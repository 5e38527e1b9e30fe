#include "platform/environment.h"

namespace kz::platform {

std::string expandEnvironmentText(std::string_view text) {
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find('%', from);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        out.append(text.substr(from, open - from));
        const std::string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value = name.empty() ? std::nullopt : getEnvironment(name);
        if (value) {
            out += *value;
            from = close + 1;
        } else {
            // The closing % may open the next name.
            out.append(text.substr(open, close - open));
            from = close;
        }
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace kz::platform
