#pragma once
// Post office and mailbox options, kept by the option provider library "KZAISO.DLL" in
// the Application Directory rather than in the registry.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz::config {

constexpr int kOptionScopePostOffice = 1;
constexpr int kOptionScopeMailbox = 2;
constexpr TextLimit kOptionResultLimit{1024};

// Options asked for by the actions and the address helpers.
constexpr std::string_view kOptionPublicFolders = "Public Folders";
constexpr std::string_view kOptionWebMailPublicFoldersModification =
    "WebMail-Public-Folders-Modification-Permitted";
constexpr std::string_view kOptionDefaultAddress = "DefaultAddress";

// The object name of a mailbox: "<post office>/<mailbox>".
std::string MailboxObjectName(std::string_view postOffice, std::string_view mailbox);

struct OptionProvider;

// The provider of one attached process, loaded on first use (once, from any thread).
// Its owner installs it (Installed<OptionProviderSlot>); without one there is no
// provider. A lookup holds its own reference, so letting the slot go never unloads the
// library under a call in progress.
struct OptionProviderSlot {
    std::mutex mutex;
    bool loadAttempted = false;
    std::shared_ptr<const OptionProvider> provider;
};

// Loads the provider on first use. Returns the provider's
// result with its text (at most 1023 characters) in `result`; without a usable provider
// `result` is empty and the result 0.
int LookupOption(int scope, std::string_view objectName, std::string_view optionName,
                 std::string& result);

}  // namespace kz::config
