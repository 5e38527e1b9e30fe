#pragma once
// The daemons the provider libraries talk to, each started by a test in its own scratch
// folder on loopback or a Unix socket, and stopped by its process id.

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace kz::test {

// A daemon process whose output goes to a log file in its folder.
class Daemon {
  public:
    Daemon() = default;
    ~Daemon() { stop(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Starts argv; true once `address` accepts connections, within `seconds`.
    bool start(const std::vector<std::string>& argv, const std::string& logFile,
               const std::string& address, int seconds);
    // SIGTERM, then SIGKILL when it has not ended within ten seconds.
    void stop();
    const std::string& log() const { return log_; }

  private:
    pid_t pid_ = -1;
    std::string log_;
};

// A free TCP port on 127.0.0.1.
int FreeLoopbackPort();
// True when a connection to the address ("host:port" or a socket path) succeeds.
bool Accepts(const std::string& address);

// spamd on a loopback port with its own site configuration: local tests only, no DNS.
struct Spamd {
    TempDir dir;
    std::string address;
    Daemon daemon;
    bool start();
};

// clamd on a Unix socket with a database made here: the MD5 of the EICAR test file and a
// string signature. "StreamMaxLength" is 1 MB.
struct Clamd {
    TempDir dir;
    std::string socket = dir.file("clamd.sock");
    Daemon daemon;
    bool start();
};

}  // namespace kz::test
