#include "host/message_driver.h"

#include "actions/action_dispatcher.h"
#include "base/format.h"
#include "config/registry_access.h"
#include "config/settings.h"
#include "evaluate/message_evaluation.h"
#include "log/console_batch.h"
#include "log/trace.h"
#include "message/queue_paths.h"
#include "platform/com.h"

namespace kz::host {

namespace {

void ClearReloadRequest() {
    config::ClearReload();
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

int RunMessageFilters(RunControl& control, std::string_view connectorName,
                      std::string_view messageName, std::string& resultText,
                      TextLimit resultLimit) {
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
    if (!table.get() || table->filterCount() < 1) return 0;

    if (!evaluate::PrepareMessage(context, connectorName, messageName)) return 0;

    filters::AllocateResults(*table.get(), results);
    ResultsGuard releaseResults{results};
    ComScope com(*table.get());

    int result = 0;
    evaluate::Evaluation evaluation(*table.get(), results, &context);
    if (evaluate::EvaluateMessage(evaluation) != 0) {
        result =
            actions::ExecuteFilterActions(context, *table.get(), results, resultText, resultLimit);
        log::TraceLine("ProcessFilter: ", resultText);
    }
    return result;
}

}  // namespace kz::host
