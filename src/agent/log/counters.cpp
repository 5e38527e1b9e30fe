#include "log/counters.h"

#include <chrono>

#include "base/installed.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "config/settings.h"
#include "log/debug_log.h"
#include "log/log_clock.h"

namespace kz::log {

namespace {

namespace reg = config::reg;

constexpr std::array<std::string_view, std::tuple_size_v<decltype(Counters::slots)>> kValueNames{
    reg::kBayesianTotalScans,  reg::kBayesianDetections, reg::kSaTotalScans, reg::kSaDetections,
    reg::kAntivirusTotalScans, reg::kAntivirusDetected,  reg::kDkimScans,    reg::kDkimDetections,
};

Counters::Slot* slot(Counter counter) {
    Counters* counters = Installed<Counters>::current();
    return counters ? &counters->slots[std::size_t(counter)] : nullptr;
}

bool statisticsOn() {
    return config::Settings().updateStatistics != 0;
}

}  // namespace

std::string_view CounterValueName(Counter counter) {
    return kValueNames[std::size_t(counter)];
}

uint32_t CounterValue(Counter counter) {
    Counters::Slot* s = slot(counter);
    return s ? s->count.load() : 0;
}

void IncrementCounter(Counter counter) {
    Counters::Slot* s = slot(counter);
    if (!statisticsOn() || !s) return;
    s->count.fetch_add(1);
    WriteCounterValue(counter);
}

void WriteCounterValue(Counter counter) {
    Counters::Slot* s = slot(counter);
    if (!s) return;
    std::lock_guard hold(s->writeMutex);
    WriteCounter(CounterValueName(counter), s->count.load());
}

void WriteCounter(std::string_view valueName, uint32_t value) {
    if (!statisticsOn()) return;
    if (config::RegWriteDword(reg::kCountersKey, valueName, value)) return;
    Counters* counters = Installed<Counters>::current();
    if (!counters || !counters->failureReported.exchange(true)) {
        std::string key(reg::kCountersKey);
        std::string name(valueName);
        DebugLogf(
            "KZ-IXXXX: Unable to save queue statistics for service. The service account may not "
            "have permission to write to the registry path %s, item %s\n",
            key.c_str(), name.c_str());
    }
}

void WriteServiceStart() {
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(LogNow().time_since_epoch()).count();
    WriteCounter(reg::kServiceStart, uint32_t(uint64_t(seconds) & 0xFFFFFFFFu));
}

void WriteProviderCountersAtAttach(const ProvidersAtAttach& enabled) {
    auto writePair = [](Counter total, Counter detections) {
        WriteCounterValue(total);
        WriteCounterValue(detections);
    };
    if (enabled.bayesian) writePair(Counter::BayesianTotalScans, Counter::BayesianDetections);
    if (enabled.spamAssassin) writePair(Counter::SaTotalScans, Counter::SaDetections);
    if (enabled.antivirus) writePair(Counter::AntivirusTotalScans, Counter::AntivirusDetected);
}

}  // namespace kz::log
