#include "platform/guid.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/posix/unique_fd.h"

namespace kz::platform {

namespace {

bool fillFromGetrandom(Guid& bytes) {
    size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t n = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        filled += size_t(n);
    }
    return true;
}

// For kernels without getrandom (or a seccomp filter that refuses it).
bool fillFromUrandom(Guid& bytes) {
    posix::UniqueFd fd(::open("/dev/urandom", O_RDONLY | O_CLOEXEC));
    size_t filled = 0;
    while (fd.valid() && filled < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return false;
        }
        filled += size_t(n);
    }
    return filled == bytes.size();
}

}  // namespace

Guid newGuid() {
    Guid bytes{};
    if (!fillFromGetrandom(bytes) && !fillFromUrandom(bytes)) {
        std::random_device device;
        for (uint8_t& b : bytes) b = uint8_t(device());
    }
    bytes[6] = uint8_t((bytes[6] & 0x0F) | 0x40);  // version 4: random
    bytes[8] = uint8_t((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return bytes;
}

}  // namespace kz::platform
