#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "config/paths.h"
#include "config/registry_keys.h"
#include "unit/config/config_fixture.h"

namespace kz::test {
namespace {

using namespace kz::config;

class SettingsTest : public ConfigTest {};

TEST_F(SettingsTest, AttachSettingsReadFromTheRegistry) {
    loadFixture("settings.reg");
    ReadAttachSettings();
    EXPECT_EQ(Settings().uriSblMaxChecks, 20u);
    EXPECT_FALSE(Settings().spamAssassinOn());  // 2: on only when 1
    EXPECT_TRUE(Settings().spamAssassinBypassesAuthenticated());
}

TEST_F(SettingsTest, LocalDnsServerListHoldsUpTo2047Characters) {
    setString(kSmtpKey, kLocalDnsServerList, std::string(2047, '1'));
    setString(kSmtpKey, kLocalDomainName, std::string(1024, 'd'));
    ReadAttachSettings();
    EXPECT_EQ(Settings().localDnsServerList.size(), 2047u);
    EXPECT_EQ(Settings().localDomainName, "");
}

struct FirstUseCase {
    const char* name;
    std::string_view key;
    std::string_view value;
    uint32_t fallback;
    std::function<uint32_t()> read;
};

const FirstUseCase kFirstUse[] = {
    {"FilterMime", kProductKey, kFilterMime, 0, FilterMime},
    {"CaseSensitivity", kAgentKey, kCaseSensitivity, 0, CaseSensitivity},
    {"PerformSblRbl", kAgentKey, kPerformSblRbl, 0, PerformSblRbl},
    {"SpfHeaderCheck", kAgentKey, kSpfHeaderCheck, 0, SpfHeaderCheck},
    {"DebugDkim", kProductKey, kDebugDkim, 0, DebugDkim},
    {"AvBypassAuthenticated", kAgentKey, kAvBypassAuthenticated, 0, AvBypassAuthenticated},
    {"UseBufferAppendMode", kProductKey, kUseBufferAppendMode, 1, UseBufferAppendMode},
};

TEST_F(SettingsTest, FirstUseValuesKeepTheirFirstRead) {
    for (const FirstUseCase& c : kFirstUse) {
        EXPECT_EQ(c.read(), c.fallback) << c.name;
        setDword(c.key, c.value, 4);
        EXPECT_EQ(c.read(), c.fallback) << c.name << " changed before a restart";
    }
    RestartedSettings restarted;
    for (const FirstUseCase& c : kFirstUse) {
        EXPECT_EQ(c.read(), 4u) << c.name;
        setDword(c.key, c.value, 0);
        EXPECT_EQ(c.read(), 4u) << c.name;
    }
}

TEST_F(SettingsTest, AStoredSentinelIsReadOnlyOnce) {
    setDword(kAgentKey, kPerformSblRbl, 200000);
    setDword(kProductKey, kFilterMime, 0xFFFFFFFF);
    EXPECT_EQ(PerformSblRbl(), 200000u);
    EXPECT_EQ(FilterMime(), 0xFFFFFFFFu);
    setDword(kAgentKey, kPerformSblRbl, 0);
    setDword(kProductKey, kFilterMime, 0);
    EXPECT_EQ(PerformSblRbl(), 200000u);
    EXPECT_EQ(FilterMime(), 0xFFFFFFFFu);
}

TEST_F(SettingsTest, EveryUseValuesFollowTheRegistryAtOnce) {
    EXPECT_TRUE(PublicFoldersEnabled());  // on when absent
    setDword(kProductKey, kPublicFoldersEnabled, 0);
    setDword(kSmtpKey, kWhitelistOutboundIPAddressMode, 3);
    EXPECT_FALSE(PublicFoldersEnabled());
    EXPECT_EQ(WhitelistOutboundIPAddressMode(), 3u);
}

TEST_F(SettingsTest, ReloadIsRequestedOnlyByOneAndClearedToZero) {
    setDword(kAgentKey, kReload, 2);
    EXPECT_FALSE(ReloadRequested());
    setDword(kAgentKey, kReload, 1);
    EXPECT_TRUE(ReloadRequested());
    EXPECT_EQ(ClearReload(), 1);
    EXPECT_EQ(ReloadValue(), 0u);
}

TEST_F(SettingsTest, ForwardSenderFallsBackToTheNotificationSender) {
    EXPECT_EQ(ForwardSenderAddress(), "");
    setString(kSmtpKey, kBadMailNotificationSenderAddress, "postmaster@example.test");
    EXPECT_EQ(ForwardSenderAddress(), "postmaster@example.test");
    setString(kAgentKey, kForwardSenderAddress, "");
    EXPECT_EQ(ForwardSenderAddress(), "postmaster@example.test");
    setString(kAgentKey, kForwardSenderAddress, "filter@example.test");
    EXPECT_EQ(ForwardSenderAddress(), "filter@example.test");
}

TEST_F(SettingsTest, FilterAgentValuesLieUnderTheAgentsOwnKey) {
    const std::string key = std::string(kFiltersKey) + "\\AVAGENT";
    setString(kFiltersKey, kProcessingOrder, "MTAFILTER,AVAGENT");
    setDword(key, kAgentStatus, 1);
    setDword(key, kAgentPluginEnabled, 2);  // on only when 1
    setString(key, kAgentPluginProvider, "AVPLUGIN.DLL");
    EXPECT_EQ(ProcessingOrder(), "MTAFILTER,AVAGENT");
    EXPECT_TRUE(AgentEnabled("avagent"));
    EXPECT_FALSE(AgentPluginEnabled("AVAGENT"));
    std::string provider;
    EXPECT_EQ(AgentPluginProvider("AVAGENT", provider), 1);
    EXPECT_EQ(provider, "AVPLUGIN.DLL");
    EXPECT_FALSE(AgentEnabled("OTHER"));
    setString(key, kAgentPluginProvider, std::string(128, 'x'));
    EXPECT_EQ(AgentPluginProvider("AVAGENT", provider), 0);
}

// The directories, read at attach and per run.

class DirectoriesTest : public ConfigTest {};

TEST_F(DirectoriesTest, ValuesLongerThanTheirBufferReadAsEmpty) {
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(510, 'l'));
    setString(kProductKey, kMailRoot, "/" + std::string(1022, 'm'));
    setString(kProductKey, kConfigurationDirectory, "/" + std::string(1023, 'c'));
    ReadAttachDirectories();
    auto dirs = CurrentDirectories();
    EXPECT_EQ(dirs->activityLog.size(), 511u);
    EXPECT_EQ(dirs->mailRoot.size(), 1023u);
    EXPECT_EQ(dirs->configuration, "");
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(511, 'l'));
    ReadAttachDirectories();
    EXPECT_EQ(CurrentDirectories()->activityLog, "");
}

