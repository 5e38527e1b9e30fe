#pragma once
// The scanning provider libraries (Bayesian filter, SpamAssassin client, DKIM verifier,
// antivirus scanner): loaded at attach, read by every run without a lock, released at
// detach.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/dynlib.h"
#include "platform/exports.h"

namespace kz::providers {

// Initialise, execute and clean-up of the request-style providers: the request and its
// length, a reply buffer of kReplySize bytes and the reply length the agent offers.
using RequestEntry = int(KZ_STDCALL*)(const char* request, int32_t length, char* reply,
                                      int32_t* replyLength);
// "ProviderExecute": agent name, message id, connector and a kReplySize result text.
using AntivirusEntry = int(KZ_STDCALL*)(const char* agent, const char* messageId,
                                        const char* connector, char* resultText);

constexpr std::size_t kReplySize = 1024;

// Status values of a request-style provider.
constexpr uint32_t kProviderDisabled = 0;
constexpr uint32_t kProviderUsable = 1;
constexpr uint32_t kProviderFailed = 3;

struct ScanProvider {
    std::unique_ptr<platform::DynamicLibrary> module;
    RequestEntry initialise = nullptr;
    RequestEntry execute = nullptr;
    RequestEntry cleanUp = nullptr;
    uint32_t status = kProviderDisabled;
};

struct AntivirusProvider {
    std::unique_ptr<platform::DynamicLibrary> module;
    AntivirusEntry execute = nullptr;
};

struct ScanProviders {
    ScanProvider bayesian;
    ScanProvider spamAssassin;
    ScanProvider dkim;
    AntivirusProvider antivirus;
};

// The providers of the attached process, which its owner installs
// (Installed<ScanProviders>); all empty before attach, after detach and without one.
const ScanProviders& Providers();

// Into the installed providers. At attach, after the filter table: DKIM, Bayesian filter
// and SpamAssassin, each with its console lines and counters.
void LoadScanProviders();
// At attach, after "Service Start", when "Antivirus Status" is on.
void LoadAntivirusProvider();
// At detach: clean-up entries called, libraries unloaded.
void ReleaseScanProviders();

// The Bayesian provider's execute entry with a command text; empty when it has none.
std::optional<int> BayesianExecute(std::string_view command);

}  // namespace kz::providers
