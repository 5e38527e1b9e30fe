#include "machine_registry.h"

#include <mutex>
#include <string>

namespace kz::providers {

std::shared_ptr<platform::Registry> MachineRegistry() {
    static std::mutex mutex;
    static std::shared_ptr<platform::Registry> current;
    std::string path = platform::Registry::defaultPath();
    std::lock_guard lock(mutex);
    if (!current || current->path() != path) current = std::make_shared<platform::Registry>(path);
    return current;
}

}  // namespace kz::providers
