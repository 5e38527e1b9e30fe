#pragma once
// The process-wide run state: the current filter table, the count of runs in
// progress and the reload handshake that replaces the table while mail flows.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "filters/filter_table.h"

namespace kz::host {

// A loaded table together with the number of runs that hold it. A run keeps its table
// alive until it ends, even when a reload replaced it meanwhile.
struct LoadedTable {
    filters::FilterTable table;
    std::atomic<int> holders{0};
};

class RunControl;

// A run's hold on the table it started with.
class TableLease {
  public:
    TableLease() = default;
    TableLease(std::shared_ptr<LoadedTable> table, RunControl* control);
    ~TableLease();
    TableLease(TableLease&& other) noexcept;
    TableLease& operator=(TableLease&&) = delete;
    TableLease(const TableLease&) = delete;

    const filters::FilterTable* get() const { return loaded_ ? &loaded_->table : nullptr; }
    const filters::FilterTable* operator->() const { return get(); }

  private:
    std::shared_ptr<LoadedTable> loaded_;
    RunControl* control_ = nullptr;
};

class RunControl {
  public:
    using Loader = std::function<void(filters::FilterTable&)>;
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kPause{500};
    static constexpr int kEntryPauses = 120;   // 60 s at the entry of FilterExecute
    static constexpr int kReloadPauses = 180;  // 90 s for runs on the old table

    // `pause` is the length of one bounded pause.
    explicit RunControl(Loader loader, std::chrono::milliseconds pause = kPause);
    ~RunControl();

    // First load at attach.
    void loadInitialTable();
    // Detach: drop the current table (runs still holding it keep it until they end).
    void releaseTable();

    // Entry of FilterExecute: waits (bounded) while a reload is in progress. False when
    // the bound ran out.
    bool waitWhileReloading();
    int activeRuns() const { return activeRunCount_.load(); }
    bool reloadInProgress() const { return reloadInProgress_.load() != 0; }
    // How many reloads went ahead after their wait for the old table ran out.
    int reloadWaitsRunOut() const { return reloadWaitsRunOut_.load(); }

    // Counts a run for its lifetime.
    class ActiveRun {
      public:
        explicit ActiveRun(RunControl& c) : c_(c) { c_.activeRunCount_.fetch_add(1); }
        ~ActiveRun() { c_.activeRunCount_.fetch_sub(1); }
        ActiveRun(const ActiveRun&) = delete;
        ActiveRun& operator=(const ActiveRun&) = delete;

      private:
        RunControl& c_;
    };

    // Under ReloadMutex: reloads when "Reload" is 1, then leases the current table.
    TableLease beginRun(const std::function<bool()>& reloadRequested,
                        const std::function<void()>& clearReloadRequest);

  private:
    friend class TableLease;
    void reloadLocked(const std::function<void()>& clearReloadRequest);
    std::shared_ptr<LoadedTable> makeTable();
    void notifyChange();

    Loader loader_;
    const std::chrono::milliseconds pause_;
    std::atomic<int> activeRunCount_{0};
    std::atomic<int> reloadInProgress_{0};
    std::atomic<int> reloadWaitsRunOut_{0};
    std::mutex reloadMutex_;                // exists from construction: never created twice
    std::shared_ptr<LoadedTable> current_;  // guarded by reloadMutex_

    std::mutex changeMutex_;  // pairs with changed_ for the bounded pauses
    std::condition_variable changed_;
};

}  // namespace kz::host
