// DNS questions through dnsapi's asynchronous DnsQueryEx: every question of a call sent
// at once, each answered through its completion routine; what is still out at the
// deadline is cancelled with DnsCancelQuery. Where DnsQueryEx is not implemented (Wine,
// for one), each question runs the blocking DnsQuery_UTF8 on a thread of its own and the
// caller stops waiting at the deadline; that path asks only IPv4 servers on port 53, and
// a list without one gets no answer rather than the system's own servers.

#include "platform/dns_query.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, so that the old winsock.h stays out.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/win32/windns_ex.h"

namespace kz::platform {

namespace {

using Clock = DnsResolver::Clock;

// How long a cancelled question may take to come back before it is left to finish alone.
constexpr DWORD kCancelGraceMs = 1000;

std::atomic<bool> gQueryExMissing{false};

std::string textOf(PCWSTR text) {
    if (!text) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::wstring wideOf(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
    out.pop_back();
    return out;
}
std::string textOf(PCSTR text) {
    return text ? std::string(text) : std::string();
}

// One question, shared by its caller and whoever answers it (the completion routine or
// the blocking thread); `answer` is complete when `done` is set.
struct Job {
    Job() : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Job() {
        if (done) CloseHandle(done);
    }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    DnsQuestion question;
    std::wstring wideName;
    KzDnsQueryRequest request{};
    DNS_QUERY_RESULT result{};
    KzDnsQueryCancel cancel{};
    const KzDnsAddrArray* servers = nullptr;
    IP4_ARRAY* legacyServers = nullptr;
    DnsAnswer answer;
    HANDLE done;
};

// The records of one reply as a DnsAnswer; frees them.
template <typename Record>
void takeRecords(Job& job, DNS_STATUS status, Record* records) {
    DnsAnswer& answer = job.answer;
    const bool text = job.question.kind == DnsQuestion::Kind::Text;
    std::optional<uint32_t> ttl;
    for (Record* record = records; record; record = record->pNext) {
        if (record->wType == DNS_TYPE_SOA) {
            const uint32_t soaTtl =
                std::min<uint32_t>(record->dwTtl, record->Data.SOA.dwDefaultTtl);
            answer.negativeTtl = std::chrono::seconds(soaTtl > 0x7FFFFFFFu ? 0 : soaTtl);
        }
        if (record->Flags.S.Section != DnsSectionAnswer) continue;
        if (!text && record->wType == DNS_TYPE_A) {
            answer.addresses.push_back(ntohl(record->Data.A.IpAddress));
        } else if (text && record->wType == DNS_TYPE_TEXT) {
            std::string joined;
            for (DWORD i = 0; i < record->Data.TXT.dwStringCount; ++i)
                joined += textOf(record->Data.TXT.pStringArray[i]);
            answer.texts.push_back(std::move(joined));
        } else {
            continue;
        }
        ttl = std::min<uint32_t>(ttl.value_or(record->dwTtl), record->dwTtl);
    }
    if (records) DnsRecordListFree(reinterpret_cast<PDNS_RECORD>(records), DnsFreeRecordList);
    const bool some = !answer.addresses.empty() || !answer.texts.empty();
    if (status == ERROR_SUCCESS && some) {
        answer.status = DnsAnswer::Status::Records;
        answer.ttl = std::chrono::seconds(std::min<uint32_t>(*ttl, 0x7FFFFFFFu));
    } else if (status == ERROR_SUCCESS || status == DNS_INFO_NO_RECORDS ||
               status == DNS_ERROR_RCODE_NAME_ERROR) {
        answer.status = DnsAnswer::Status::NoRecords;
    } else {
        answer.status = DnsAnswer::Status::Failed;
        answer.timedOut = status == ERROR_TIMEOUT || status == ERROR_CANCELLED;
        answer.error = "DNS status " + std::to_string(status);
    }
}

WORD typeOf(const DnsQuestion& question) {
    return question.kind == DnsQuestion::Kind::Text ? DNS_TYPE_TEXT : DNS_TYPE_A;
}

DWORD optionsOf(const DnsQuestion& question) {
    DWORD options = DNS_QUERY_NO_NETBT | DNS_QUERY_TREAT_AS_FQDN;
    if (question.kind != DnsQuestion::Kind::HostAddress)
        options |= DNS_QUERY_NO_HOSTS_FILE | DNS_QUERY_BYPASS_CACHE;
    return options;
}

void WINAPI completed(void* context, DNS_QUERY_RESULT* result) {
    std::unique_ptr<std::shared_ptr<Job>> held(static_cast<std::shared_ptr<Job>*>(context));
    Job& job = **held;
    takeRecords(job, result->QueryStatus, reinterpret_cast<DNS_RECORDW*>(result->pQueryRecords));
    SetEvent(job.done);
}

// Sends the question; false when DnsQueryEx is not implemented here.
bool sendAsync(const std::shared_ptr<Job>& job) {
    job->wideName = wideOf(job->question.name);
    job->request.Version = 1;
    job->request.QueryName = job->wideName.c_str();
    job->request.QueryType = typeOf(job->question);
    job->request.QueryOptions = optionsOf(job->question);
    job->request.pDnsServerList = const_cast<KzDnsAddrArray*>(job->servers);
    job->request.pQueryCompletionCallback = &completed;
    auto* context = new std::shared_ptr<Job>(job);
    job->request.pQueryContext = context;
    job->result.Version = DNS_QUERY_RESULTS_VERSION1;
    const DNS_STATUS status = DnsQueryEx(&job->request, &job->result, &job->cancel);
    if (status == DNS_REQUEST_PENDING) return true;
    // Answered at once: the completion routine is not called.
    delete context;
    if (status == DNS_ERROR_RCODE_NOT_IMPLEMENTED && !job->result.pQueryRecords) return false;
    takeRecords(*job, status, reinterpret_cast<DNS_RECORDW*>(job->result.pQueryRecords));
    SetEvent(job->done);
    return true;
}

HMODULE pinThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&completed), &module);
    return module;
}

