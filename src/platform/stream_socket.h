#pragma once
// A stream connection to a local daemon, over TCP ("host:port", "[v6 address]:port") or a
// Unix socket (any address that holds a '/'). Every operation ends by a deadline.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kz::platform {

class StreamConnection {
  public:
    using Clock = std::chrono::steady_clock;

    enum class ReceiveEnd { Closed, Terminator, Limit, TimedOut, Failed };

    ~StreamConnection();
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    // Connects within the timeout; a host without a port takes defaultPort. Null when it
    // cannot, with the reason in `why`.
    static std::unique_ptr<StreamConnection> connect(std::string_view address, uint16_t defaultPort,
                                                     std::chrono::milliseconds timeout,
                                                     std::string& why);

    // Sends all of `data` before the deadline.
    bool send(std::string_view data, Clock::time_point deadline);
    // Tells the peer that nothing more will be sent.
    void finishSending();
    // Appends what arrives to `out` until the peer closes, the terminator byte arrives
    // (kept in `out`), `out` holds `limit` bytes, or the deadline passes.
    ReceiveEnd receive(std::string& out, std::size_t limit, Clock::time_point deadline,
                       int terminator = -1);

    // Why the last operation failed or timed out.
    const std::string& error() const { return error_; }

  private:
    explicit StreamConnection(int fd) : fd_(fd) {}
    bool waitFor(short events, Clock::time_point deadline);
    int fd_;
    std::string error_;
};

}  // namespace kz::platform
