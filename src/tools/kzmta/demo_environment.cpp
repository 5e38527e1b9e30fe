#include "demo_environment.h"

#include <filesystem>
#include <stdexcept>

#include "config/registry_keys.h"
#include "demo_files.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/utf8_path.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

void Write(const std::string& path, const std::string& content) {
    fs::create_directories(platform::pathFromUtf8(path).parent_path());
    if (!platform::writeFileAtomic(path, content)) throw std::runtime_error("cannot write " + path);
}

void Set(platform::Registry& registry, std::string_view key, std::string_view name,
         const std::string& text) {
    auto result = registry.setString(key, name, text);
    if (!result.ok()) throw std::runtime_error("cannot write the registry file: " + result.message);
}

void SetDword(platform::Registry& registry, std::string_view key, std::string_view name,
              uint32_t value) {
    auto result = registry.setDword(key, name, value);
    if (!result.ok()) throw std::runtime_error("cannot write the registry file: " + result.message);
}

void WriteRegistry(const DemoEnvironment& env, const std::string& libraryDir) {
    platform::Registry registry(env.registry);
    const std::string& root = env.root;
    Set(registry, config::kProductKey, config::kConfigurationDirectory, root + "/config");
    Set(registry, config::kProductKey, config::kApplicationDirectory, libraryDir);
    Set(registry, config::kProductKey, config::kMailRoot, root + "/mail");
    Set(registry, config::kProductKey, config::kBadMailDirectory, root + "/badmail");
    Set(registry, config::kProductKey, config::kQuarantineDirectory, root + "/quarantine");
    SetDword(registry, config::kProductKey, config::kFilterMime, 1);
    Set(registry, config::kConnectorsKey, config::kConnectorRootDirectory, env.connectorRoot);
    Set(registry, config::kSmtpKey, config::kLocalDomainName, "example.com");
    Set(registry, config::kSmtpKey, config::kBadMailNotificationSenderAddress,
        "postmaster@example.com");
    SetDword(registry, config::kAgentKey, config::kActivityLogEnabled, 1);
    Set(registry, config::kAgentKey, config::kActivityLogDirectory, env.logDirectory);
    SetDword(registry, config::kAgentKey, config::kAllowPatternCaching, 1);
}

std::string CommandFile(const DemoMail& mail) {
    std::string subject = mail.body.substr(mail.body.find("Subject: ") + 9);
    subject = subject.substr(0, subject.find("\r\n"));
    return "Recipients=" + mail.recipients + "\r\nSender=" + mail.sender +
           "\r\nServer=mx1.example.com\r\nClientIP=" + mail.clientIp +
           "\r\nAccount=example.com\r\nUser=alice\r\nStatus=Undelivered\r\nCommandType="
           "SMTP\r\nSubject=" +
           subject + "\r\nTimeAcquired=1796548500\r\n";
}

}  // namespace

DemoEnvironment CreateDemoEnvironment(const std::string& root, const std::string& libraryDir) {
    DemoEnvironment env;
    env.root =
        platform::utf8FromPath(fs::absolute(platform::pathFromUtf8(root)).lexically_normal());
    if (!env.root.empty() && env.root.back() == '/') env.root.pop_back();
    fs::remove_all(platform::pathFromUtf8(env.root));
    // Alice's mailbox of post office example.com, where COPY files into her folders.
    for (const char* dir :
         {"config", "mail/example.com/MAILROOT/alice", "badmail", "quarantine", "logs"}) {
        fs::create_directories(platform::pathFromUtf8(env.root + "/" + dir));
    }
    env.registry = env.root + "/registry.reg";
    env.connectorRoot = env.root + "/queue";
    env.connector = "SMTP";
    env.logDirectory = env.root + "/logs";
    WriteRegistry(env, libraryDir);

    for (const auto& [name, content] : DemoConfigurationFiles())
        Write(env.root + "/config/" + name, content);

    std::string inbound = env.connectorRoot + "/" + env.connector + "/Inbound";
    fs::create_directories(platform::pathFromUtf8(inbound + "/Messages"));
    fs::create_directories(
        platform::pathFromUtf8(env.connectorRoot + "/" + env.connector + "/Outgoing/Messages"));
    for (const DemoMail& mail : DemoMails()) {
        // Message file first, command file last, as the MTA queues a message.
        Write(inbound + "/Messages/" + mail.id, mail.body);
        Write(inbound + "/" + mail.id, CommandFile(mail));
        env.messages.push_back({mail.id, mail.summary});
    }
    return env;
}

}  // namespace kz::tool
