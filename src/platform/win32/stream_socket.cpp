// Stream connections over Winsock. Unix sockets are not offered here: an address with a
// '/' is refused.

#include "platform/stream_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/host_port.h"
#include "platform/socket_wait.h"
#include "platform/win32/windows_text.h"
#include "platform/win32/winsock_start.h"

namespace kz::platform {

namespace {

using Clock = StreamConnection::Clock;

// Waits until the socket is ready for `events`; false on timeout (WSAETIMEDOUT) or error.
bool pollFor(SOCKET s, short events, Clock::time_point deadline) {
    WSAPOLLFD p{s, events, 0};
    int n = WSAPoll(&p, 1, millisecondsLeft(deadline));
    if (n > 0) return true;
    if (n == 0) WSASetLastError(WSAETIMEDOUT);
    return false;
}

SOCKET connectTo(const addrinfo* a, Clock::time_point deadline) {
    SOCKET s = socket(a->ai_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, a->ai_addr, int(a->ai_addrlen)) == 0) return s;
    if (WSAGetLastError() == WSAEWOULDBLOCK && pollFor(s, POLLWRNORM, deadline)) {
        int error = 0;
        int size = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
            error == 0)
            return s;
        WSASetLastError(error);
    }
    int saved = WSAGetLastError();
    closesocket(s);
    WSASetLastError(saved);
    return INVALID_SOCKET;
}

SOCKET connectTcp(std::string_view address, uint16_t defaultPort, Clock::time_point deadline,
                  std::string& why) {
    std::string host, port;
    if (!splitHostAndPort(address, defaultPort, host, port)) {
        why = "bad address: " + std::string(address);
        return INVALID_SOCKET;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        why = std::string(address) + ": " + win32::errorText(DWORD(rc));
        return INVALID_SOCKET;
    }
    SOCKET s = connectFirst(found, INVALID_SOCKET,
                            [&](const addrinfo* a) { return connectTo(a, deadline); });
    if (s == INVALID_SOCKET)
        why = std::string(address) + ": " + win32::errorText(WSAGetLastError());
    freeaddrinfo(found);
    return s;
}

SOCKET socketOf(int fd) {
    return SOCKET(fd);
}

}  // namespace

std::unique_ptr<StreamConnection> StreamConnection::connect(std::string_view address,
                                                            uint16_t defaultPort,
                                                            std::chrono::milliseconds timeout,
                                                            std::string& why) {
    if (address.find('/') != std::string_view::npos) {
        why = std::string(address) + ": local sockets are not available on this system";
        return nullptr;
    }
    if (!win32::startWinsock()) {
        why = "Winsock is not available";
        return nullptr;
    }
    SOCKET s = connectTcp(address, defaultPort, Clock::now() + timeout, why);
    if (s == INVALID_SOCKET) return nullptr;
    // Socket handles are small kernel handle values; they fit the descriptor field.
    return std::unique_ptr<StreamConnection>(new StreamConnection(int(s)));
}

StreamConnection::~StreamConnection() {
    closesocket(socketOf(fd_));
}

bool StreamConnection::waitFor(short events, Clock::time_point deadline) {
    if (pollFor(socketOf(fd_), events, deadline)) return true;
    int error = WSAGetLastError();
    error_ = error == WSAETIMEDOUT ? "timed out" : win32::errorText(DWORD(error));
    return false;
}

bool StreamConnection::send(std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        int chunk = int(std::min<size_t>(data.size(), 1u << 20));
        int n = ::send(socketOf(fd_), data.data(), chunk, 0);
        if (n > 0) {
            data.remove_prefix(std::size_t(n));
        } else if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!waitFor(POLLWRNORM, deadline)) return false;
        } else {
            error_ = win32::errorText(DWORD(WSAGetLastError()));
            return false;
        }
    }
    return true;
}

void StreamConnection::finishSending() {
    shutdown(socketOf(fd_), SD_SEND);
}

StreamConnection::ReceiveEnd StreamConnection::receive(std::string& out, std::size_t limit,
                                                       Clock::time_point deadline, int terminator) {
    std::array<char, 16384> buffer;
    while (out.size() < limit) {
        const int want = int(std::min(buffer.size(), limit - out.size()));
        int n = recv(socketOf(fd_), buffer.data(), want, 0);
        if (n > 0) {
            out.append(buffer.data(), std::size_t(n));
            if (terminator >= 0 && std::memchr(buffer.data(), terminator, std::size_t(n)))
                return ReceiveEnd::Terminator;
        } else if (n == 0) {
            return ReceiveEnd::Closed;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!waitFor(POLLRDNORM, deadline))
                return error_ == "timed out" ? ReceiveEnd::TimedOut : ReceiveEnd::Failed;
        } else {
            error_ = win32::errorText(DWORD(WSAGetLastError()));
            return ReceiveEnd::Failed;
        }
    }
    return ReceiveEnd::Limit;
}

}  // namespace kz::platform
