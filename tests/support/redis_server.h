#pragma once
// A redis-server of the test's own on a Unix socket (and a loopback port), keeping its
// data in the test's folder across a stop and a start, as a server that restarts does.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/service.h"
#include "support/test_support.h"

namespace kz::test {

struct RedisServer {
    TempDir dir;
    std::string socket = dir.file("redis.sock");
    int port = FreeLoopbackPort();
    std::string password;  // requirepass when not empty
    Daemon daemon;

    // Starts it, or again after stop() with the data it saved.
    bool start() {
        std::vector<std::string> argv = {"redis-server", "--port", std::to_string(port), "--bind",
                                         "127.0.0.1", "--unixsocket", socket, "--unixsocketperm",
                                         "700", "--dir", dir.path(),
                                         // Saved when stopped, loaded when started again.
                                         "--save", "3600 1", "--appendonly", "no", "--logfile", ""};
        if (!password.empty()) argv.insert(argv.end(), {"--requirepass", password});
        const std::string log = dir.file("redis.log");
        writeFile(log, "");
        return daemon.start(
            argv, log,
            [log] {
                return readFile(log).find("Ready to accept connections") != std::string::npos;
            },
            20);
    }
    void stop() { daemon.stop(); }
    std::string log() const { return readFile(dir.file("redis.log")); }

    std::string unixUrl(int database = 0) const {
        return "redis+unix://" + socket + "?db=" + std::to_string(database);
    }
    std::string tcpUrl(int database = 0) const {
        return "redis://127.0.0.1:" + std::to_string(port) + "/" + std::to_string(database);
    }
};

// A loopback port whose connections are taken in and never answered: a server that hangs.
class SilentListener {
  public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(fd_, 16) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentListener() {
        if (fd_ >= 0) close(fd_);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace kz::test
