#include "host/message_driver.h"

#include "actions/action_dispatcher.h"
#include "base/format.h"
#include "config/directories.h"
#include "config/registry_access.h"
#include "config/settings.h"
#include "evaluate/message_evaluation.h"
#include "log/console_batch.h"
#include "log/debug_log.h"
#include "log/event_report.h"
#include "log/trace.h"
#include "message/queue_operations.h"
#include "message/queue_paths.h"
#include "platform/com.h"
#include "platform/files.h"

namespace kz::host {

namespace {

void ClearReloadRequest() {
    config::ClearReload();
}

// The message is still in the queue (its command file is there).
bool StillQueued(const MessageContext& context) {
    auto dirs = config::CurrentDirectories();
    auto paths = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    return paths && platform::fileStatus(paths->commandFile) != platform::FileStatus::NotFound;
}

std::string_view ShortfallText(const actions::Shortfall& shortfall) {
    return shortfall.copyNotKept ? "a quarantine or bad-mail copy could not be made"
                                 : "a change to the message could not be written";
}

// An undone run's message neither goes on as if filtered nor is lost: a copy in bad mail
// stands for it, or it stays queued.
void SettleUndoneRun(const MessageContext& context, const actions::Shortfall& shortfall,
                     UndoneRun handling) {
    std::string_view why = ShortfallText(shortfall);
    std::string what;
    if (handling == UndoneRun::LeaveQueued) {
        what = "left in the queue for another try";
    } else if (CopyToBadMail(context) && DeleteQueuedMessage(context)) {
        what = "kept in the bad-mail folder instead";
    } else {
        what = "left in the queue: no copy could be kept in the bad-mail folder either";
    }
    std::string text =
        formatText("Message %s of connector %s: %.*s; %s.\n", context.messageId.c_str(),
                   context.connectorName.c_str(), int(why.size()), why.data(), what.c_str());
    log::DebugLog(text);
    log::ReportThrottledEvent(platform::EventType::Warning, text);
}

// Releases the run's results on every way out, exceptions included.
struct ResultsGuard {
    filters::CriteriaResults& results;
    ~ResultsGuard() { filters::ReleaseResults(results); }
};

// Initialises COM for the run's thread when the table has script filters.
struct ComScope {
    bool initialised = false;
    const filters::FilterTable& table;
    explicit ComScope(const filters::FilterTable& t) : table(t) {
        if (table.hasScriptFilters()) initialised = platform::initializeComForThread();
    }
    ~ComScope() {
        if (initialised && table.hasScriptFilters()) platform::uninitializeComForThread();
    }
};

}  // namespace

RunOutcome RunMessageFilters(RunControl& control, std::string_view connectorName,
                             std::string_view messageName, std::string& resultText,
                             TextLimit resultLimit, UndoneRun undone) {
    log::ConsoleBatch console;  // first: the lines of everything after it go out together
    MessageContext context;
    filters::CriteriaResults results;
    QueuePathsMemo queuePaths;

    // The run's registry reads share one look at the registry, taken once the reload
    // mutex is held: a run that waited while another reloaded must see "Reload" as the
    // reload left it.
    config::RegistryView registryView;
    auto reloadRequested = [&] {
        registryView.begin();
        return config::ReloadRequested();
    };
    TableLease table = control.beginRun(reloadRequested, ClearReloadRequest);
    if (!table.get() || table->filterCount() < 1) return {};

    if (!evaluate::PrepareMessage(context, connectorName, messageName)) return {};

    filters::AllocateResults(*table.get(), results);
    ResultsGuard releaseResults{results};
    ComScope com(*table.get());

    RunOutcome outcome;
    evaluate::Evaluation evaluation(*table.get(), results, &context);
    if (evaluate::EvaluateMessage(evaluation) != 0) {
        actions::Shortfall shortfall;
        outcome.result = actions::ExecuteFilterActions(context, *table.get(), results, resultText,
                                                       resultLimit, {}, &shortfall);
        log::TraceLine("ProcessFilter: ", resultText);
        // A shortfall of a message the filters took out of the queue anyway costs nothing.
        if (shortfall.any() && StillQueued(context)) {
            outcome.undone = true;
            SettleUndoneRun(context, shortfall, undone);
        }
    }
    return outcome;
}

}  // namespace kz::host
