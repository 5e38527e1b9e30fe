// kzmta replay: what the filter table would do with a whole corpus of mail, and what a
// second table would change. Messages come from files and mail folders; no action runs
// and nothing is written.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "agent_session.h"
#include "agent_trace.h"
#include "command_line.h"
#include "commands.h"
#include "file_envelope.h"
#include "folder_progress.h"
#include "held_message_files.h"
#include "mail_folder.h"
#include "replay_output.h"

namespace kz::tool {

namespace {

constexpr unsigned kMaxThreads = 64;

struct Tables {
    const filters::FilterTable* table = nullptr;
    TablePlan plan;
    const filters::FilterTable* compare = nullptr;
    TablePlan comparePlan;
};

struct Item {
    uint64_t index = 0;
    FolderMessage message;
};

// One thread's share of the counts, merged at the end.
struct Tally {
    uint64_t messages = 0, notScanned = 0, cut = 0;
    std::vector<uint64_t> holds, compareHolds;
    std::vector<ChangedMessage> changed;
};

// A filter that holds as the outcome shows it: which filter, and what it would run.
std::vector<std::string> outcomeKey(const TablePlan& plan, const Outcome& outcome) {
    std::vector<std::string> key;
    for (int position : outcome.holding) {
        const TablePlan::Filter& filter = plan.filters[std::size_t(position - 1)];
        key.push_back(filter.description + '\t' + (filter.audited ? "" : filter.actions));
    }
    return key;
}

class Replay {
  public:
    Replay(const Tables& tables, const EnvelopeOptions& envelope, std::string heldRoot)
        : tables_(tables), envelope_(envelope), heldRoot_(std::move(heldRoot)) {}

    void evaluate(Item& item, Tally& tally) const {
        const std::string queued = QueuedForm(item.message.text);
        item.message.text = std::string();
        MessageContext context;
        FillFileEnvelope(context, queued, envelope_);
        HeldMessageFiles files(heldRoot_, context, queued, static_cast<unsigned long>(item.index));
        std::optional<MessageContext> second;
        if (tables_.compare) second = context;
        const Outcome before = EvaluateHeld(*tables_.table, tables_.plan, context);
        ++tally.messages;
        tally.notScanned += before.scanned ? 0 : 1;
        tally.cut += item.message.cut ? 1 : 0;
        for (int position : before.holding) ++tally.holds[std::size_t(position - 1)];
        if (!second) return;
        const Outcome after = EvaluateHeld(*tables_.compare, tables_.comparePlan, *second);
        for (int position : after.holding) ++tally.compareHolds[std::size_t(position - 1)];
        if (outcomeKey(tables_.plan, before) != outcomeKey(tables_.comparePlan, after))
            tally.changed.push_back(
                {item.index, std::move(item.message.name), before.holding, after.holding});
    }

    Tally freshTally() const {
        Tally tally;
        tally.holds.assign(tables_.plan.filters.size(), 0);
        tally.compareHolds.assign(tables_.comparePlan.filters.size(), 0);
        return tally;
    }

  private:
    const Tables& tables_;
    const EnvelopeOptions& envelope_;
    std::string heldRoot_;
};

// Messages go from the reading thread to the evaluating ones through a short queue, so
// memory holds a few messages whatever the corpus.
class WorkQueue {
  public:
    explicit WorkQueue(std::size_t capacity) : capacity_(capacity) {}

