#include <gtest/gtest.h>

#include "config/settings.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

using providers::Providers;

class ProviderLoading : public ProviderTest {};

TEST_F(ProviderLoading, BayesianLoadPaths) {
    struct Case {
        const char* stub;  // nullptr: no library
        uint32_t loadMode;
        uint32_t status;
        const char* console;
        bool initialised;
    };
    const Case cases[] = {
        {nullptr, 1, 3, "Bayesian Filter - Unable to locate Filter Provider.\n", false},
        {"kzstub_provider", 1, 1,
         "Bayesian Filter Loading Library..\nBayesian Filter - Loading Dictionary..\n"
         "Bayesian Filter - Loading Complete.\n",
         true},
        {"kzstub_provider_partial", 1, 3,
         "Bayesian Filter Loading Library..\nBayesian Filter - Loading Dictionary..\n"
         "Bayesian Filter - Loading Failed.\n",
         false},
        // Load mode 0 trusts the library: its configured status stands, nothing is checked.
        {"kzstub_provider_second", 0, 1,
         "Bayesian Filter Loading Library..\nBayesian Filter - Loading Dictionary..\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stub ? c.stub : "no library");
        providers::ReleaseScanProviders();
        std::filesystem::remove_all(appDir());
        std::filesystem::create_directories(appDir());
        if (c.stub) install(c.stub, "KZFLTMBF");
        setDword(reg::kAgentKey, reg::kBayesianFilteringStatus, 1);
        setDword(reg::kAgentKey, reg::kBayesianFilteringLoadMode, c.loadMode);
        EXPECT_EQ(attach(), c.console);
        EXPECT_EQ(config::BayesianStatus(), c.status);
        const auto noted = c.stub ? calls("KZFLTMBF") : std::vector<std::string>{};
        EXPECT_EQ(!noted.empty() && noted.front() == "KZ_Initialize||0", c.initialised);
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
