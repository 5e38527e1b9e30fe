#include "key_resolver.h"

#include <ares.h>
#include <arpa/nameser.h>

#include <algorithm>
#include <cstring>

#include "opendkim_api.h"

namespace kz::dkim {

namespace {

// A question OpenDKIM started; answered when it waits for the reply.
struct Query {
    std::string name;
    int type;
    unsigned char* buffer;
    std::size_t size;
};

struct Answer {
    int status = ARES_ENOTINITIALIZED;  // no channel could be made
    std::vector<unsigned char> bytes;
    int remaining = 1;
};

void answered(void* argument, int status, int /*timeouts*/, unsigned char* bytes, int length) {
    auto* answer = static_cast<Answer*>(argument);
    answer->status = status;
    // NXDOMAIN and empty answers come with the server's reply, which OpenDKIM reads itself.
    if (bytes && length > 0) answer->bytes.assign(bytes, bytes + length);
    answer->remaining = 0;
}

int startQuery(void* service, int type, unsigned char* name, unsigned char* buffer,
               std::size_t size, void** handle) {
    if (!service || !name || !buffer || !handle) return DKIM_DNS_INVALID;
    *handle = new Query{reinterpret_cast<const char*>(name), type, buffer, size};
    return DKIM_DNS_SUCCESS;
}

int cancelQuery(void* /*service*/, void* handle) {
    delete static_cast<Query*>(handle);
    return DKIM_DNS_SUCCESS;
}

int waitReply(void* service, void* handle, timeval* /*timeout*/, std::size_t* bytes, int* error,
              int* dnssec) {
    auto* query = static_cast<Query*>(handle);
    std::size_t length = 0;
    const int status = static_cast<KeyResolver*>(service)->lookup(
        query->name, query->type, query->buffer, query->size, length);
    if (bytes) *bytes = length;
    if (error) *error = 0;
    if (dnssec) *dnssec = -1;
    return status;
}

// The library's own resolver is never set up: these hooks stand in for it.
int keepService(void** /*service*/) {
    return 0;
}
void closeNothing(void* /*service*/) {}

}  // namespace

KeyResolver::KeyResolver(std::vector<providers::DnsServer> servers,
                         std::chrono::milliseconds timeout)
    : channels_(std::move(servers), timeout) {}

void KeyResolver::install(dkim_lib* library) {
    dkim_dns_set_init(library, &keepService);
    dkim_dns_set_close(library, &closeNothing);
    dkim_dns_set_query_service(library, this);
    dkim_dns_set_query_start(library, &startQuery);
    dkim_dns_set_query_cancel(library, &cancelQuery);
    dkim_dns_set_query_waitreply(library, &waitReply);
}

int KeyResolver::lookup(const std::string& name, int type, unsigned char* buffer, std::size_t size,
                        std::size_t& length) {
    using Clock = providers::DnsChannels::Clock;
    if (!started_) {
        deadline_ = Clock::now() + channels_.timeout();
        started_ = true;
    }
    Answer answer;
    if (ares_channel channel = channels_.borrow()) {
        ares_query(channel, name.c_str(), ns_c_in, type, &answered, &answer);
        providers::RunChannel(channel, answer.remaining, deadline_);
        channels_.giveBack(channel);
    }
    if (!answer.bytes.empty() && answer.bytes.size() <= size) {
        std::memcpy(buffer, answer.bytes.data(), answer.bytes.size());
        length = answer.bytes.size();
        return DKIM_DNS_SUCCESS;
    }
    // A header that says SERVFAIL, for a caller that reads the buffer whatever the status.
    length = std::min<std::size_t>(size, NS_HFIXEDSZ);
    std::memset(buffer, 0, length);
    if (length == NS_HFIXEDSZ) {
        buffer[2] = 0x80;  // a response
        buffer[3] = ns_r_servfail;
    }
    const bool late = answer.status == ARES_ECANCELLED || answer.status == ARES_ETIMEOUT;
    if (late) timedOut_.insert(name);
    return late ? DKIM_DNS_EXPIRED : DKIM_DNS_ERROR;
}

}  // namespace kz::dkim
