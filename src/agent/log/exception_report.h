#pragma once
// The report of an exception that escaped an operation calling code outside the agent:
// one text, written to the application event log and to the debug log, before the
// caller throws the exception on unchanged.

#include <exception>
#include <string>
#include <string_view>

namespace kz::log {

// Where the exception was caught: the source unit and line, and how far the operation
// had come (its own step number).
struct ExceptionSite {
    std::string_view sourceFile;  // a path; only its last component is reported
    int sourceLine = 0;
    int lineTrace = 0;
};

// "<operation> handled an exception; session will be dropped.\n" with the exception's
// text for a standard exception that carries one, "<operation> raised an exception.\n"
// for anything else; then where it occurred and the line trace.
std::string FormatExceptionReport(std::string_view operation, const std::exception_ptr& error,
                                  const ExceptionSite& site);

// Writes the report to both logs. Never throws, so the caller can rethrow the original.
void ReportEscapedException(std::string_view operation, const std::exception_ptr& error,
                            const ExceptionSite& site) noexcept;

}  // namespace kz::log