TEST_F(DirectoriesTest, EachRunRereadsOnlyItsFourDirectories) {
    loadFixture("settings.reg");
    ReadAttachDirectories();
    auto before = CurrentDirectories();

    for (auto [key, name] : {std::pair{kConnectorsKey, kConnectorRootDirectory},
                             {kProductKey, kConfigurationDirectory},
                             {kProductKey, kBadMailDirectory},
                             {kProductKey, kQuarantineDirectory},
                             {kProductKey, kMailRoot},
                             {kProductKey, kApplicationDirectory},
                             {kAgentKey, kActivityLogDirectory}})
        setString(key, name, "/new");
    ReadRunDirectories();

    // Attach read every directory, with native separators; a run rereads only four.
    auto after = CurrentDirectories();
    EXPECT_EQ(after->connectorRoot, "/new");
    EXPECT_EQ(after->configuration, "/new");
    EXPECT_EQ(after->badMail, "/new");
    EXPECT_EQ(after->quarantine, "/new");
    EXPECT_EQ(after->mailRoot, "C:/Kaztrel/Mail");
    EXPECT_EQ(after->application, "/opt/kz/lib");
    EXPECT_EQ(after->activityLog, "/var/log/kz");
    EXPECT_EQ(after->whitelistConfiguration, "C:/Kaztrel/Config");
    // A run that took its snapshot before the reread keeps seeing the old values.
    EXPECT_EQ(before->connectorRoot, "/var/spool/kz/connectors");
    EXPECT_EQ(ReadApplicationDirectory(), "/new");
}

TEST_F(DirectoriesTest, MailRootIsReadAgainWhileEmpty) {
    ReadAttachDirectories();
    ASSERT_EQ(CurrentDirectories()->mailRoot, "");
    setString(kProductKey, kMailRoot, "D:\\Mail");
    EXPECT_EQ(PostOfficeRoot("Main"), "D:/Mail/Main");
    setString(kProductKey, kMailRoot, "/elsewhere");
    EXPECT_EQ(PostOfficeRoot("Main"), "D:/Mail/Main");
}

TEST_F(DirectoriesTest, RunsReadWholeSnapshotsWhileAnotherRunRereads) {
    setString(kConnectorsKey, kConnectorRootDirectory, "/a");
    setString(kProductKey, kQuarantineDirectory, "/a");
    ReadAttachDirectories();
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done.load()) {
                ReadRunDirectories();
                auto dirs = CurrentDirectories();
                if (dirs->connectorRoot != "/a" && dirs->connectorRoot != "/b") ++torn;
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        const char* value = (i % 2) ? "/a" : "/b";
        registry().setString(kConnectorsKey, kConnectorRootDirectory, value);
        registry().setString(kProductKey, kQuarantineDirectory, value);
    }
    done = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(DerivedPathsTest, JoinDirectoryAndNameWithSlashes) {
    EXPECT_EQ(QueueMessageFile("/q", "SMTP", "A1.MAI"), "/q/SMTP/Inbound/Messages/A1.MAI");
    // Names from administrator data may carry Windows separators.
    EXPECT_EQ(CriteriaTablePath("/cfg", "Sub\\Spam"), "/cfg/FILTERS/CRITERIA/Sub/Spam.TAB");
}

}  // namespace
}  // namespace kz::test
