#pragma once
// Starting programs from a Windows-style command line, never through a shell.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// Splits a command line by the rules of the Windows C runtime. The program name (first
// argument) runs to the next blank or tab outside double quotes, with the quotes
// removed and backslashes kept as they are. For the other arguments blanks and tabs
// separate, double quotes group, 2n backslashes before a quote give n backslashes and a
// quoting quote, 2n+1 give n backslashes and a literal quote, "" inside quotes is a
// literal quote, other backslashes are literal. An empty line gives no arguments.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

struct ProcessResult {
    bool started = false;   // the program could be started
    bool finished = false;  // it ended within the bound
    bool killed = false;    // it was killed at the bound
    int exitCode = -1;      // exit status when it finished by exiting
    int signal = 0;         // the signal that ended it when it finished by one
    int errorCode = 0;      // the system error number when it could not be started
    std::string error;      // why it could not be started
};

// Starts the program named by the first argument (searched in PATH when it has no
// slash) with standard input from /dev/null and the caller's standard output and
// error, waits at most `bound`, kills it at the bound and reaps it.
ProcessResult runProcess(std::string_view commandLine, std::chrono::milliseconds bound);
ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds bound);

}  // namespace kz::platform
