#pragma once
// A connector queue and a mail store of their own for each action test.

#include <string>
#include <string_view>

#include "config/registry_keys.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {

inline std::string actionFixture(std::string_view name) {
    return readFile(fixture("actions/" + std::string(name)));
}

class ActionsTest : public QueueTest {
  protected:
    static constexpr std::string_view kPostOffice = "Main";
    static constexpr std::string_view kMailbox = "joe";

    void SetUp() override {
        QueueTest::SetUp();
        setString(config::kProductKey, config::kMailRoot, mailRoot());
        config::ReadAttachDirectories();
        config::ReadRunDirectories();
        makeDirectories(mailboxRoot());
        makeDirectories(mailRoot() + "/" + std::string(kPostOffice) + "/PUBROOT");
    }

    std::string mailRoot() const { return dir_.file("mail"); }
    std::string mailboxRoot() const {
        return mailRoot() + "/" + std::string(kPostOffice) + "/MAILROOT/" + std::string(kMailbox);
    }
    std::string pubRoot() const { return mailRoot() + "/" + std::string(kPostOffice) + "/PUBROOT"; }

    MessageContext mailboxContext() const {
        MessageContext c = context();
        c.account = kPostOffice;
        c.user = kMailbox;
        return c;
    }

    // Queues only the message file of the named fixture.
    void queueMessageFile(std::string_view messageFixture) {
        writeFile(messageFile(), actionFixture(messageFixture));
    }
};

}  // namespace kz::test
