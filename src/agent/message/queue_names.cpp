#include "message/queue_names.h"

namespace kz {

bool IsSafeQueueName(std::string_view name) {
    if (name.empty() || name == ".") return false;
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) return false;
    return name.find("..") == std::string_view::npos;
}

}  // namespace kz
