#pragma once
// A connector queue, a quarantine and a bad-mail directory of their own for each test,
// reached through the registry as the agent reaches them.

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/registry_keys.h"
#include "message/message_context.h"
#include "platform/files.h"
#include "unit/config/config_fixture.h"

namespace kz::test {

inline std::string queueFixture(std::string_view name) {
    return readFile(fixture("queue/" + std::string(name)));
}

class QueueTest : public ConfigTest {
  protected:
    static constexpr std::string_view kConnector = "SMTP";
    static constexpr std::string_view kMessageId = "0F1E2D3C4B5A69788796A5B4C3D2E1F0.MAI";

    void SetUp() override {
        ConfigTest::SetUp();
        setString(config::kConnectorsKey, config::kConnectorRootDirectory, root());
        setString(config::kProductKey, config::kQuarantineDirectory, quarantine());
        setString(config::kProductKey, config::kBadMailDirectory, badMail());
        config::ReadRunDirectories();
        makeDirectories(inbound() + "/Messages");
        makeDirectories(quarantine());
        makeDirectories(badMail());
    }

  public:
    std::string root() const { return dir_.file("connectors"); }
    std::string quarantine() const { return dir_.file("quarantine"); }
    std::string badMail() const { return dir_.file("badmail"); }
    std::string inbound() const { return root() + "/" + std::string(kConnector) + "/Inbound"; }
    std::string commandFile() const { return inbound() + "/" + std::string(kMessageId); }
    std::string messageFile() const { return inbound() + "/Messages/" + std::string(kMessageId); }

  protected:
    MessageContext context() const {
        MessageContext context;
        context.connectorName = kConnector;
        context.messageId = kMessageId;
        return context;
    }

    // Queues the fixture command file and message file under kMessageId.
    void queueMessage(std::string_view commandFixture, std::string_view messageFixture) {
        writeFile(commandFile(), queueFixture(commandFixture));
        writeFile(messageFile(), queueFixture(messageFixture));
    }

    static void makeDirectories(const std::string& path) {
        std::filesystem::create_directories(path);
    }

    // Names in a folder that are not in `expected`: leftovers such as temporaries.
    static std::vector<std::string> strayNames(const std::string& folder,
                                               const std::vector<std::string>& expected) {
        std::vector<std::string> stray = platform::listDirectory(folder);
        std::erase_if(stray, [&](const std::string& name) {
            return std::find(expected.begin(), expected.end(), name) != expected.end();
        });
        return stray;
    }
};

}  // namespace kz::test
