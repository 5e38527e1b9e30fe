#include "blacklist_lookup.h"

#include <optional>

#include "answer_meaning.h"
#include "library_log.h"
#include "platform/ip_address.h"
#include "query_names.h"

namespace kz::windns {

namespace {

std::string skippedNote(long skipped) {
    return skipped > 0 ? " (" + std::to_string(skipped) + " more such lines left out)" : "";
}

}  // namespace

// One line for each answer that came fresh from a server (answers from the cache were
// reported when they came); a zone's problems at most once a minute.
void BlacklistLookup::report(const std::string& name, const Zone& zone,
                             const QueryOutcome& outcome) {
    const Verdict verdict = MeaningOf(outcome, zone);
    const bool problem =
        outcome.status == QueryOutcome::Status::Failed || verdict.meaning == Meaning::Refused;
    if (problem) {
        const long skipped = throttle_.admit(zone.name, ReportThrottle::Clock::now());
        if (skipped < 0) return;
        if (verdict.meaning == Meaning::Refused) {
            LogLine(kLogProblem, "zone " + zone.name + " refused the query for " + name +
                                     " (answer " + platform::formatIPv4(verdict.answer) +
                                     "); not taken as listed" + skippedNote(skipped));
        } else {
            LogLine(kLogProblem, "zone " + zone.name + " gave no answer for " + name + ": " +
                                     outcome.error + skippedNote(skipped));
        }
    } else if (verdict.meaning == Meaning::Listed) {
        LogLine(kLogListed, name + " is listed: " + platform::formatIPv4(verdict.answer));
    } else {
        LogLine(kLogDetail, name + " is not listed");
    }
}

BlacklistLookup::BlacklistLookup(BlacklistSettings settings,
                                 std::vector<platform::DnsServer> servers)
    : settings_(std::move(settings)), client_(std::move(servers), settings_.timeout) {}

std::vector<BlacklistLookup::Question> BlacklistLookup::questionsFor(
    std::string_view host, std::string_view address) const {
    std::vector<Question> questions;
    const std::optional<std::string> hostName = LinkHostName(host);
    const std::optional<std::string> domain = hostName && !settings_.domainZones.zones.empty()
                                                  ? RegisteredDomain(*hostName)
                                                  : std::nullopt;
    if (domain) {
        for (const Zone& zone : settings_.domainZones.zones) {
            if (auto name = QueryName(*domain, zone.name)) questions.push_back({&zone, *name});
        }
    }
    if (const std::optional<std::string> reversed = ReversedAddress(address)) {
        for (const Zone& zone : settings_.addressZones.zones) {
            if (auto name = QueryName(*reversed, zone.name)) questions.push_back({&zone, *name});
        }
    }
    return questions;
}

bool BlacklistLookup::isListed(std::string_view host, std::string_view address, Listing& listing) {
    const std::vector<Question> questions = questionsFor(host, address);
    std::vector<std::optional<QueryOutcome>> outcomes(questions.size());
    std::vector<std::string> unknown;
    std::vector<std::size_t> unknownAt;
    const auto now = AnswerCache::Clock::now();
    for (std::size_t i = 0; i < questions.size(); ++i) {
        outcomes[i] = cache_.find(questions[i].name, now);
        if (outcomes[i]) continue;
        unknown.push_back(questions[i].name);
        unknownAt.push_back(i);
    }
    if (!unknown.empty()) {
        std::vector<QueryOutcome> fresh = client_.ask(unknown);
        const auto answeredAt = AnswerCache::Clock::now();
        for (std::size_t j = 0; j < fresh.size(); ++j) {
            const Question& question = questions[unknownAt[j]];
            report(question.name, *question.zone, fresh[j]);
            cache_.store(question.name, fresh[j], answeredAt);
            outcomes[unknownAt[j]] = std::move(fresh[j]);
        }
    }
    for (std::size_t i = 0; i < questions.size(); ++i) {
        const Verdict verdict = MeaningOf(*outcomes[i], *questions[i].zone);
        if (verdict.meaning != Meaning::Listed) continue;
        listing.answer = platform::formatIPv4(verdict.answer);
        listing.zone = questions[i].zone->name;
        return true;
    }
    return false;
}

}  // namespace kz::windns
