#pragma once
// A dnsmasq on 127.0.0.1 at a free port that serves made-up zones for the DNS tests:
// the names of an addn-hosts file plus the options given, nothing from the system's
// resolver configuration.

#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/service.h"
#include "support/test_support.h"

namespace kz::test {

// A UDP port on 127.0.0.1 that receives and never answers: a DNS server that is down.
class SilentServer {
  public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no UDP port");
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { close(fd_); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

class DnsmasqServer {
  public:
    DnsmasqServer(const std::string& hostsFile, const std::vector<std::string>& options) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (start(hostsFile, options)) return;
        }
        throw std::runtime_error("dnsmasq did not start: " + readFile(log_));
    }
    DnsmasqServer(const DnsmasqServer&) = delete;
    DnsmasqServer& operator=(const DnsmasqServer&) = delete;

    int port() const { return port_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

    // How many A questions for `name` reached the server.
    int questionsFor(const std::string& name) const {
        const std::string text = readFile(log_);
        const std::string needle = "query[A] " + name + " from";
        int count = 0;
        for (std::size_t at = 0; (at = text.find(needle, at)) != std::string::npos; ++at) ++count;
        return count;
    }

  private:
    static int freePort() {
        SilentServer probe;
        return probe.port();
    }

    bool start(const std::string& hostsFile, const std::vector<std::string>& options) {
        port_ = freePort();
        const passwd* user = getpwuid(getuid());
        const group* grp = getgrgid(getgid());
        std::vector<std::string> args = {"dnsmasq",
                                         "--keep-in-foreground",
                                         "--conf-file=/dev/null",
                                         "--no-resolv",
                                         "--no-hosts",
                                         "--listen-address=127.0.0.1",
                                         "--bind-interfaces",
                                         "--port=" + std::to_string(port_),
                                         "--addn-hosts=" + hostsFile,
                                         "--local-ttl=300",
                                         "--log-facility=" + log_,
                                         "--log-queries",
                                         "--pid-file=",
                                         std::string("--user=") + (user ? user->pw_name : "root"),
                                         std::string("--group=") + (grp ? grp->gr_name : "root")};
        args.insert(args.end(), options.begin(), options.end());
        writeFile(log_, "");
        // Ready once it has read the hosts file; gone early when the port was taken.
        if (daemon_.start(
                args, dir_.file("dnsmasq.out"),
                [&] { return readFile(log_).find("read " + hostsFile) != std::string::npos; }, 10))
            return true;
        daemon_.stop();
        return false;
    }

    TempDir dir_;
    std::string log_ = dir_.file("dnsmasq.log");
    int port_ = 0;
    Daemon daemon_;
};

}  // namespace kz::test
