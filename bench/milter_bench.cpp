// Mail through a Postfix of the benchmark's own, once without and once with kzmta milter
// in front of it: messages per second from the first MAIL FROM to the last delivery into
// the mailbox file, and the mean SMTP transaction. The difference of the transactions is
// what the milter (spool, agent run, changes sent back) adds to each message. Needs root
// and the Postfix package, as its end-to-end test does.
//
//   build/bin/milter_bench [MESSAGES [CONNECTIONS]]

#include <chrono>
#include <cstdio>
#include <string>

#include "e2e/milter_postfix.h"

namespace {

using namespace kz::test;

struct Figures {
    double messagesPerSecond = 0;
    double transactionSeconds = 0;
};

std::size_t Delivered(const PostfixWithMilter& mta) {
    std::string box = mta.mailbox("bob");
    std::size_t n = 0;
    for (std::size_t at = 0; (at = box.find("Message-ID: <report@", at)) != std::string::npos; ++at)
        ++n;
    return n;
}

bool Measure(PostfixWithMilter& mta, int messages, int connections, Figures& out) {
    auto started = std::chrono::steady_clock::now();
    RunOutput sent = run({"python3", fixture("milter/send_many.py"), std::to_string(mta.port),
                          std::to_string(messages), std::to_string(connections),
                          fixture("milter/mail/report.eml")});
    if (sent.status != 0) {
        std::fprintf(stderr, "sending failed: %s%s\n", sent.out.c_str(), sent.err.c_str());
        return false;
    }
    if (!WaitFor([&] { return Delivered(mta) >= std::size_t(messages); },
                 std::chrono::seconds(300))) {
        std::fprintf(stderr, "only %zu of %d messages were delivered\n", Delivered(mta), messages);
        return false;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out.messagesPerSecond = messages / seconds;
    out.transactionSeconds = std::stod(sent.out.substr(sent.out.find(' ') + 1));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int messages = argc > 1 ? std::atoi(argv[1]) : 300;
    int connections = argc > 2 ? std::atoi(argv[2]) : 4;
    if (std::string why = WhyPostfixCannotRun(); !why.empty()) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    Figures without, with;
    {
        PostfixWithMilter mta;
        if (std::string why = mta.startPostfix(false); !why.empty()) {
            std::printf("skipped: %s\n", why.c_str());
            return 0;
        }
        if (!Measure(mta, messages, connections, without)) return 1;
    }
    {
        PostfixWithMilter mta;
        if (std::string why = mta.startPostfix(true); !why.empty()) {
            std::printf("skipped: %s\n", why.c_str());
            return 0;
        }
        if (!mta.startMilter({"--threads", std::to_string(connections)})) return 1;
        if (!Measure(mta, messages, connections, with)) return 1;
    }
    std::printf("%d messages of %zu bytes over %d connections\n", messages,
                readFile(fixture("milter/mail/report.eml")).size(), connections);
    std::printf("Postfix alone:       %8.1f messages/s, %7.2f ms per SMTP transaction\n",
                without.messagesPerSecond, without.transactionSeconds * 1000);
    std::printf("Postfix with milter: %8.1f messages/s, %7.2f ms per SMTP transaction\n",
                with.messagesPerSecond, with.transactionSeconds * 1000);
    std::printf("Milter overhead:     %8.2f ms per message\n",
                (with.transactionSeconds - without.transactionSeconds) * 1000);
    return 0;
}
