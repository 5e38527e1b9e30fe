#pragma once
// A Postfix of the test's own, started as root in a temporary folder (its queue, data,
// log and mailbox files there), with kzmta milter in front of it.

#include <sys/types.h>

#include <memory>
#include <string>

#include "support/service.h"
#include "support/test_support.h"

namespace kz::test {

// Empty when this machine can run the Postfix of a test, else the reason.
std::string WhyPostfixCannotRun();

class PostfixWithMilter {
  public:
    PostfixWithMilter();
    ~PostfixWithMilter();
    PostfixWithMilter(const PostfixWithMilter&) = delete;
    PostfixWithMilter& operator=(const PostfixWithMilter&) = delete;

    TempDir dir;
    std::string postfix, etc, agent;
    int port;
    std::unique_ptr<Child> milter;

    // Empty when Postfix runs, else why it could not start. Without the milter Postfix
    // takes mail unfiltered (for comparison).
    std::string startPostfix(bool withMilter = true);
    // The master is not the caller's child: it is stopped by its process id, within a bound.
    void stopPostfix();
    // Starts kzmta milter on the socket Postfix uses; false when it does not listen.
    bool startMilter(const std::vector<std::string>& extraArgs = {},
                     const std::vector<std::string>& extraEnv = {});
    // The server's final reply code to the fixture message (milter/mail/NAME).
    int send(const std::string& message);
    // The same for a message file anywhere, from ann to `recipient`.
    int sendFile(const std::string& path, const std::string& recipient = "bob@example.com");
    std::string mailbox(const std::string& user) const;

  private:
    pid_t master_ = -1;
};

}  // namespace kz::test
