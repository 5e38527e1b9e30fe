#pragma once
// The parts of an HTTP request the console reads itself, all of them outside input: the
// login body, the session cookie, held-message ids in paths and the report-log query.
// Each is bounded and validated before anything else sees it; none throws.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kz::tool::web {

// Query parameters as the HTTP library gives them (decoded, repeated names allowed).
using QueryParams = std::multimap<std::string, std::string>;

constexpr std::size_t kMaxLoginBody = 4096;
constexpr std::size_t kMaxSearchText = 200;
constexpr unsigned kMaxPage = 1000;

// The password of a login body {"password": "..."}; null for anything else (not JSON, not
// an object, no string "password", too long).
std::optional<std::string> LoginPassword(std::string_view body);

// The value of cookie `name` in a Cookie header; empty when absent.
std::string CookieValue(std::string_view header, std::string_view name);

// A day as YYYYMMDD from "YYYY-MM-DD"; null for anything else, impossible dates included.
std::optional<int> ParseDay(std::string_view text);

struct LogQuery {
    std::string sender;  // substrings, compared without regard to ASCII case
    std::string subject;
    std::string filter;
    std::optional<int> since;  // days as ParseDay gives them, both included
    std::optional<int> until;
    unsigned page = 0;  // from 0, newest lines first
};

// The report-log search of GET /api/log; null with `why` for a malformed or too long
// parameter or an unknown one (a misspelt name would otherwise search everything).
std::optional<LogQuery> ParseLogQuery(const QueryParams& params, std::string* why);

// GET /api/stats: since and until as days, and period "day" (the default) or "hour";
// null with `why` otherwise.
struct StatsRange {
    std::optional<int> since;
    std::optional<int> until;
    bool hourly = false;
};
std::optional<StatsRange> ParseStatsRange(const QueryParams& params, std::string* why);

}  // namespace kz::tool::web
