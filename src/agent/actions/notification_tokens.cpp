#include "actions/notification_tokens.h"

#include "filters/result_tokens.h"

namespace kz::actions {

namespace {

// Replaces each occurrence that fits, left to right; inserted values are not searched.
void replaceWhereItFits(std::string& line, std::string_view token, std::string_view value,
                        std::size_t lineSize) {
    for (std::size_t at = line.find(token); at != std::string::npos; at = line.find(token, at)) {
        if (line.size() - token.size() + value.size() < lineSize) {
            line.replace(at, token.size(), value);
            at += value.size();
        } else {
            at += token.size();
        }
    }
}

}  // namespace

void ExpandNotificationTokens(std::string& line, const NamedTokens& tokens,
                              std::string_view matchDescription, std::size_t lineSize) {
    if (line.find("[KZ_") == std::string::npos) return;
    for (const auto& [token, value] : tokens) replaceWhereItFits(line, token, value, lineSize);
    filters::ExpandResultTokens(matchDescription, line, lineSize, 1);
}

}  // namespace kz::actions
