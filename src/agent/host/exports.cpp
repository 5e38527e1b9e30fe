// The entries the MTA calls. Each catches everything at the boundary, and the first one
// called attaches the process.

#include "platform/exports.h"

#include <cstring>
#include <string>

#include "base/text_limit.h"
#include "filters/script_host.h"
#include "host/agent.h"
#include "host/entry_guard.h"
#include "host/filter_init.h"
#include "host/message_driver.h"
#include "host/process_attach.h"
#include "log/debug_log.h"
#include "message/message_context.h"
#include "providers/scan_providers.h"

namespace {

constexpr kz::TextLimit kArgumentLimit{1024};
constexpr kz::TextLimit kResultTextLimit{2048};

std::string Argument(const char* text) {
    return text ? std::string(kArgumentLimit.cut(text)) : std::string();
}

// A message or connector name longer than its field would, cut, name another queue
// file; such a call is refused before anything is read or changed.
bool NameFits(const char* name) {
    constexpr std::size_t kSize = kz::MessageContext::kNameLimit.bufferSize;
    return !name || strnlen(name, kSize) < kSize;
}

// Enough of a refused name to recognise it in the log.
std::string NameForLog(const char* name) {
    return std::string(kz::MessageContext::kNameLimit.cut(name ? name : ""));
}

}  // namespace

KZ_EXPORT int KZ_STDCALL FilterInit(int /*reserved*/) {
    return kz::host::RunGuarded("FilterInit", 0, [] {
        kz::host::Agent* agent = kz::host::AttachedAgent();
        return agent ? kz::host::LoadAntivirusPlugins(agent->antivirusPlugins()) : 0;
    });
}

namespace {

// One filter run as FilterExecute makes it; false when the run could not do what its
// filters asked (UndoneRun says what then becomes of the message).
bool ExecuteRun(const char* host, const char* message, const char* connector,
                kz::host::UndoneRun undone) {
    kz::host::Agent* agent = kz::host::AttachedAgent();
    if (!agent) return true;
    if (!NameFits(message) || !NameFits(connector)) {
        kz::log::DebugLogf(
            "Refused to filter message %s of connector %s: a name longer than %u characters "
            "would name another file\n",
            NameForLog(message).c_str(), NameForLog(connector).c_str(),
            unsigned(kz::MessageContext::kNameLimit.maxLength()));
        return true;
    }
    std::string hostText = Argument(host);  // copied, as the MTA expects, and not used
    std::string messageName = Argument(message);
    std::string connectorName = Argument(connector);
    std::string resultText;

    kz::host::RunControl& control = agent->runControl();
    if (!control.waitWhileReloading()) {
        kz::log::DebugLog(
            "Filters are taking too long to reload and filter executing. This may cause filter "
            "instability.\n");
    }
    kz::host::RunControl::ActiveRun counted(control);
    return !kz::host::RunMessageFilters(control, connectorName, messageName, resultText,
                                        kResultTextLimit, undone)
                .undone;
}

}  // namespace

KZ_EXPORT int KZ_STDCALL FilterExecute(const char* host, const char* message, const char* connector,
                                       int /*reserved*/) {
    return kz::host::RunGuarded("FilterExecute", 1, [&] {
        ExecuteRun(host, message, connector, kz::host::UndoneRun::KeepInBadMail);
        return 1;
    });
}

// FilterExecute for a host that reads the result and can ask for the message again later
// (the milter answers 451): 0 when the run could not do what its filters asked (a
// quarantine or bad-mail copy failed, a rewrite was not written); the message then stays
// queued as that step left it, with no later DELETE or MOVE carried out.
KZ_EXPORT int KZ_STDCALL FilterExecuteChecked(const char* host, const char* message,
                                              const char* connector, int /*reserved*/) {
    return kz::host::RunGuarded("FilterExecuteChecked", 0, [&] {
        return ExecuteRun(host, message, connector, kz::host::UndoneRun::LeaveQueued) ? 1 : 0;
    });
}

KZ_EXPORT int KZ_STDCALL FilterCommand(int /*reserved1*/, int /*reserved2*/, const char* command) {
    return kz::host::RunGuarded("FilterCommand", 0, [&] {
        kz::host::AttachedAgent();
        auto result = kz::providers::BayesianExecute(command ? std::string_view(command)
                                                             : std::string_view());
        if (!result) {
            kz::log::DebugLog(
                "Bayesian AutoTraining is being called, but the system could not find a reference "
                "to "
                "BayesianExecute.\n");
            return 0;
        }
        return *result;
    });
}

// Releasing happens at detach.
KZ_EXPORT int KZ_STDCALL FilterUnInit(int /*reserved*/) {
    return kz::host::RunGuarded("FilterUnInit", 1, [] {
        kz::host::AttachedAgent();
        return 1;
    });
}

KZ_EXPORT int KZ_STDCALL ExecuteVBScript(const char* scriptText, const char* functionName,
                                         char* resultBuffer, int resultBufferSize,
                                         int wantResultData) {
    return kz::host::RunGuarded("ExecuteVBScript", 0, [&] {
        kz::host::AttachedAgent();
        std::size_t size = resultBuffer && resultBufferSize > 0 ? std::size_t(resultBufferSize) : 0;
        // The host writes the buffer only in some cases; otherwise it keeps the caller's text.
        std::string before =
            size > 0 ? std::string(resultBuffer, strnlen(resultBuffer, size - 1)) : std::string();
        std::string resultData = before;
        long result =
            kz::filters::RunScript(scriptText ? scriptText : "", functionName ? functionName : "",
                                   resultData, kz::TextLimit{size}, wantResultData != 0);
        if (size > 0 && resultData != before) {
            std::string_view text = kz::TextLimit{size}.cut(resultData);
            text.copy(resultBuffer, text.size());
            resultBuffer[text.size()] = '\0';
        }
        return int(result);
    });
}
