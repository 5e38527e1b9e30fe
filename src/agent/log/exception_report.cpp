#include "log/exception_report.h"

#include <string>

#include "base/format.h"
#include "base/path_split.h"
#include "log/debug_log.h"
#include "log/event_report.h"

namespace kz::log {

namespace {

// The text of a standard exception; empty for anything else.
std::string exceptionText(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return {};
}

}  // namespace

std::string FormatExceptionReport(std::string_view operation, const std::exception_ptr& error,
                                  const ExceptionSite& site) {
    std::string name(operation);
    std::string text = exceptionText(error);
    std::string report = text.empty() ? formatText("%s raised an exception.\n", name.c_str())
                                      : formatText(
                                            "%s handled an exception; session will be dropped.\n"
                                            "The exception was: %s\n",
                                            name.c_str(), text.c_str());
    std::string unit(splitAtLastSeparator(site.sourceFile).name);
    report += formatText("The exception occurred in : %s, line %d\nLine Trace = %d\n", unit.c_str(),
                         site.sourceLine, site.lineTrace);
    return report;
}

void ReportEscapedException(std::string_view operation, const std::exception_ptr& error,
                            const ExceptionSite& site) noexcept {
    try {
        std::string report = FormatExceptionReport(operation, error, site);
        log::ReportEvent(platform::EventType::Information, log::kDefaultEventSource, {},
                         log::kAgentEventId, report);
        log::DebugLog(report);
    } catch (...) {
        // Out of memory while reporting: the caller's exception matters more.
    }
}

}  // namespace kz::log
