// Bounded host lookups. getaddrinfo has no timeout of its own, so the lookup runs as a
// glibc asynchronous request (getaddrinfo_a). The caller waits at most the bound; a
// request that is still running then is handed over to a process-wide list and freed
// once glibc has finished with it. The worker threads belong to the C library, not to
// this library, so unloading this library while a lookup is still out is harmless.

#include "platform/resolve.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

namespace kz::platform {

namespace {

using Clock = std::chrono::steady_clock;

// One request; glibc keeps pointers into it, so it never moves.
struct Lookup {
    explicit Lookup(std::string_view host) : name(host) {
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        request.ar_name = name.c_str();
        request.ar_request = &hints;
    }
    ~Lookup() {
        if (request.ar_result) ::freeaddrinfo(request.ar_result);
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    bool finished() { return ::gai_error(&request) != EAI_INPROGRESS; }

    std::string name;
    addrinfo hints{};
    gaicb request{};
};

// Lookups that outlived their caller's bound. Deliberately never destroyed: glibc may
// still write into an entry while the process exits.
struct Abandoned {
    std::mutex lock;
    std::vector<std::unique_ptr<Lookup>> lookups;
};

Abandoned& abandoned() {
    static Abandoned* list = new Abandoned;
    return *list;
}

void abandon(std::unique_ptr<Lookup> lookup) {
    Abandoned& list = abandoned();
    std::lock_guard<std::mutex> guard(list.lock);
    std::erase_if(list.lookups, [](const std::unique_ptr<Lookup>& l) { return l->finished(); });
    list.lookups.push_back(std::move(lookup));
}

// Waits until the request is answered or the deadline passes.
bool awaitAnswer(Lookup& lookup, Clock::time_point deadline) {
    const gaicb* list[] = {&lookup.request};
    while (!lookup.finished()) {
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
        ::gai_suspend(list, 1, &timeout);  // EAI_INTR and EAI_AGAIN just loop
    }
    return true;
}

std::optional<std::string> firstAddress(const addrinfo* result) {
    for (const addrinfo* ai = result; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || !ai->ai_addr) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) return std::string(text);
    }
    return std::nullopt;
}

std::optional<std::string> dottedForm(const std::string& host) {
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text)) return std::nullopt;
    return std::string(text);
}

}  // namespace

std::optional<std::string> resolveHostIPv4(std::string_view host, std::chrono::milliseconds bound) {
    if (host.empty() || host.find('\0') != std::string_view::npos) return std::nullopt;
    auto deadline = Clock::now() + bound;
    auto lookup = std::make_unique<Lookup>(host);
    if (std::optional<std::string> numeric = dottedForm(lookup->name)) return numeric;
    if (bound <= std::chrono::milliseconds::zero()) return std::nullopt;

    gaicb* list[] = {&lookup->request};
    if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return std::nullopt;
    if (!awaitAnswer(*lookup, deadline)) {
        // Cancelled, answered just now, or still running: past the bound either way.
        ::gai_cancel(&lookup->request);
        if (!lookup->finished()) abandon(std::move(lookup));
        return std::nullopt;
    }
    if (::gai_error(&lookup->request) != 0) return std::nullopt;
    return firstAddress(lookup->request.ar_result);
}

}  // namespace kz::platform
