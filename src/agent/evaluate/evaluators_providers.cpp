#include "evaluate/evaluators_providers.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "base/ascii.h"
#include "base/bounded_text.h"
#include "base/format.h"
#include "config/settings.h"
#include "evaluate/evaluators_walk.h"
#include "providers/provider_verdicts.h"
#include "providers/scan_providers.h"

namespace kz::filters {

namespace {

constexpr std::size_t kFieldSize = 1024;

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
    for (int position = 1; position <= table.filterCount; ++position) write();
}

void compareScore(CriterionType kind, float score, const CriterionSlot& slot,
                  MatchResultBlock& block) {
    double threshold = std::atof(slot.data.c_str());
    if (threshold < score) block.hitCount[kind] += 1;
    for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
        threshold = std::atof(slot.instanceData(instance, kFieldSize).c_str());
        if (threshold < score) {
            block.hitCount[kind] += 1;
            assignCut(block.instanceValue[kind][std::size_t(instance)], formatText("%f", score),
                      kInstanceValueSize);
        }
    }
    block.matchText[kind] =
        formatBounded(kMatchTextSize, "<BFV>%f</BFV><BFT>%f</BFT>", score, threshold);
}

void compareStatus(CriterionType kind, long status, const CriterionSlot& slot,
                   MatchResultBlock& block) {
    if (status == std::atol(slot.data.c_str())) block.hitCount[kind] += 1;
    for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
        if (status == std::atol(slot.instanceData(instance, kFieldSize).c_str())) {
            block.hitCount[kind] += 1;
            assignCut(block.instanceValue[kind][std::size_t(instance)], formatText("%ld", status),
                      kInstanceValueSize);
        }
    }
    block.matchText[kind] = formatBounded(kMatchTextSize, "<PASS>%ld</PASS>", status);
}

long wantedDkimClass(const std::string& text) {
    if (equalsIgnoreCase(text, "FAIL")) return 0;
    if (equalsIgnoreCase(text, "PASS")) return 1;
    if (equalsIgnoreCase(text, "INDETERMINATE")) return 2;
    return std::atol(text.c_str());
}

}  // namespace

bool AnyFilterEnables(const FilterTable& table, CriterionType kind) {
    for (int position = 1; position <= table.filterCount; ++position)
        if (table.filter(position).slots[kind].isEnabled()) return true;
    return false;
}

int EvaluateSpamProbability(CriterionType kind, MessageContext& message, const FilterTable& table,
                            CriteriaResults& results) {
    if (config::BayesianStatus() != providers::kProviderUsable) return 1;
    std::optional<float> score;
    if (AnyFilterEnables(table, kind)) score = providers::BayesianScore(message);
    if (score)
        ForEachEnabledSlot(table, results, kind,
                           [&](const CriterionSlot& slot, MatchResultBlock& block) {
                               compareScore(kind, *score, slot, block);
                           });
    afterEachFilter(table, [&] { writeBayesianCounters(message); });
    return 1;
}

int EvaluateSpamAssassin(CriterionType kind, MessageContext& message, const FilterTable& table,
                         CriteriaResults& results) {
    const config::AttachSettings& settings = config::Settings();
    if (!settings.spamAssassinOn() ||
        providers::Providers().spamAssassin.status != providers::kProviderUsable)
        return 0;
    if (settings.spamAssassinBypassesAuthenticated() && message.AuthenticationStatus == 1) return 0;
    if (AnyFilterEnables(table, kind)) {
        const long status = providers::SpamAssassinStatus(message);
        ForEachEnabledSlot(table, results, kind,
                           [&](const CriterionSlot& slot, MatchResultBlock& block) {
                               compareStatus(kind, status, slot, block);
                           });
    }
    afterEachFilter(table, [&] { writeSpamAssassinCounters(message); });
    return 1;
}

int EvaluateVirusCriterion(CriterionType kind, MessageContext& message, const FilterTable& table,
                           CriteriaResults& results) {
    if (config::AvBypassAuthenticated() == 1 && message.AuthenticationStatus == 1) return 1;
    if (config::Settings().AntivirusStatus != 1) return 1;
    if (!AnyFilterEnables(table, kind)) return 1;
    const providers::VirusScan scan = providers::ScanForVirus(message);
    const std::string verdict = formatText("%ld", long(scan.result));
    ForEachEnabledSlot(
        table, results, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
            if (scan.result == 1) {
                providers::CountVirusDetection(message);
                block.hitCount[kind] += 1;
                block.matchText[kind] = std::string(cutToBuffer(scan.text, kMatchTextSize));
            }
            for (int instance = 0; instance < slot.resultInstanceCount(); ++instance)
                block.instanceValue[kind][std::size_t(instance)] = verdict;
        });
    return 1;
}

void CompareDkimClass(CriterionType kind, int32_t dkimClass, long resultCode,
                      const FilterTable& table, CriteriaResults& results) {
    const std::string code = formatText("%ld", resultCode);
    ForEachEnabledSlot(
        table, results, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
            for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
                if (wantedDkimClass(slot.instanceData(instance, kFieldSize)) != dkimClass) continue;
                block.hitCount[kind] += 1;
                assignCut(block.instanceValue[kind][std::size_t(instance)], code,
                          kInstanceValueSize);
            }
            block.matchText[kind].clear();
        });
}

}  // namespace kz::filters
