#pragma once
// A loopback port scripted by a test. With an answer, it takes one connection, reads
// until the client has finished sending and answers. Without one it listens but never
// accepts: clients connect and then wait in vain.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <string>
#include <thread>

namespace kz::test {

class FakeDaemon {
  public:
    explicit FakeDaemon(std::string answer = {}) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof addr;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 8);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &size);
        port_ = ntohs(addr.sin_port);
        if (!answer.empty()) thread_ = std::thread([this, answer] { serve(answer); });
    }
    ~FakeDaemon() {
        ::shutdown(fd_, SHUT_RDWR);  // ends an accept still waiting
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    FakeDaemon(const FakeDaemon&) = delete;
    FakeDaemon& operator=(const FakeDaemon&) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // What the client sent; waits for the exchange to end.
    const std::string& received() {
        if (thread_.joinable()) thread_.join();
        return received_;
    }
    // Whether a client connected to a port that does not answer.
    bool connected() const {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, 0) <= 0) return false;
        int connection = ::accept(fd_, nullptr, nullptr);
        if (connection >= 0) ::close(connection);
        return connection >= 0;
    }

  private:
    void serve(const std::string& answer) {
        const int connection = ::accept(fd_, nullptr, nullptr);
        if (connection < 0) return;
        std::array<char, 65536> buffer;
        for (ssize_t n; (n = ::recv(connection, buffer.data(), buffer.size(), 0)) > 0;)
            received_.append(buffer.data(), std::size_t(n));
        ::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(connection);
    }

    int fd_ = -1;
    int port_ = 0;
    std::string received_;
    std::thread thread_;
};

}  // namespace kz::test
