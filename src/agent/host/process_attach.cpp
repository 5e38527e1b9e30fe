#include <memory>

#include "config/directories.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "filters/filter_table.h"
#include "host/process_state.h"
#include "log/counters.h"
#include "log/log_lifecycle.h"
#include "providers/scan_providers.h"
#include "store/store_library.h"

namespace kz::host {

namespace {

std::unique_ptr<ProcessState> gState;

void LoadSystemFilterTable(filters::FilterTable& table) {
    filters::LoadOptions options;
    options.configurationDirectory = config::CurrentDirectories()->Configuration;
    options.allowPatternCaching = config::Settings().AllowPatternCaching != 0;
    // The system-wide table has no post office or mailbox scope.
    table.postofficeName.clear();
    table.mailboxName.clear();
    filters::LoadFilterTable(table, options);
}

}  // namespace

ProcessState::ProcessState() : runControl(LoadSystemFilterTable) {}

ProcessState* CurrentProcessState() {
    return gState.get();
}

void OnProcessAttach() {
    if (gState) return;
    log::StartLogging();
    config::ReadAttachSettings();
    dns::StartDnsLibrary();
    config::ReadAttachDirectories();
    gState = std::make_unique<ProcessState>();
    gState->runControl.loadInitialTable();
    providers::LoadScanProviders();
    log::WriteServiceStart();
    if (config::Settings().AntivirusStatus != 0) {
        providers::LoadAntivirusProvider();
        store::StartStoreLibrary();
    }
}

void OnProcessDetach() {
    if (!gState) return;
    gState->runControl.releaseTable();
    providers::ReleaseScanProviders();
    {
        std::lock_guard lock(gState->pluginMutex);
        gState->antivirusPlugins.clear();
    }
    store::StopStoreLibrary();
    gState.reset();
    log::StopLogging();
}

}  // namespace kz::host
