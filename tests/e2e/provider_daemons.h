#pragma once
// The daemons the provider libraries talk to, each started by a test in its own scratch
// folder on loopback or a Unix socket.

#include <string>

#include "support/service.h"
#include "support/test_support.h"

namespace kz::test {

// spamd on a loopback port with the site configuration of
// tests/fixtures/providers/daemons/spamd: local tests only, no DNS.
struct Spamd {
    TempDir dir;
    std::string address;
    Daemon daemon;
    bool start();
};

// clamd on a Unix socket with the database of tests/fixtures/providers/daemons/clamd: the
// MD5 of the EICAR test file and a string signature. "StreamMaxLength" is 1 MB.
struct Clamd {
    TempDir dir;
    std::string socket = dir.file("clamd.sock");
    Daemon daemon;
    bool start();
};

}  // namespace kz::test
