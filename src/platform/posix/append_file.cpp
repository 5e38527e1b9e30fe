#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace kz::platform {

AppendFile::~AppendFile() {
    close();
}

bool AppendFile::open(std::string_view path) {
    close();
    fd_ = ::open(std::string(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

bool AppendFile::append(std::string_view text) {
    if (fd_ < 0) return false;
    // A regular file takes the whole text in one write; only after a short write (a
    // full disk, a signal) is the rest sent in a second one.
    while (!text.empty()) {
        ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(size_t(n));
    }
    return true;
}

void AppendFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace kz::platform
