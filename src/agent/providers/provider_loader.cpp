#include <string>

#include "base/format.h"
#include "base/installed.h"
#include "config/directories.h"
#include "config/paths.h"
#include "config/settings.h"
#include "log/counters.h"
#include "log/trace.h"
#include "providers/provider_calls.h"
#include "providers/scan_providers.h"

namespace kz::providers {

namespace {

std::unique_ptr<platform::DynamicLibrary> loadLibrary(std::string_view fileName) {
    return platform::DynamicLibrary::load(
        config::LibraryPath(config::CurrentDirectories()->application, fileName));
}

RequestEntry lookUp(const platform::DynamicLibrary& module, const char* name,
                    const char* secondName) {
    auto entry = module.entry<RequestEntry>(name);
    if (!entry && secondName) entry = module.entry<RequestEntry>(secondName);
    return entry;
}

void lookUpEntries(ScanProvider& provider, bool secondNames) {
    const platform::DynamicLibrary& module = *provider.module;
    provider.initialise = lookUp(module, "KZ_Initialize", secondNames ? "Initialize" : nullptr);
    provider.execute = lookUp(module, "KZ_Execute", secondNames ? "Execute" : nullptr);
    provider.cleanUp = lookUp(module, "KZ_CleanUp", secondNames ? "CleanUp" : nullptr);
}

bool hasAllEntries(const ScanProvider& provider) {
    return provider.initialise && provider.execute && provider.cleanUp;
}

// Checks the entries and initialises the provider; the status it ends with.
uint32_t completeLoading(ScanProvider& provider, const char* label) {
    if (!hasAllEntries(provider)) {
        log::Trace("%s - Loading Failed.\n", label);
        return kProviderFailed;
    }
    log::Trace("%s - Loading Complete.\n", label);
    CallWithEmptyRequest(provider.initialise);
    return kProviderUsable;
}

// Loads the provider's library; false (after its console line) when it cannot be found.
bool openLibrary(ScanProvider& provider, const char* label, std::string_view fileName) {
    provider.module = loadLibrary(fileName);
    if (!provider.module) {
        log::Trace("%s - Unable to locate Filter Provider.\n", label);
        return false;
    }
    log::Trace("%s Loading Library..\n", label);
    return true;
}

// The DKIM verifier's loader, which any request-style provider could use.
uint32_t LoadProvider(ScanProvider& provider, const char* label, std::string_view fileName,
                      bool checking) {
    if (!openLibrary(provider, label, fileName)) return kProviderFailed;
    lookUpEntries(provider, true);
    if (!checking) return kProviderUsable;
    return completeLoading(provider, label);
}

void loadBayesian(ScanProvider& provider, uint32_t loadMode) {
    if (!openLibrary(provider, "Bayesian Filter", "KZFLTMBF.DLL")) {
        provider.status = kProviderFailed;
        return;
    }
    log::Trace("Bayesian Filter - Loading Dictionary..\n");
    lookUpEntries(provider, true);
    // Without checking the entries stay unexamined and the configured status stands.
    if (loadMode != 0) provider.status = completeLoading(provider, "Bayesian Filter");
}

void loadSpamAssassin(ScanProvider& provider) {
    if (!openLibrary(provider, "SA Filter", "KZFLTMSA.DLL")) {
        provider.status = kProviderFailed;
        return;
    }
    lookUpEntries(provider, false);
    provider.status = completeLoading(provider, "SA Filter");
}

void release(ScanProvider& provider) {
    if (!provider.module) return;
    if (provider.cleanUp) CallWithEmptyRequest(provider.cleanUp);
    provider.module.reset();
}

}  // namespace

const ScanProviders& Providers() {
    static const ScanProviders none;
    const ScanProviders* installed = Installed<ScanProviders>::current();
    return installed ? *installed : none;
}

// Written only at attach and detach, when no run is in flight.
void LoadScanProviders() {
    ScanProviders* installed = Installed<ScanProviders>::current();
    if (!installed) return;
    const config::AttachSettings& settings = config::Settings();
    ScanProviders providers;
    providers.bayesian.status = settings.bayesianFilteringStatus;
    providers.spamAssassin.status = settings.spamAssassinOn() ? kProviderUsable : 0;
    providers.dkim.status = settings.domainKeysStatus;

    if (providers.dkim.status != 0)
        providers.dkim.status =
            LoadProvider(providers.dkim, "Domain Keys", "KZDomainKeys.DLL", true);
    if (providers.bayesian.status != 0) {
        loadBayesian(providers.bayesian, settings.bayesianFilteringLoadMode);
        log::WriteProviderCountersAtAttach({.bayesian = true});
    }
    config::SetBayesianStatus(providers.bayesian.status);
    if (providers.spamAssassin.status == kProviderUsable) {
        loadSpamAssassin(providers.spamAssassin);
        log::WriteProviderCountersAtAttach({.spamAssassin = true});
    }
    *installed = std::move(providers);
}

void LoadAntivirusProvider() {
    ScanProviders* installed = Installed<ScanProviders>::current();
    if (!installed) return;
    AntivirusProvider& antivirus = installed->antivirus;
    antivirus.module = loadLibrary("KZAVGEN.DLL");
    if (antivirus.module) {
        log::Trace("Antivirus Loading Library..\n");
        antivirus.execute = antivirus.module->entry<AntivirusEntry>("ProviderExecute");
    } else {
        log::Trace("Antivirus Loading - Unable to locate Filter Provider.\n");
    }
    log::WriteProviderCountersAtAttach({.antivirus = true});
}

void ReleaseScanProviders() {
    ScanProviders* installed = Installed<ScanProviders>::current();
    if (!installed) return;
    release(installed->bayesian);
    release(installed->dkim);
    release(installed->spamAssassin);
    *installed = ScanProviders();
}

}  // namespace kz::providers
