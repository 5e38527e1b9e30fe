#include <gtest/gtest.h>

#include "config/settings.h"
#include "support/case_file.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

using providers::Providers;

class ProviderLoading : public ProviderTest {};

TEST_F(ProviderLoading, BayesianLoadPaths) {
    for (const CaseLine& c : ReadCaseFile("providers/bayesian_load_cases.txt")) {
        SCOPED_TRACE(c.fields[0]);
        providers::ReleaseScanProviders();
        std::filesystem::remove_all(appDir());
        std::filesystem::create_directories(appDir());
        if (c.fields[0] != "-") install(c.fields[0], "KZFLTMBF");
        setDword(reg::kAgentKey, reg::kBayesianFilteringStatus, 1);
        setDword(reg::kAgentKey, reg::kBayesianFilteringLoadMode,
                 uint32_t(std::stoul(c.fields[1])));
        EXPECT_EQ(attach(), Unescape(c.fields[3]));
        EXPECT_EQ(config::BayesianStatus(), std::stoul(c.fields[2]));
        const auto noted = c.fields[0] != "-" ? calls("KZFLTMBF") : std::vector<std::string>{};
        EXPECT_EQ(!noted.empty() && noted.front() == "KZ_Initialize||0", c.fields[4] == "1");
    }
    // The second names work as the execute entry without initialise.
    EXPECT_NE(Providers().bayesian.execute, nullptr);
}

TEST_F(ProviderLoading, SpamAssassinKnowsNoSecondNamesAndDkimUsesTheGeneralLoader) {
    install("kzstub_provider_second", "KZFLTMSA");
    install("kzstub_provider", "KZDomainKeys");
    setDword(reg::kAgentKey, reg::kSpamAssassinEnabled, 1);
    setDword(reg::kSmtpKey, reg::kDomainKeysStatus, 5);
    EXPECT_EQ(attach(),
              "Domain Keys Loading Library..\nDomain Keys - Loading Complete.\n"
              "SA Filter Loading Library..\nSA Filter - Loading Failed.\n");
    EXPECT_EQ(Providers().spamAssassin.status, providers::kProviderFailed);
    EXPECT_EQ(Providers().dkim.status, providers::kProviderUsable);

    providers::ReleaseScanProviders();
    EXPECT_EQ(calls("KZDomainKeys"),
              (std::vector<std::string>{"KZ_Initialize||0", "KZ_CleanUp||0"}));
}

TEST_F(ProviderLoading, AntivirusWithoutLibraryAndProvidersThatAreOff) {
    install("kzstub_provider", "KZFLTMBF");
    setDword(reg::kAgentKey, reg::kAntivirusStatus, 1);
    setDword(reg::kAgentKey, reg::kSpamAssassinEnabled, 2);  // on only when 1
    EXPECT_EQ(attach(), "Antivirus Loading - Unable to locate Filter Provider.\n");
    EXPECT_EQ(Providers().antivirus.execute, nullptr);
    EXPECT_EQ(Providers().bayesian.module, nullptr);
    EXPECT_EQ(Providers().spamAssassin.module, nullptr);
}

TEST_F(ProviderLoading, BayesianCommandGoesToTheExecuteEntry) {
    EXPECT_EQ(providers::BayesianExecute("TRAIN SPAM"), std::nullopt);
    install("kzstub_provider", "KZFLTMBF");
    setDword(reg::kAgentKey, reg::kBayesianFilteringStatus, 1);
    attach();
    answer("KZFLTMBF", "<RC>0</RC>");
    EXPECT_EQ(providers::BayesianExecute("TRAIN SPAM"), 0);
    EXPECT_EQ(calls("KZFLTMBF").back(), "KZ_Execute|TRAIN SPAM|0");
}

}  // namespace
}  // namespace kz::test
