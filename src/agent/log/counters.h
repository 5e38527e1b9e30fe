#pragma once
// The statistics counters: DWORD values under the counters key, each mirrored by an
// in-memory count of the attached process that starts at 0. Nothing is kept or written
// while "Update Statistics" (read at attach) is 0.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace kz::log {

enum class Counter {
    BayesianTotalScans,
    BayesianDetections,
    SaTotalScans,
    SaDetections,
    AntivirusTotalScans,
    AntivirusDetected,
    DkimScans,
    DkimDetections,
};

// The in-memory counts of one attached process, which its owner installs
// (Installed<Counters>); without them nothing is counted.
struct Counters {
    struct Slot {
        std::atomic<uint32_t> count{0};
        // Writes of one counter go out one at a time, each with the count as it stands
        // then, so a slow write of an older count never lands after a newer one.
        std::mutex writeMutex;
    };
    std::array<Slot, std::size_t(Counter::DkimDetections) + 1> slots;
    // A failed write is reported once per process.
    std::atomic<bool> failureReported{false};
};

// The registry value name, e.g. "Bayesian Total Scans".
std::string_view CounterValueName(Counter counter);

// Adds one to the in-memory count (no increment is ever lost between threads), then
// writes the count.
void IncrementCounter(Counter counter);
// Writes the in-memory count as it stands.
void WriteCounterValue(Counter counter);
uint32_t CounterValue(Counter counter);

// Writes one DWORD under the counters key, creating the key when missing. The first
// failure in the process is reported once through the DebugLog; later ones are
// silent (without installed counters every failure is reported).
void WriteCounter(std::string_view valueName, uint32_t value);

// "Service Start": the current time in seconds since 1970 (UTC), low 32 bits.
void WriteServiceStart();

// The providers enabled at attach, whose two counters restart from 0 in the registry.
struct ProvidersAtAttach {
    bool bayesian = false;
    bool spamAssassin = false;
    bool antivirus = false;
};
void WriteProviderCountersAtAttach(const ProvidersAtAttach& enabled);

}  // namespace kz::log
