#include "log/counters.h"

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>

#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "config/settings.h"
#include "log/debug_log.h"
#include "log/lasting.h"
#include "log/log_clock.h"

namespace kz::log {

namespace {

namespace reg = config::reg;

constexpr std::size_t kCounterCount = std::size_t(Counter::DkimDetections) + 1;

constexpr std::array<std::string_view, kCounterCount> kValueNames{
    reg::kBayesianTotalScans,  reg::kBayesianDetections, reg::kSaTotalScans, reg::kSaDetections,
    reg::kAntivirusTotalScans, reg::kAntivirusDetected,  reg::kDkimScans,    reg::kDkimDetections,
};

struct CounterSlot {
    std::atomic<uint32_t> count{0};
    // Writes of one counter go out one at a time, each with the count as it stands
    // then, so a slow write of an older count never lands after a newer one.
    std::mutex writeMutex;
};

struct Counters {
    std::array<CounterSlot, kCounterCount> slots;
    std::atomic<bool> failureReported{false};
};

Counters& counters() {
    return Lasting<Counters>();
}

CounterSlot& slot(Counter counter) {
    return counters().slots[std::size_t(counter)];
}

bool statisticsOn() {
    return config::Settings().UpdateStatistics != 0;
}

}  // namespace

std::string_view CounterValueName(Counter counter) {
    return kValueNames[std::size_t(counter)];
}

uint32_t CounterValue(Counter counter) {
    return slot(counter).count.load();
}

void IncrementCounter(Counter counter) {
    if (!statisticsOn()) return;
    slot(counter).count.fetch_add(1);
    WriteCounterValue(counter);
}

void WriteCounterValue(Counter counter) {
    CounterSlot& s = slot(counter);
    std::lock_guard hold(s.writeMutex);
    WriteCounter(CounterValueName(counter), s.count.load());
}

int WriteCounter(std::string_view valueName, uint32_t value) {
    if (!statisticsOn()) return 1;
    if (config::RegWriteDword(reg::kCountersKey, valueName, value)) return 1;
    if (!counters().failureReported.exchange(true)) {
        std::string key(reg::kCountersKey);
        std::string name(valueName);
        DebugLogf(
            "KZ-IXXXX: Unable to save queue statistics for service. The service account may not "
            "have permission to write to the registry path %s, item %s\n",
            key.c_str(), name.c_str());
    }
    return 1;
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

void ResetCountersAtAttach() {
    for (CounterSlot& s : counters().slots) s.count.store(0);
    counters().failureReported.store(false);
}

}  // namespace kz::log
