// DNS questions through c-ares: every question of a call on one borrowed channel, run
// until all are answered or the deadline passes, when the rest are cancelled.

#include "platform/dns_query.h"

#include <ares.h>
#include <arpa/nameser.h>
#include <netdb.h>

#include <algorithm>

#include "platform/dns_negative_ttl.h"
#include "platform/posix/dns_channels.h"

namespace kz::platform {

namespace {

// The most A records read from one answer.
constexpr int kMaxRecords = 16;

struct Pending {
    DnsAnswer* answer;
    int* remaining;
};

void failed(DnsAnswer& answer, int status) {
    answer.status = DnsAnswer::Status::Failed;
    // The deadline cancels what c-ares has not given up on by itself.
    answer.timedOut = status == ARES_ECANCELLED || status == ARES_ETIMEOUT;
    answer.error = ares_strerror(status);
}

bool noRecords(DnsAnswer& answer, int status, const unsigned char* reply, int length) {
    if (status != ARES_SUCCESS && status != ARES_ENOTFOUND && status != ARES_ENODATA) return false;
    answer.status = DnsAnswer::Status::NoRecords;
    answer.negativeTtl = negativeTtlOf(reply, length);
    return true;
}

void addressAnswered(void* argument, int status, int, unsigned char* reply, int length) {
    auto* pending = static_cast<Pending*>(argument);
    --*pending->remaining;
    DnsAnswer& answer = *pending->answer;
    if (status == ARES_SUCCESS) {
        ares_addrttl records[kMaxRecords];
        int count = kMaxRecords;
        status = ares_parse_a_reply(reply, length, nullptr, records, &count);
        if (status == ARES_SUCCESS && count > 0) {
            answer.status = DnsAnswer::Status::Records;
            int ttl = records[0].ttl;
            for (int i = 0; i < count; ++i) {
                answer.addresses.push_back(ntohl(records[i].ipaddr.s_addr));
                ttl = std::min(ttl, records[i].ttl);
            }
            answer.ttl = std::chrono::seconds(std::max(ttl, 0));
            return;
        }
    }
    if (!noRecords(answer, status, reply, length)) failed(answer, status);
}

void textAnswered(void* argument, int status, int, unsigned char* reply, int length) {
    auto* pending = static_cast<Pending*>(argument);
    --*pending->remaining;
    DnsAnswer& answer = *pending->answer;
    ares_txt_ext* records = nullptr;
    if (status == ARES_SUCCESS) status = ares_parse_txt_reply_ext(reply, length, &records);
    if (status == ARES_SUCCESS) {
        // A record's strings arrive as pieces, each starting with record_start.
        for (ares_txt_ext* piece = records; piece; piece = piece->next) {
            if (piece->record_start || answer.texts.empty()) answer.texts.emplace_back();
            answer.texts.back().append(reinterpret_cast<const char*>(piece->txt), piece->length);
        }
        ares_free_data(records);
        answer.status =
            answer.texts.empty() ? DnsAnswer::Status::NoRecords : DnsAnswer::Status::Records;
        return;
    }
    if (!noRecords(answer, status, reply, length)) failed(answer, status);
}

void hostAnswered(void* argument, int status, int, hostent* host) {
    auto* pending = static_cast<Pending*>(argument);
    --*pending->remaining;
    DnsAnswer& answer = *pending->answer;
    if (status == ARES_SUCCESS && host && host->h_addrtype == AF_INET) {
        for (char** at = host->h_addr_list; *at; ++at) {
            uint32_t address = 0;
            std::copy_n(reinterpret_cast<const unsigned char*>(*at), 4,
                        reinterpret_cast<unsigned char*>(&address));
            answer.addresses.push_back(ntohl(address));
        }
    }
    if (!answer.addresses.empty()) {
        answer.status = DnsAnswer::Status::Records;
        return;
    }
    if (!noRecords(answer, status == ARES_SUCCESS ? ARES_ENODATA : status, nullptr, 0))
        failed(answer, status);
}

}  // namespace

struct DnsResolver::State {
    State(std::vector<DnsServer> servers, std::chrono::milliseconds perTry)
        : channels(std::move(servers), perTry) {}
    posix::DnsChannels channels;
};

DnsResolver::DnsResolver(std::vector<DnsServer> servers, std::chrono::milliseconds perTry)
    : state_(std::make_unique<State>(std::move(servers), perTry)) {}

DnsResolver::~DnsResolver() = default;

bool DnsResolver::usable() {
    return state_->channels.usable();
}

std::string_view DnsResolver::method() {
    return "c-ares";
}

std::vector<DnsAnswer> DnsResolver::ask(const std::vector<DnsQuestion>& questions,
                                        Clock::time_point deadline) {
    std::vector<DnsAnswer> answers(questions.size());
    if (questions.empty()) return answers;
    ares_channel channel = state_->channels.borrow();
    if (!channel) {
        for (DnsAnswer& answer : answers) answer.error = "no resolver channel";
        return answers;
    }
    int remaining = static_cast<int>(questions.size());
    std::vector<Pending> pending(questions.size());
    for (std::size_t i = 0; i < questions.size(); ++i) {
        pending[i] = {&answers[i], &remaining};
        const char* name = questions[i].name.c_str();
        switch (questions[i].kind) {
            case DnsQuestion::Kind::Address:
                ares_query(channel, name, ns_c_in, ns_t_a, &addressAnswered, &pending[i]);
                break;
            case DnsQuestion::Kind::Text:
                ares_query(channel, name, ns_c_in, ns_t_txt, &textAnswered, &pending[i]);
                break;
            case DnsQuestion::Kind::HostAddress:
                ares_gethostbyname(channel, name, AF_INET, &hostAnswered, &pending[i]);
                break;
        }
    }
    posix::RunChannel(channel, remaining, deadline);
    state_->channels.giveBack(channel);
    return answers;
}

}  // namespace kz::platform
