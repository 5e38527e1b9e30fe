#include "host/run_control.h"

#include "log/debug_log.h"

namespace kz::host {

TableLease::TableLease(std::shared_ptr<LoadedTable> table, RunControl* control)
    : loaded_(std::move(table)), control_(control) {
    if (loaded_) loaded_->holders.fetch_add(1);
}

TableLease::TableLease(TableLease&& other) noexcept
    : loaded_(std::move(other.loaded_)), control_(other.control_) {
    other.control_ = nullptr;
}

TableLease::~TableLease() {
    if (!loaded_) return;
    loaded_->holders.fetch_sub(1);
    loaded_.reset();
    // Only a reload waits for holders to let go. It raises reloadInProgress_ before it
    // counts the holders, so either it sees this release or this sees it waiting.
    if (control_ && control_->reloadInProgress_.load()) control_->notifyChange();
}

RunControl::RunControl(Loader loader, std::chrono::milliseconds pause)
    : loader_(std::move(loader)), pause_(pause) {}

RunControl::~RunControl() {
    releaseTable();
}

std::shared_ptr<LoadedTable> RunControl::makeTable() {
    // The table is released (with its trace lines) when its last holder lets go.
    auto table = std::shared_ptr<LoadedTable>(new LoadedTable, [](LoadedTable* t) {
        filters::ReleaseFilterTable(t->table);
        delete t;
    });
    loader_(table->table);
    return table;
}

void RunControl::loadInitialTable() {
    std::lock_guard lock(reloadMutex_);
    current_ = makeTable();
}

void RunControl::releaseTable() {
    std::shared_ptr<LoadedTable> old;
    {
        std::lock_guard lock(reloadMutex_);
        old = std::move(current_);
    }
}

void RunControl::notifyChange() {
    { std::lock_guard lock(changeMutex_); }
    changed_.notify_all();
}

bool RunControl::waitWhileReloading() {
    std::unique_lock lock(changeMutex_);
    for (int pauses = 0; pauses < kEntryPauses; ++pauses) {
        if (!reloadInProgress_.load()) return true;
        changed_.wait_for(lock, pause_, [&] { return !reloadInProgress_.load(); });
    }
    return !reloadInProgress_.load();
}

TableLease RunControl::beginRun(const std::function<bool()>& reloadRequested,
                                const std::function<void()>& clearReloadRequest) {
    std::lock_guard lock(reloadMutex_);
    if (reloadRequested()) reloadLocked(clearReloadRequest);
    return TableLease(current_, this);
}

void RunControl::reloadLocked(const std::function<void()>& clearReloadRequest) {
    log::DebugLog("Reloading filters due to change.\n");
    reloadInProgress_.store(1);
    notifyChange();

    // Runs that hold the old table are the ones to wait for; runs queued on the
    // reload mutex hold nothing yet and would only make the wait run out.
    std::shared_ptr<LoadedTable> old = std::move(current_);
    {
        std::unique_lock wait(changeMutex_);
        auto unused = [&] { return !old || old->holders.load() == 0; };
        int pauses = 0;
        while (!unused() && pauses < kReloadPauses) {
            changed_.wait_for(wait, pause_, unused);
            ++pauses;
        }
        if (!unused()) {
            reloadWaitsRunOut_.fetch_add(1);
            log::DebugLog(
                "Filters are taking too long to execute and are being reloaded. This may cause "
                "filter instability.\n");
        }
    }
    old.reset();  // freed now, or by the last run that still holds it
    // Cleared before the files are read: a request made while they are being read asks
    // for what this load may have missed, and must survive for the next run.
    clearReloadRequest();
    current_ = makeTable();
    reloadInProgress_.store(0);
    notifyChange();
}

}  // namespace kz::host
