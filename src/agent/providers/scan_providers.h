#pragma once
// The scanning provider libraries, loaded at attach and released at detach.

#include <optional>
#include <string_view>

namespace kz::providers {

void LoadScanProviders();
void ReleaseScanProviders();
// The Bayesian provider's execute entry; empty when it has none.
std::optional<int> BayesianExecute(std::string_view command);

}  // namespace kz::providers
