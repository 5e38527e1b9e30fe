#include "platform/process_info.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>

namespace kz::platform {

std::string executablePath() {
    std::string path(PATH_MAX, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    // A full buffer may be a cut path; better none than a wrong one.
    if (n <= 0 || size_t(n) >= path.size()) return {};
    path.resize(size_t(n));
    return path;
}

uint64_t currentProcessId() {
    return uint64_t(::getpid());
}

int lastErrorCode() {
    return errno;
}

}  // namespace kz::platform
