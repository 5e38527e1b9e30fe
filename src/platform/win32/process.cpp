#include "platform/process.h"

#include <windows.h>

#include "platform/win32/windows_text.h"

namespace kz::platform {

namespace {

ProcessResult notStarted(DWORD errorCode, std::string why) {
    ProcessResult result;
    result.errorCode = int(errorCode);
    result.error = std::move(why);
    return result;
}

// An argument as the runtime's command-line reading gives it back: quoted when it is
// empty or holds blanks or quotes, with backslashes before a quote doubled.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, '\\');
    return out + '"';
}

}  // namespace

// The command line goes to the program as given, without a shell; the program is the
// first word (searched in the usual places when it has no folder). Standard input is
// the null device; output and errors are the caller's.
ProcessResult runProcess(std::string_view commandLine, std::chrono::milliseconds bound) {
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words[0].empty())
        return notStarted(ERROR_FILE_NOT_FOUND, "no program named");
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::string line(commandLine);
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &startup, &process);
    DWORD error = GetLastError();
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) return notStarted(error, win32::errorText(error));
    CloseHandle(process.hThread);

    ProcessResult result;
    result.started = true;
    DWORD wait = bound.count() <= 0 ? 0 : DWORD(std::min<int64_t>(bound.count(), INFINITE - 1));
    if (WaitForSingleObject(process.hProcess, wait) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result.killed = true;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.finished = true;
        result.exitCode = int(code);
    }
    CloseHandle(process.hProcess);
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds bound) {
    if (argv.empty() || argv[0].empty())
        return notStarted(ERROR_FILE_NOT_FOUND, "no program named");
    std::string line = "\"" + argv[0] + "\"";
    for (size_t i = 1; i < argv.size(); ++i) line += ' ' + quoted(argv[i]);
    return runProcess(line, bound);
}

}  // namespace kz::platform
