#include <chrono>
#include <memory>

#include "config/directories.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "filters/filter_table.h"
#include "host/process_state.h"
#include "log/counters.h"
#include "log/log_lifecycle.h"
#include "message/queue_sweep.h"
#include "platform/files.h"
#include "providers/scan_providers.h"
#include "store/store_library.h"

namespace kz::host {

namespace {

std::unique_ptr<ProcessState> gState;

// Older leftovers cannot belong to a process still at work.
constexpr std::chrono::hours kLeftoverAge{1};

void SweepCrashLeftovers() {
    auto dirs = config::CurrentDirectories();
    SweepQueueLeftovers({dirs->ConnectorRoot, dirs->BadMail, dirs->Quarantine, dirs->MailRoot},
                        kLeftoverAge);
}

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
    platform::setFolderFlush(config::Settings().FlushQueueFolders != 0);
    SweepCrashLeftovers();
    gState = std::make_unique<ProcessState>();
    gState->loopSeal = LoadLoopSeal();
    InstallLoopSeal(gState->loopSeal ? &*gState->loopSeal : nullptr);
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
    InstallLoopSeal(nullptr);
    gState.reset();
    log::StopLogging();
}

}  // namespace kz::host
