#pragma once
// The statistics counters: DWORD values under the counters key, each mirrored by a
// process-wide in-memory count that starts at 0 at attach. Nothing is kept or written
// while "Update Statistics" (read at attach) is 0.

#include <cstdint>
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
// silent. Always 1.
int WriteCounter(std::string_view valueName, uint32_t value);

// "Service Start": the current time in seconds since 1970 (UTC), low 32 bits.
void WriteServiceStart();

// The providers enabled at attach, whose two counters restart from 0 in the registry.
struct ProvidersAtAttach {
    bool bayesian = false;
    bool spamAssassin = false;
    bool antivirus = false;
};
void WriteProviderCountersAtAttach(const ProvidersAtAttach& enabled);

// At attach: every in-memory count back to 0 and the failure report armed again.
void ResetCountersAtAttach();

}  // namespace kz::log