DWORD WINAPI blockingQuery(void* parameter) {
    {
        std::unique_ptr<std::shared_ptr<Job>> held(static_cast<std::shared_ptr<Job>*>(parameter));
        Job& job = **held;
        PDNS_RECORDA records = nullptr;
        const DNS_STATUS status =
            DnsQuery_UTF8(job.question.name.c_str(), typeOf(job.question), optionsOf(job.question),
                          job.legacyServers, &records, nullptr);
        takeRecords(job, status, records);
        SetEvent(job.done);
    }
    // The thread holds the module until it ends, so an unload cannot pull the code away.
    FreeLibraryAndExitThread(pinThisModule(), 0);
}

void sendBlocking(const std::shared_ptr<Job>& job) {
    auto* context = new std::shared_ptr<Job>(job);
    pinThisModule();  // released by the thread as it ends
    HANDLE thread = CreateThread(nullptr, 0, blockingQuery, context, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    delete context;
    job->answer.error = "no thread for the query";
    SetEvent(job->done);
}

DWORD millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return DWORD(std::clamp<int64_t>(left.count(), 0, INFINITE - 1));
}

}  // namespace

struct DnsResolver::State {
    std::vector<char> serverBlock;  // a KzDnsAddrArray with its addresses
    std::vector<char> legacyBlock;  // an IP4_ARRAY of the IPv4 servers on port 53
    const KzDnsAddrArray* servers() const {
        return serverBlock.empty() ? nullptr
                                   : reinterpret_cast<const KzDnsAddrArray*>(serverBlock.data());
    }
    IP4_ARRAY* legacyServers() {
        return legacyBlock.empty() ? nullptr : reinterpret_cast<IP4_ARRAY*>(legacyBlock.data());
    }
};

DnsResolver::DnsResolver(std::vector<DnsServer> servers, std::chrono::milliseconds)
    : state_(std::make_unique<State>()) {
    if (servers.empty()) return;
    state_->serverBlock.assign(sizeof(KzDnsAddrArray) + servers.size() * sizeof(KzDnsAddr), 0);
    auto* array = reinterpret_cast<KzDnsAddrArray*>(state_->serverBlock.data());
    array->MaxCount = array->AddrCount = DWORD(servers.size());
    array->Family = servers.front().family;
    std::vector<IP4_ADDRESS> legacy;
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const DnsServer& server = servers[i];
        if (server.family != array->Family) array->Family = AF_UNSPEC;
        char* slot = array->AddrArray[i].MaxSa;
        if (server.family == AF_INET) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(server.port);
            std::memcpy(&address.sin_addr, server.bytes, 4);
            std::memcpy(slot, &address, sizeof address);
            IP4_ADDRESS raw = 0;
            std::memcpy(&raw, server.bytes, 4);
            if (server.port == 53) legacy.push_back(raw);
        } else {
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_port = htons(server.port);
            std::memcpy(&address.sin6_addr, server.bytes, 16);
            std::memcpy(slot, &address, sizeof address);
        }
    }
    if (legacy.empty()) return;
    state_->legacyBlock.assign(sizeof(IP4_ARRAY) + legacy.size() * sizeof(IP4_ADDRESS), 0);
    auto* legacyArray = reinterpret_cast<IP4_ARRAY*>(state_->legacyBlock.data());
    legacyArray->AddrCount = DWORD(legacy.size());
    std::memcpy(legacyArray->AddrArray, legacy.data(), legacy.size() * sizeof(IP4_ADDRESS));
}

DnsResolver::~DnsResolver() = default;

bool DnsResolver::usable() {
    return true;
}

std::string_view DnsResolver::method() {
    return gQueryExMissing.load() ? "DnsQuery" : "DnsQueryEx";
}

std::vector<DnsAnswer> DnsResolver::ask(const std::vector<DnsQuestion>& questions,
                                        Clock::time_point deadline) {
    std::vector<std::shared_ptr<Job>> jobs;
    for (const DnsQuestion& question : questions) {
        auto job = std::make_shared<Job>();
        job->question = question;
        job->servers = state_->servers();
        job->legacyServers = state_->legacyServers();
        jobs.push_back(job);
        if (!job->done) {
            job->answer.error = "no event for the query";
            continue;
        }
        if (gQueryExMissing.load() || !sendAsync(job)) {
            gQueryExMissing.store(true);
            job->request = {};  // nothing of it is pending
            if (job->servers && !job->legacyServers) {
                job->answer.error = "no IPv4 server on port 53, which DnsQuery needs";
                SetEvent(job->done);
            } else {
                sendBlocking(job);
            }
        }
    }
    std::vector<DnsAnswer> answers(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Job& job = *jobs[i];
        bool answered = !job.done ||
                        WaitForSingleObject(job.done, millisecondsUntil(deadline)) == WAIT_OBJECT_0;
        if (!answered && job.request.pQueryCompletionCallback) {
            DnsCancelQuery(&job.cancel);
            answered = WaitForSingleObject(job.done, kCancelGraceMs) == WAIT_OBJECT_0;
            // A completion routine may still come: this module must stay for it.
            if (!answered) pinThisModule();
        }
        if (answered) {
            answers[i] = job.answer;
        } else {
            answers[i].timedOut = true;
            answers[i].error = "no answer in time";
        }
    }
    return answers;
}

}  // namespace kz::platform
