#pragma once
// A registry copied from tests/fixtures/whitelist/whitelist.reg, with the Configuration
// Directory pointing at the marker-file tree tests/fixtures/whitelist/config.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "host/agent.h"
#include "support/test_support.h"

namespace kz::whitelist::testing {

class WhitelistTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    host::Agent agent{dir.file("registry.reg")};

    void SetUp() override {
        test::writeFile(dir.file("registry.reg"),
                        test::readFile(test::fixture("whitelist/whitelist.reg")));
        useConfigurationDirectory(test::fixture("whitelist/config"));
    }

    // As at attach: the whitelist copy of the directory is read only then.
    void useConfigurationDirectory(const std::string& path) {
        ASSERT_TRUE(config::machineRegistry()
                        .setString(config::kProductKey, config::kConfigurationDirectory, path)
                        .ok());
        config::ReadAttachDirectories();
    }

    void setSmtpDword(std::string_view name, uint32_t value) {
        ASSERT_TRUE(config::RegWriteDword(config::kSmtpKey, name, value));
    }
};

}  // namespace kz::whitelist::testing