    void push(Item item) {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [this] { return items_.size() < capacity_; });
        items_.push_back(std::move(item));
        notEmpty_.notify_one();
    }
    std::optional<Item> pop() {
        std::unique_lock lock(mutex_);
        notEmpty_.wait(lock, [this] { return !items_.empty() || closed_; });
        if (items_.empty()) return std::nullopt;
        Item item = std::move(items_.front());
        items_.pop_front();
        notFull_.notify_one();
        return item;
    }
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        notEmpty_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<Item> items_;
    std::size_t capacity_;
    bool closed_ = false;
};

void merge(Tally& into, Tally&& from) {
    into.messages += from.messages;
    into.notScanned += from.notScanned;
    into.cut += from.cut;
    for (std::size_t i = 0; i < into.holds.size(); ++i) into.holds[i] += from.holds[i];
    for (std::size_t i = 0; i < into.compareHolds.size(); ++i)
        into.compareHolds[i] += from.compareHolds[i];
    for (ChangedMessage& c : from.changed) into.changed.push_back(std::move(c));
}

Tally replayAll(const Replay& replay, const std::vector<std::string>& paths, unsigned threads,
                bool progressWanted) {
    FolderProgress progress(progressWanted, progressWanted ? FolderBytes(paths) : 0);
    uint64_t read = 0;
    auto problem = [](const std::string& text) {
        std::fprintf(stderr, "kzmta replay: %s\n", text.c_str());
    };
    Tally total = replay.freshTally();
    if (threads == 1) {
        ReadMailFolders(
            paths,
            [&](FolderMessage&& message) {
                const std::size_t size = message.text.size();
                Item item{read++, std::move(message)};
                replay.evaluate(item, total);
                progress.advance(size);
            },
            problem);
    } else {
        WorkQueue queue(threads * 4);
        std::vector<Tally> tallies(threads, replay.freshTally());
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < threads; ++i) {
            workers.emplace_back([&queue, &replay, &tally = tallies[i]] {
                while (std::optional<Item> item = queue.pop()) replay.evaluate(*item, tally);
            });
        }
        try {
            ReadMailFolders(
                paths,
                [&](FolderMessage&& message) {
                    const std::size_t size = message.text.size();
                    queue.push({read++, std::move(message)});
                    progress.advance(size);
                },
                problem);
        } catch (...) {
            queue.close();
            for (std::thread& worker : workers) worker.join();
            throw;
        }
        queue.close();
        for (std::thread& worker : workers) worker.join();
        for (Tally& tally : tallies) merge(total, std::move(tally));
        std::sort(
            total.changed.begin(), total.changed.end(),
            [](const ChangedMessage& a, const ChangedMessage& b) { return a.index < b.index; });
    }
    progress.done();
    return total;
}

struct ReplayOptions {
    std::string registry;
    std::vector<std::string> paths;
    std::string config;
    std::string compare;
    unsigned threads = 1;
    bool json = false;
    bool progress = false;
    bool verbose = false;
    EnvelopeOptions envelope;
};

int replay(const ReplayOptions& o) {
    RequireRegistryFile(o.registry);
    CheckEnvelopeOptions(o.envelope);
    ReplaySummary summary;
    {
        AgentTraceDiversion quiet(o.verbose);
        AgentSession session(o.registry);
        session.loadProviders();
        filters::FilterTable configTable, compareTable;
        Tables tables;
        if (!o.config.empty()) {
            filters::LoadFilterTable(configTable, filters::SettingsLoadOptions(o.config));
            tables.table = &configTable;
        } else {
            tables.table = &session.loadTable();
        }
        tables.plan = PlanOf(*tables.table);
        if (!o.compare.empty()) {
            filters::LoadFilterTable(compareTable, filters::SettingsLoadOptions(o.compare));
            tables.compare = &compareTable;
            tables.comparePlan = PlanOf(compareTable);
        }
        const Replay replay(tables, o.envelope, HeldFilesRoot(session));
        const auto start = std::chrono::steady_clock::now();
        Tally tally = replayAll(replay, o.paths, o.threads, o.progress);
        summary.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        summary.messages = tally.messages;
        summary.notScanned = tally.notScanned;
        summary.cut = tally.cut;
        summary.table = std::move(tables.plan);
        summary.holds = std::move(tally.holds);
        summary.compared = !o.compare.empty();
        summary.compareTable = std::move(tables.comparePlan);
        summary.compareHolds = std::move(tally.compareHolds);
        summary.changed = std::move(tally.changed);
        filters::ReleaseFilterTable(configTable);
        filters::ReleaseFilterTable(compareTable);
    }
    std::string out = o.json ? ReplayJson(summary) : ReplayText(summary);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

void AddReplayCommand(CommandLine& cli) {
    auto o = std::make_shared<ReplayOptions>();
    CLI::App& command = cli.add(
        cli.root(), "replay",
        "count what the filter table would hold in message files, Maildir and mbox folders, "
        "and what another table changes; runs no action, writes nothing",
        [o] { return replay(*o); });
    AddRegistryOption(command, o->registry);
    command.add_option("PATH", o->paths, "message files, folders, Maildir folders, mbox files")
        ->required();
    command.add_option("--config", o->config, "another Configuration Directory to replay")
        ->type_name("DIR");
    command
        .add_option("--compare", o->compare,
                    "a second Configuration Directory: the messages whose outcome differs")
        ->type_name("DIR");
    AddNumberOption(command, "--threads", o->threads, "messages evaluated at once", 1, kMaxThreads);
    command.add_flag("--json", o->json, "one JSON object instead of text");
    command.add_flag("--progress", o->progress, "messages read so far, on a terminal");
    command.add_flag("--verbose", o->verbose, "the agent's trace lines on standard error");
    AddEnvelopeOptions(command, o->envelope);
    command.footer("Each message's envelope is taken as kzmta explain FILE takes it.");
}

}  // namespace kz::tool
