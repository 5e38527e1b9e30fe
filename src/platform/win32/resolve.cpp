// Bounded host lookups. getaddrinfo has no timeout of its own, so each lookup runs on a
// thread of its own and the caller waits at most the bound for its answer. The thread
// keeps this module loaded until it has finished, so a lookup still out when the host
// unloads the library cannot run into freed code.

#include "platform/resolve.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, so that the old winsock.h stays out.
#include <windows.h>

#include <memory>

#include "platform/win32/winsock_start.h"

namespace kz::platform {

namespace {

struct Lookup {
    std::string host;
    std::string answer;  // written by the thread before `done` is set
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Lookup() {
        if (done) CloseHandle(done);
    }
};

std::optional<std::string> firstAddress(const addrinfo* result) {
    for (const addrinfo* ai = result; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || !ai->ai_addr) continue;
        char text[INET_ADDRSTRLEN] = {};
        auto* in = reinterpret_cast<sockaddr_in*>(ai->ai_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) return std::string(text);
    }
    return std::nullopt;
}

std::optional<std::string> dottedForm(const std::string& host) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address, text, sizeof text)) return std::nullopt;
    return std::string(text);
}

DWORD WINAPI runLookup(void* parameter) {
    std::unique_ptr<std::shared_ptr<Lookup>> held(static_cast<std::shared_ptr<Lookup>*>(parameter));
    Lookup& lookup = **held;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(lookup.host.c_str(), nullptr, &hints, &result) == 0) {
        lookup.answer = firstAddress(result).value_or(std::string());
        freeaddrinfo(result);
    }
    SetEvent(lookup.done);
    held.reset();
    return 0;
}

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const char*>(&runLookup), &module);
    return module;
}

// The thread's entry: run the lookup, then let go of the module and end in one step.
DWORD WINAPI lookupThread(void* parameter) {
    runLookup(parameter);
    FreeLibraryAndExitThread(thisModule(), 0);
}

}  // namespace

std::optional<std::string> resolveHostIPv4(std::string_view host, std::chrono::milliseconds bound) {
    if (host.empty() || host.find('\0') != std::string_view::npos) return std::nullopt;
    if (!win32::startWinsock()) return std::nullopt;
    auto lookup = std::make_shared<Lookup>();
    lookup->host = std::string(host);
    if (std::optional<std::string> numeric = dottedForm(lookup->host)) return numeric;
    if (bound <= std::chrono::milliseconds::zero() || !lookup->done) return std::nullopt;

    HMODULE pinned = nullptr;  // released by the thread as it ends
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<const char*>(&runLookup), &pinned);
    auto* shared = new std::shared_ptr<Lookup>(lookup);
    HANDLE thread = CreateThread(nullptr, 0, lookupThread, shared, 0, nullptr);
    if (!thread) {
        delete shared;
        if (pinned) FreeLibrary(pinned);
        return std::nullopt;
    }
    CloseHandle(thread);
    DWORD wait = DWORD(std::min<int64_t>(bound.count(), INFINITE - 1));
    if (WaitForSingleObject(lookup->done, wait) != WAIT_OBJECT_0) return std::nullopt;
    if (lookup->answer.empty()) return std::nullopt;
    return lookup->answer;
}

}  // namespace kz::platform
