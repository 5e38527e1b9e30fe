#include "evaluate/evaluators_providers.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "base/ascii.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "config/settings.h"
#include "evaluate/evaluators_walk.h"
#include "providers/provider_verdicts.h"
#include "providers/scan_providers.h"

namespace kz::evaluate {

namespace {

constexpr TextLimit kFieldLimit{1024};

void writeBayesianCounters(const MessageContext& message) {
    providers::WriteCounters(message, log::Counter::BayesianTotalScans,
                             log::Counter::BayesianDetections);
}

void writeSpamAssassinCounters(const MessageContext& message) {
    providers::WriteCounters(message, log::Counter::SaTotalScans, log::Counter::SaDetections);
}

// Both counters after each filter of the table, as the statistics pages expect them
// to move while a message is being filtered.
template <typename Write>
void afterEachFilter(const FilterTable& table, const Write& write) {
    for (int position = 1; position <= table.filterCount(); ++position) write();
}

void compareScore(CriterionType kind, float score, const CriterionSlot& slot,
                  MatchResultBlock& block) {
    double threshold = std::atof(slot.data.c_str());
    if (threshold < score) block.hitCount[kind] += 1;
    for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
        threshold = std::atof(slot.instanceData(instance, kFieldLimit).c_str());
        if (threshold < score) {
            block.hitCount[kind] += 1;
            filters::kInstanceValueLimit.assign(block.instanceValue[kind][std::size_t(instance)],
                                                formatText("%f", score));
        }
    }
    block.matchText[kind] =
        formatBounded(filters::kMatchTextLimit, "<BFV>%f</BFV><BFT>%f</BFT>", score, threshold);
}

void compareStatus(CriterionType kind, long status, const CriterionSlot& slot,
                   MatchResultBlock& block) {
    if (status == std::atol(slot.data.c_str())) block.hitCount[kind] += 1;
    for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
        if (status == std::atol(slot.instanceData(instance, kFieldLimit).c_str())) {
            block.hitCount[kind] += 1;
            filters::kInstanceValueLimit.assign(block.instanceValue[kind][std::size_t(instance)],
                                                formatText("%ld", status));
        }
    }
    block.matchText[kind] = formatBounded(filters::kMatchTextLimit, "<PASS>%ld</PASS>", status);
}

long wantedDkimClass(const std::string& text) {
    if (equalsIgnoreCase(text, "FAIL")) return 0;
    if (equalsIgnoreCase(text, "PASS")) return 1;
    if (equalsIgnoreCase(text, "INDETERMINATE")) return 2;
    return std::atol(text.c_str());
}

}  // namespace

bool AnyFilterEnables(const FilterTable& table, CriterionType kind) {
    for (int position = 1; position <= table.filterCount(); ++position)
        if (table.filter(position).slots[kind].isEnabled()) return true;
    return false;
}

void EvaluateSpamProbability(Evaluation& evaluation) {
    constexpr CriterionType kind = SPAM_PROBABILITY;
    const FilterTable& table = evaluation.table();
    MessageContext& message = *evaluation.message();
    if (config::BayesianStatus() != providers::kProviderUsable) return;
    std::optional<float> score;
    if (AnyFilterEnables(table, kind)) score = providers::BayesianScore(message);
    if (score)
        ForEachEnabledSlot(evaluation, kind,
                           [&](const CriterionSlot& slot, MatchResultBlock& block) {
                               compareScore(kind, *score, slot, block);
                           });
    afterEachFilter(table, [&] { writeBayesianCounters(message); });
}

void EvaluateSpamAssassin(Evaluation& evaluation) {
    constexpr CriterionType kind = SPAMASSASSIN;
    const FilterTable& table = evaluation.table();
    MessageContext& message = *evaluation.message();
    const config::AttachSettings& settings = config::Settings();
    if (!settings.spamAssassinOn() ||
        providers::Providers().spamAssassin.status != providers::kProviderUsable)
        return;
    if (settings.spamAssassinBypassesAuthenticated() && message.authenticationStatus == 1) return;
    if (AnyFilterEnables(table, kind)) {
        const long status = providers::SpamAssassinStatus(message);
        ForEachEnabledSlot(evaluation, kind,
                           [&](const CriterionSlot& slot, MatchResultBlock& block) {
                               compareStatus(kind, status, slot, block);
                           });
    }
    afterEachFilter(table, [&] { writeSpamAssassinCounters(message); });
}

void EvaluateVirus(Evaluation& evaluation) {
    constexpr CriterionType kind = HASVIRUS;
    MessageContext& message = *evaluation.message();
    if (config::AvBypassAuthenticated() == 1 && message.authenticationStatus == 1) return;
    if (config::Settings().antivirusStatus != 1) return;
    if (!AnyFilterEnables(evaluation.table(), kind)) return;
    const providers::VirusScan scan = providers::ScanForVirus(message);
    const std::string verdict = formatText("%ld", long(scan.result));
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        if (scan.result == 1) {
            providers::CountVirusDetection(message);
            block.hitCount[kind] += 1;
            block.matchText[kind] = std::string(filters::kMatchTextLimit.cut(scan.text));
        }
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance)
            block.instanceValue[kind][std::size_t(instance)] = verdict;
    });
}

void CompareDkimClass(Evaluation& evaluation, int32_t dkimClass, long resultCode) {
    constexpr CriterionType kind = DKIM;
    const std::string code = formatText("%ld", resultCode);
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
            if (wantedDkimClass(slot.instanceData(instance, kFieldLimit)) != dkimClass) continue;
            block.hitCount[kind] += 1;
            filters::kInstanceValueLimit.assign(block.instanceValue[kind][std::size_t(instance)],
                                                code);
        }
        block.matchText[kind].clear();
    });
}

}  // namespace kz::evaluate
