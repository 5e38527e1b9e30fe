#include "kzmta_process.h"

#include <stdexcept>

#include "platform/win32/windows_text.h"
#include "windows_test_support.h"

namespace kz::test {

namespace {

std::wstring quoted(const std::string& argument) {
    return L"\"" + platform::win32::widen(argument) + L"\"";
}

}  // namespace

KzmtaProcess::KzmtaProcess(const std::vector<std::string>& args, const std::string& folder) {
    std::wstring line = quoted(builtFile("kzmta.exe"));
    for (const std::string& arg : args) line += L" " + quoted(arg);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&read_, &write, &inherit, 0)) throw std::runtime_error("no pipe");
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = write;
    PROCESS_INFORMATION started{};
    const std::wstring directory = platform::win32::widen(folder);
    const bool ok =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : directory.c_str(), &startup, &started);
    CloseHandle(write);
    if (!ok) {
        CloseHandle(read_);
        throw std::runtime_error("cannot start " + platform::win32::narrow(line));
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
}

KzmtaProcess::~KzmtaProcess() {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
    CloseHandle(read_);
}

bool KzmtaProcess::awaitLine(const std::string& marker, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        std::size_t at = output_.find(marker);
        if (at != std::string::npos && output_.find('\n', at) != std::string::npos) return true;
        if (!readAvailable() && WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) {
            readAvailable();
            return false;
        }
    }
    return false;
}

std::optional<DWORD> KzmtaProcess::exitCode(std::chrono::milliseconds bound) {
    // Read while it runs: a pipe left full would stop it before it ends.
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (WaitForSingleObject(process_, 20) == WAIT_TIMEOUT) {
        readAvailable();
        if (std::chrono::steady_clock::now() >= deadline) return {};
    }
    readAvailable();
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool KzmtaProcess::readAvailable() {
    bool got = false;
    DWORD available = 0;
    while (PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr) && available) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!ReadFile(read_, chunk.data(), available, &read, nullptr)) break;
        output_.append(chunk, 0, read);
        got = true;
    }
    return got;
}

}  // namespace kz::test
