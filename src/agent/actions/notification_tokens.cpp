#include "actions/notification_tokens.h"

#include "filters/result_tokens.h"

namespace kz::actions {

namespace {

// Replaces each occurrence that fits, left to right; inserted values are not searched.
void replaceWhereItFits(std::string& line, std::string_view token, std::string_view value,
                        TextLimit lineLimit) {
    for (std::size_t at = line.find(token); at != std::string::npos; at = line.find(token, at)) {
        if (line.size() - token.size() + value.size() < lineLimit.bufferSize) {
            line.replace(at, token.size(), value);
            at += value.size();
        } else {
            at += token.size();
        }
    }
}

}  // namespace

void ExpandNotificationTokens(std::string& line, const NamedTokens& tokens,
                              std::string_view matchDescription, TextLimit lineLimit) {
    if (line.find("[KZ_") == std::string::npos) return;
    for (const auto& [token, value] : tokens) replaceWhereItFits(line, token, value, lineLimit);
    filters::ExpandResultTokens(matchDescription, line, lineLimit, 1);
}

}  // namespace kz::actions
