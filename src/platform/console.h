#pragma once
// Trace lines for the host's standard output and the debugger (standard error).
// Each line goes out in one write, so lines of concurrent runs never interleave.

#include <string_view>

namespace kz::platform {

void writeStdout(std::string_view text);
void writeDebugger(std::string_view text);

}  // namespace kz::platform

namespace kz::platform {

// True when standard output is a terminal (for progress lines).
bool stdoutIsTerminal();
bool stderrIsTerminal();
bool stdinIsTerminal();
// Sets whether the terminal on standard input shows what is typed (off while a password
// is read); false when standard input is no terminal.
bool setStdinEcho(bool on);

// Text the program writes to a console shows as the UTF-8 it is, until the program ends;
// what goes to a file or a pipe is not touched. Nothing to do where terminals take UTF-8.
void showUtf8OnConsole();

}  // namespace kz::platform
