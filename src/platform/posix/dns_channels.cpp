#include "platform/posix/dns_channels.h"

#include <ares.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kz::platform::posix {

namespace {

// Channels kept for reuse; more concurrent callers make and drop their own.
constexpr std::size_t kMaxIdleChannels = 16;

void startLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

}  // namespace

void RunChannel(ares_channeldata* channel, const int& remaining,
                DnsChannels::Clock::time_point deadline) {
    while (remaining > 0) {
        const auto now = DnsChannels::Clock::now();
        if (now >= deadline) break;
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const bool readable = ARES_GETSOCK_READABLE(bits, i);
            const bool writable = ARES_GETSOCK_WRITABLE(bits, i);
            if (!readable && !writable) continue;
            fds[count++] = {sockets[i],
                            static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0)),
                            0};
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        timeval longest{static_cast<time_t>(left.count() / 1000000),
                        static_cast<suseconds_t>(left.count() % 1000000)};
        timeval wait{};
        ares_timeout(channel, &longest, &wait);
        const int waitMs = static_cast<int>(wait.tv_sec * 1000 + (wait.tv_usec + 999) / 1000);
        const int ready = poll(fds, count, waitMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
            continue;
        }
        for (nfds_t i = 0; i < count; ++i) {
            const short events = fds[i].revents;
            ares_process_fd(channel,
                            (events & (POLLIN | POLLERR | POLLHUP)) ? fds[i].fd : ARES_SOCKET_BAD,
                            (events & POLLOUT) ? fds[i].fd : ARES_SOCKET_BAD);
        }
    }
    if (remaining > 0) ares_cancel(channel);
}

DnsChannels::DnsChannels(std::vector<DnsServer> servers, std::chrono::milliseconds timeout)
    : servers_(std::move(servers)), timeout_(timeout) {
    startLibrary();
}

DnsChannels::~DnsChannels() {
    for (ares_channel channel : idle_) ares_destroy(channel);
}

bool DnsChannels::usable() {
    ares_channel channel = borrow();
    if (!channel) return false;
    giveBack(channel);
    return true;
}

ares_channeldata* DnsChannels::makeChannel() const {
    ares_options options{};
    options.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES;
    // One try per server, all within the caller's bound.
    const auto perServer = timeout_ / std::max<std::size_t>(1, servers_.size());
    options.timeout = static_cast<int>(std::max<std::int64_t>(perServer.count(), 1));
    options.tries = 1;
    ares_channel channel = nullptr;
    if (ares_init_options(&channel, &options,
                          ARES_OPT_FLAGS | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES) != ARES_SUCCESS)
        return nullptr;
    if (servers_.empty()) return channel;
    std::vector<ares_addr_port_node> nodes(servers_.size());
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        ares_addr_port_node& node = nodes[i];
        node.next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
        node.family = servers_[i].family;
        if (node.family == AF_INET)
            std::memcpy(&node.addr.addr4, servers_[i].bytes, sizeof node.addr.addr4);
        else
            std::memcpy(&node.addr.addr6, servers_[i].bytes, sizeof node.addr.addr6);
        node.udp_port = node.tcp_port = servers_[i].port;
    }
    if (ares_set_servers_ports(channel, nodes.data()) != ARES_SUCCESS) {
        ares_destroy(channel);
        return nullptr;
    }
    return channel;
}

ares_channeldata* DnsChannels::borrow() {
    {
        std::lock_guard hold(mutex_);
        if (!idle_.empty()) {
            ares_channel channel = idle_.back();
            idle_.pop_back();
            return channel;
        }
    }
    return makeChannel();
}

void DnsChannels::giveBack(ares_channeldata* channel) {
    {
        std::lock_guard hold(mutex_);
        if (idle_.size() < kMaxIdleChannels) {
            idle_.push_back(channel);
            return;
        }
    }
    ares_destroy(channel);
}

}  // namespace kz::platform::posix
