#pragma once
// A daemon on a loopback port that answers as a test tells it: the responder sees what a
// connection sent so far (and whether the client finished sending) and returns the answer
// once it has one. A responder that never answers holds the connection open.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kz::test {

class FakeDaemon {
  public:
    using Responder = std::function<std::optional<std::string>(const std::string&, bool closed)>;

    explicit FakeDaemon(Responder responder) : responder_(std::move(responder)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof addr;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 8);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &size);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeDaemon() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    FakeDaemon(const FakeDaemon&) = delete;
    FakeDaemon& operator=(const FakeDaemon&) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_; }
    std::string received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }

  private:
    static bool readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 50) > 0;
    }

    void record(const std::string& got) {
        std::lock_guard lock(mutex_);
        received_ = got;
    }

    void serve() {
        while (!stop_) {
            if (!readable(fd_)) continue;
            const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            ++connections_;
            std::string got;
            bool closed = false;
            std::array<char, 65536> buffer;
            while (!stop_) {
                if (!closed && readable(connection)) {
                    ssize_t n = ::recv(connection, buffer.data(), buffer.size(), 0);
                    if (n > 0) got.append(buffer.data(), std::size_t(n));
                    closed = n <= 0;
                } else if (closed) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                if (auto answer = responder_(got, closed)) {
                    record(got);
                    ::send(connection, answer->data(), answer->size(), MSG_NOSIGNAL);
                    break;
                }
            }
            record(got);
            ::close(connection);
        }
    }

    Responder responder_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

}  // namespace kz::test
