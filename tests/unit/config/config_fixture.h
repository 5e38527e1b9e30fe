#pragma once
// A machine registry of its own for each configuration test, in a scratch folder.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "config/registry_access.h"
#include "config/settings.h"
#include "host/agent.h"
#include "platform/registry.h"
#include "support/test_support.h"

namespace kz::test {

class ConfigTest : public ::testing::Test {
  protected:
    std::string registryPath() const { return dir_.file("registry.reg"); }
    platform::Registry& registry() { return config::machineRegistry(); }

    // Starts from a fixture .reg file instead of an empty registry.
    void loadFixture(std::string_view name) {
        writeFile(registryPath(), readFile(fixture(std::string("config/") + std::string(name))));
        useRegistry(registryPath());
    }
    void useRegistry(const std::string& path) {
        usedRegistry_.reset();
        usedRegistry_.emplace(path);
    }

    void setString(std::string_view key, std::string_view name, std::string_view text) {
        ASSERT_TRUE(registry().setString(key, name, text).ok());
    }
    void setDword(std::string_view key, std::string_view name, uint32_t value) {
        ASSERT_TRUE(registry().setDword(key, name, value).ok());
    }
    void setBytes(std::string_view key, std::string_view name, platform::RegType type,
                  std::vector<uint8_t> data) {
        platform::RegValue value{std::string(name), type, std::move(data)};
        ASSERT_TRUE(registry().setValue(key, value).ok());
    }

    TempDir dir_;
    // The process-wide state of this test's process.
    host::Agent agent_{registryPath()};
    // Another registry file in place of the Agent's.
    std::optional<InstalledObject<platform::Registry>> usedRegistry_;
};

// The settings of a process started again: the same attach values, no first-use value
// read yet.
struct RestartedSettings {
    config::AttachSettings attach = config::Settings();
    InstalledObject<config::ProcessSettings> settings;
    RestartedSettings() { settings.get().attach = attach; }
};

}  // namespace kz::test
