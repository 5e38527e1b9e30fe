#include <functional>
#include <string>

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

TEST_F(SettingsTest, BayesianStatusCopyIsOverwrittenWithoutTouchingTheSetting) {
    setDword(kAgentKey, kBayesianFilteringStatus, 7);
    ReadAttachSettings();
    EXPECT_EQ(BayesianStatus(), 7u);
    SetBayesianStatus(3);
    EXPECT_EQ(BayesianStatus(), 3u);
    EXPECT_EQ(Settings().bayesianFilteringStatus, 7u);
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
    EXPECT_TRUE(ClearReload());
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
    EXPECT_TRUE(AgentPluginProvider("AVAGENT", provider));
    EXPECT_EQ(provider, "AVPLUGIN.DLL");
    EXPECT_FALSE(AgentEnabled("OTHER"));
    setString(key, kAgentPluginProvider, std::string(128, 'x'));
    EXPECT_FALSE(AgentPluginProvider("AVAGENT", provider));
}

}  // namespace
}  // namespace kz::test
