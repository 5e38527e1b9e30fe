#pragma once
// What the stream sockets of both systems share: the poll timeout left before a
// deadline, and the walk over the resolved addresses of a host.

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "platform/stream_socket.h"

namespace kz::platform {

// The milliseconds a poll may wait for the deadline: none once it has passed, at most a day.
inline int millisecondsLeft(StreamConnection::Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - StreamConnection::Clock::now());
    return int(std::clamp<int64_t>(left.count(), 0, 24 * 3600 * 1000));
}

// Tries the resolved addresses (an addrinfo list of either system) in order until
// connectOne gives a socket other than `none`; `none` when every one fails.
template <typename AddressInfo, typename Socket, typename ConnectOne>
Socket connectFirst(const AddressInfo* found, Socket none, ConnectOne&& connectOne) {
    Socket socket = none;
    for (const AddressInfo* a = found; a && socket == none; a = a->ai_next) socket = connectOne(a);
    return socket;
}

}  // namespace kz::platform
