#include "platform/stream_socket.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/host_port.h"
#include "platform/socket_wait.h"

namespace kz::platform {

namespace {

using Clock = StreamConnection::Clock;

// Waits until fd is ready for `events`; false on timeout (errno ETIMEDOUT) or error.
bool pollFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, millisecondsLeft(deadline));
        if (n > 0) return true;
        if (n == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) return false;
    }
}

// Connects a new non-blocking socket of the address to `addr`; the descriptor or -1.
int connectTo(int family, const sockaddr* addr, socklen_t length, Clock::time_point deadline) {
    int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (::connect(fd, addr, length) == 0) return fd;
    if (errno == EINPROGRESS && pollFor(fd, POLLOUT, deadline)) {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) return fd;
        errno = error;
    }
    int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

int connectUnix(const std::string& path, Clock::time_point deadline, std::string& why) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        why = "socket path too long: " + path;
        return -1;
    }
    std::memcpy(addr.sun_path, path.data(), path.size());
    int fd = connectTo(AF_UNIX, reinterpret_cast<const sockaddr*>(&addr), sizeof addr, deadline);
    if (fd < 0) why = path + ": " + std::strerror(errno);
    return fd;
}

int connectTcp(std::string_view address, uint16_t defaultPort, Clock::time_point deadline,
               std::string& why) {
    std::string host, port;
    if (!splitHostAndPort(address, defaultPort, host, port)) {
        why = "bad address: " + std::string(address);
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        why = std::string(address) + ": " + ::gai_strerror(rc);
        return -1;
    }
    int fd = connectFirst(found, -1, [&](const addrinfo* a) {
        return connectTo(a->ai_family, a->ai_addr, a->ai_addrlen, deadline);
    });
    if (fd < 0) why = std::string(address) + ": " + std::strerror(errno);
    ::freeaddrinfo(found);
    return fd;
}

}  // namespace

std::unique_ptr<StreamConnection> StreamConnection::connect(std::string_view address,
                                                            uint16_t defaultPort,
                                                            std::chrono::milliseconds timeout,
                                                            std::string& why) {
    const Clock::time_point deadline = Clock::now() + timeout;
    int fd = address.find('/') != std::string_view::npos
                 ? connectUnix(std::string(address), deadline, why)
                 : connectTcp(address, defaultPort, deadline, why);
    if (fd < 0) return nullptr;
    return std::unique_ptr<StreamConnection>(new StreamConnection(fd));
}

StreamConnection::~StreamConnection() {
    ::close(fd_);
}

bool StreamConnection::waitFor(short events, Clock::time_point deadline) {
    if (pollFor(fd_, events, deadline)) return true;
    error_ = errno == ETIMEDOUT ? "timed out" : std::strerror(errno);
    return false;
}

bool StreamConnection::send(std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(std::size_t(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(POLLOUT, deadline)) return false;
        } else if (n < 0 && errno != EINTR) {
            error_ = std::strerror(errno);
            return false;
        }
    }
    return true;
}

void StreamConnection::finishSending() {
    ::shutdown(fd_, SHUT_WR);
}

StreamConnection::ReceiveEnd StreamConnection::receive(std::string& out, std::size_t limit,
                                                       Clock::time_point deadline, int terminator) {
    std::array<char, 16384> buffer;
    while (out.size() < limit) {
        const std::size_t want = std::min(buffer.size(), limit - out.size());
        ssize_t n = ::recv(fd_, buffer.data(), want, 0);
        if (n > 0) {
            out.append(buffer.data(), std::size_t(n));
            if (terminator >= 0 && std::memchr(buffer.data(), terminator, std::size_t(n)))
                return ReceiveEnd::Terminator;
        } else if (n == 0) {
            return ReceiveEnd::Closed;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(POLLIN, deadline))
                return error_ == "timed out" ? ReceiveEnd::TimedOut : ReceiveEnd::Failed;
        } else if (errno != EINTR) {
            error_ = std::strerror(errno);
            return ReceiveEnd::Failed;
        }
    }
    return ReceiveEnd::Limit;
}

}  // namespace kz::platform
