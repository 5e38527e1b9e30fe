#pragma once
// The machine registry as a provider library reads it: one parsed copy shared by every
// call, reopened when the environment names another file.

#include <memory>

#include "platform/registry.h"

namespace kz::providers {

std::shared_ptr<platform::Registry> MachineRegistry();

}  // namespace kz::providers
