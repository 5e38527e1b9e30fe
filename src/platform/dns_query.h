#pragma once
// DNS questions asked many at once through the system's asynchronous resolver (c-ares
// on Linux, DnsQueryEx on Windows) and all answered or given up by one deadline. The
// DNS blacklist library, the DKIM library and the agent's link lookups share it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// A DNS server from the administrator's list.
struct DnsServer {
    int family = 0;                // the system's AF_INET or AF_INET6
    unsigned char bytes[16] = {};  // the address in network byte order
    uint16_t port = 53;
};

struct DnsServerList {
    std::vector<DnsServer> servers;
    std::vector<std::string> rejected;  // items that are not an address
};

// "address" or "address:port" items separated by commas, semicolons or blanks; an IPv6
// address with a port is written "[address]:port".
DnsServerList parseDnsServerList(std::string_view text);

struct DnsQuestion {
    enum class Kind {
        Address,      // A records, from DNS only
        HostAddress,  // a host's IPv4 address as the system finds it (hosts file, then DNS)
        Text,         // TXT records
    };
    std::string name;
    Kind kind = Kind::Address;
};

struct DnsAnswer {
    enum class Status { Records, NoRecords, Failed };
    Status status = Status::Failed;
    std::vector<uint32_t> addresses;  // A records, host byte order
    std::vector<std::string> texts;   // TXT records, each one's strings joined
    std::chrono::seconds ttl{0};      // of the A records, the smallest
    // For NoRecords: the TTL the zone's SOA record gives such an answer, when it came along.
    std::optional<std::chrono::seconds> negativeTtl;
    bool timedOut = false;  // for Failed: no answer by the deadline
    std::string error;      // for Failed: what the resolver said
};

class DnsResolver {
  public:
    using Clock = std::chrono::steady_clock;

    // No servers: the system's resolver configuration. `perTry` bounds one server's try.
    DnsResolver(std::vector<DnsServer> servers, std::chrono::milliseconds perTry);
    ~DnsResolver();
    DnsResolver(const DnsResolver&) = delete;
    DnsResolver& operator=(const DnsResolver&) = delete;

    // One answer per question, in order; what has no answer by the deadline is Failed with
    // timedOut set. Thread-safe: concurrent callers do not wait for each other.
    std::vector<DnsAnswer> ask(const std::vector<DnsQuestion>& questions,
                               Clock::time_point deadline);

    // Whether questions can be sent with these servers at all.
    bool usable();

    // How questions go out in this process: "c-ares", "DnsQueryEx", or "DnsQuery" where
    // the system's DnsQueryEx turned out not to be implemented (Wine's is a stub).
    static std::string_view method();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kz::platform
