#pragma once
// A dnsmasq on 127.0.0.1 at a free port that serves made-up zones for the DNS tests:
// the names of an addn-hosts file plus the options given, nothing from the system's
// resolver configuration. Stopped by its process id; every wait is bounded.

#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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
    ~DnsmasqServer() { stop(); }
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
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        writeFile(log_, "");
        if (posix_spawnp(&pid_, "dnsmasq", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            throw std::runtime_error("dnsmasq cannot be started");
        }
        // Ready once it has read the hosts file; gone early when the port was taken.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (readFile(log_).find("read " + hostsFile) != std::string::npos) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop();
        return false;
    }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }

    TempDir dir_;
    std::string log_ = dir_.file("dnsmasq.log");
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace kz::test
