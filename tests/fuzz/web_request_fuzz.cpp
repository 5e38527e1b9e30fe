// Fuzz target: what the console server reads from a request itself: the login body, the
// Cookie header, the report-log query and its days, and report lines read back for the
// search. Sections (form feeds): body, cookie header, query text (name=value&...), report
// line. Nothing throws; what is accepted obeys the bounds the server relies on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "report_search.h"
#include "request.h"

namespace {

kz::tool::web::QueryParams params(std::string_view query) {
    kz::tool::web::QueryParams out;
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        std::size_t equals = pair.find('=');
        out.emplace(std::string(pair.substr(0, equals)),
                    equals == std::string_view::npos ? std::string()
                                                     : std::string(pair.substr(equals + 1)));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kz::tool::web;
    auto sections = kz::fuzz::Sections(std::string_view(reinterpret_cast<const char*>(data), size));
    sections.resize(4);

    if (auto password = LoginPassword(sections[0]))
        KZ_FUZZ_CHECK(sections[0].size() <= kMaxLoginBody);

    std::string cookie = CookieValue(sections[1], "kzsession");
    KZ_FUZZ_CHECK(cookie.size() <= sections[1].size());
    KZ_FUZZ_CHECK(cookie.find(';') == std::string::npos);

    std::string why;
    auto query_params = params(sections[2]);
    if (auto query = ParseLogQuery(query_params, &why)) {
        KZ_FUZZ_CHECK(query->page <= kMaxPage);
        KZ_FUZZ_CHECK(query->sender.size() <= kMaxSearchText &&
                      query->subject.size() <= kMaxSearchText &&
                      query->filter.size() <= kMaxSearchText);
        for (auto day : {query->since, query->until})
            KZ_FUZZ_CHECK(!day || (*day >= 19700101 && *day % 100 >= 1 && *day % 100 <= 31 &&
                                   *day / 100 % 100 >= 1 && *day / 100 % 100 <= 12));
    } else {
        KZ_FUZZ_CHECK(!why.empty());
    }
    ParseStatsRange(query_params, &why);

    if (auto line = ParseReportLine(sections[3])) {
        KZ_FUZZ_CHECK(line->action != "Start" && line->action != "End" && !line->action.empty());
        KZ_FUZZ_CHECK(line->time.find('\t') == std::string::npos);
    }
    return 0;
}
