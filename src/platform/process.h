#pragma once
// Starting programs from a Windows-style command line, never through a shell.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// Splits a command line by the rules of the Windows C runtime: blanks separate
// arguments, double quotes group, 2n backslashes before a quote give n backslashes and
// a quoting quote, 2n+1 give n backslashes and a literal quote, "" inside quotes is a
// literal quote, other backslashes are literal.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

struct ProcessResult {
    bool started = false;   // the program could be started
    bool finished = false;  // it ended within the bound
    bool killed = false;    // it was killed at the bound
    int exitCode = -1;      // exit status when finished
    std::string error;      // why it could not be started
};

// Starts the program named by the first argument (searched in PATH when it has no
// slash), waits at most `bound`, kills it at the bound.
ProcessResult runProcess(std::string_view commandLine, std::chrono::milliseconds bound);
ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds bound);

}  // namespace kz::platform
