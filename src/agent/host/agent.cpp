#include "host/agent.h"

#include <chrono>

#include "config/directories.h"
#include "filters/filter_table.h"
#include "log/counters.h"
#include "log/log_lifecycle.h"
#include "message/queue_sweep.h"
#include "platform/files.h"

namespace kz::host {

namespace {

// Older leftovers cannot belong to a process still at work.
constexpr std::chrono::hours kLeftoverAge{1};

void SweepCrashLeftovers() {
    auto dirs = config::CurrentDirectories();
    SweepQueueLeftovers({dirs->connectorRoot, dirs->badMail, dirs->quarantine, dirs->mailRoot},
                        kLeftoverAge);
}

void LoadSystemFilterTable(filters::FilterTable& table) {
    const filters::LoadOptions options =
        filters::SettingsLoadOptions(config::CurrentDirectories()->configuration);
    // The system-wide table has no post office or mailbox scope.
    table.postofficeName.clear();
    table.mailboxName.clear();
    filters::LoadFilterTable(table, options);
}

}  // namespace

Agent::Agent(std::string registryPath)
    : registry_(std::move(registryPath)), runControl_(LoadSystemFilterTable) {}

Agent::~Agent() {
    if (attached_) detach();
}

void Agent::attach() {
    attached_ = true;
    log::StartLogging();
    config::ReadAttachSettings();
    dns::StartDnsLibrary();
    config::ReadAttachDirectories();
    platform::setFolderFlush(config::Settings().flushQueueFolders != 0);
    SweepCrashLeftovers();
    loopSeal_ = LoadLoopSeal();
    InstallLoopSeal(loopSeal_ ? &*loopSeal_ : nullptr);
    runControl_.loadInitialTable();
    providers::LoadScanProviders();
    log::WriteServiceStart();
    if (config::Settings().antivirusStatus != 0) {
        providers::LoadAntivirusProvider();
        store::StartStoreLibrary();
    }
}

void Agent::detach() {
    attached_ = false;
    runControl_.releaseTable();
    providers::ReleaseScanProviders();
    {
        std::lock_guard lock(antivirusPlugins_.mutex);
        antivirusPlugins_.libraries.clear();
    }
    store::StopStoreLibrary();
    InstallLoopSeal(nullptr);
    log::StopLogging();
}

void Agent::detachAtExit() {
    attached_ = false;
    log::StopLogging();
}

}  // namespace kz::host
