#include "platform/process.h"

#include <windows.h>

#include <cstddef>
#include <vector>

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

// A handle the program inherits: a duplicate of `handle`, since the host's own may
// not be inheritable, or null when the host has none.
HANDLE inheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (!handle || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

struct StartHandles {
    HANDLE in = nullptr, out = nullptr, err = nullptr;
    ~StartHandles() {
        for (HANDLE h : {in, out, err})
            if (h) CloseHandle(h);
    }
    std::vector<HANDLE> list() const {
        std::vector<HANDLE> handles;
        for (HANDLE h : {in, out, err})
            if (h) handles.push_back(h);
        return handles;
    }
};

// The program's attribute list names the only handles it inherits: its standard ones.
// Without one it would get every inheritable handle of the host, sockets included.
struct HandleListAttribute {
    explicit HandleListAttribute(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size / sizeof(std::max_align_t) + 1);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            list_ = nullptr;
            return;
        }
        if (!handles_.empty() &&
            !UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                       handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~HandleListAttribute() {
        if (list_) DeleteProcThreadAttributeList(list_);
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

  private:
    std::vector<HANDLE> handles_;
    std::vector<std::max_align_t> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A job that holds the program and everything it starts, so a timeout ends them all.
struct ProcessTree {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    ~ProcessTree() {
        if (job) CloseHandle(job);
    }
};

}  // namespace

// The command line goes to the program as given, without a shell; the program is the
// first word (searched in the usual places when it has no folder). Standard input is
// the null device; output and errors are the caller's; no other handle is passed on.
// At the bound the program and every process it started are killed.
ProcessResult runProcess(std::string_view commandLine, std::chrono::milliseconds bound) {
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words[0].empty())
        return notStarted(ERROR_FILE_NOT_FOUND, "no program named");
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    StartHandles handles;
    handles.in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, nullptr);
    if (handles.in == INVALID_HANDLE_VALUE) handles.in = nullptr;
    handles.out = inheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
    handles.err = inheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    HandleListAttribute attribute(handles.list());
    if (!attribute.get()) return notStarted(GetLastError(), "cannot limit the inherited handles");

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.in;
    startup.StartupInfo.hStdOutput = handles.out;
    startup.StartupInfo.hStdError = handles.err;
    startup.lpAttributeList = attribute.get();
    PROCESS_INFORMATION process{};
    std::wstring line = win32::widen(commandLine);
    ProcessTree tree;
    const BOOL inherit = handles.list().empty() ? FALSE : TRUE;
    BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                       nullptr, &startup.StartupInfo, &process);
    DWORD error = GetLastError();
    if (!started) return notStarted(error, win32::errorText(error));
    // Outside a job (the host's own may forbid it) a timeout still ends the program.
    const bool inJob = tree.job && AssignProcessToJobObject(tree.job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    ProcessResult result;
    result.started = true;
    DWORD wait = bound.count() <= 0 ? 0 : DWORD(std::min<int64_t>(bound.count(), INFINITE - 1));
    if (WaitForSingleObject(process.hProcess, wait) != WAIT_OBJECT_0) {
        if (!inJob || !TerminateJobObject(tree.job, 1)) TerminateProcess(process.hProcess, 1);
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
