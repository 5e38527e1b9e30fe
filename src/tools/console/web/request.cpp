#include "request.h"

#include <charconv>
#include <nlohmann/json.hpp>

namespace kz::tool::web {

std::optional<std::string> LoginPassword(std::string_view body) {
    if (body.size() > kMaxLoginBody) return std::nullopt;
    // No exceptions: a malformed body is a discarded value.
    nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_object()) return std::nullopt;
    auto found = parsed.find("password");
    if (found == parsed.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        std::size_t semicolon = header.find(';');
        std::string_view pair = header.substr(0, semicolon);
        header =
            semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name)
            return std::string(pair.substr(equals + 1));
    }
    return {};
}

namespace {

bool digits(std::string_view text, int& out) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return std::from_chars(text.data(), text.data() + text.size(), out).ec == std::errc();
}

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::optional<std::string> boundedText(const std::string& value, std::string_view name,
                                       std::string* why) {
    if (value.size() <= kMaxSearchText) return value;
    if (why) *why = std::string(name) + " is longer than 200 characters";
    return std::nullopt;
}

bool dayParameter(const std::string& name, const std::string& value, std::optional<int>& out,
                  std::string* why) {
    out = ParseDay(value);
    if (out) return true;
    if (why) *why = name + " must be a date YYYY-MM-DD";
    return false;
}

}  // namespace

std::optional<int> ParseDay(std::string_view text) {
    int year = 0, month = 0, day = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digits(text.substr(0, 4), year) ||
        !digits(text.substr(5, 2), month) || !digits(text.substr(8, 2), day))
        return std::nullopt;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || month < 1 || month > 12 || day < 1) return std::nullopt;
    const int last = kDays[month - 1] + (month == 2 && leapYear(year) ? 1 : 0);
    if (day > last) return std::nullopt;
    return year * 10000 + month * 100 + day;
}

std::optional<LogQuery> ParseLogQuery(const QueryParams& params, std::string* why) {
    LogQuery query;
    for (const auto& [name, value] : params) {
        if (name == "sender" || name == "subject" || name == "filter") {
            auto text = boundedText(value, name, why);
            if (!text) return std::nullopt;
            (name == "sender"    ? query.sender
             : name == "subject" ? query.subject
                                 : query.filter) = *text;
        } else if (name == "since" || name == "until") {
            if (!dayParameter(name, value, name == "since" ? query.since : query.until, why))
                return std::nullopt;
        } else if (name == "page") {
            int page = 0;
            if (value.size() > 4 || !digits(value, page) || unsigned(page) > kMaxPage) {
                if (why) *why = "page must be a number from 0 to 1000";
                return std::nullopt;
            }
            query.page = unsigned(page);
        } else {
            if (why) *why = "unknown parameter " + name.substr(0, 40);
            return std::nullopt;
        }
    }
    return query;
}

std::optional<StatsRange> ParseStatsRange(const QueryParams& params, std::string* why) {
    StatsRange range;
    for (const auto& [name, value] : params) {
        if (name == "period" && (value == "day" || value == "hour")) {
            range.hourly = value == "hour";
            continue;
        }
        if (name == "period") {
            if (why) *why = "period must be day or hour";
            return std::nullopt;
        }
        if (name != "since" && name != "until") {
            if (why) *why = "unknown parameter " + name.substr(0, 40);
            return std::nullopt;
        }
        if (!dayParameter(name, value, name == "since" ? range.since : range.until, why))
            return std::nullopt;
    }
    return range;
}

}  // namespace kz::tool::web
