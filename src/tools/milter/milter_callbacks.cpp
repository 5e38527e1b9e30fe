#include "milter_callbacks.h"

#include <arpa/inet.h>
#include <libmilter/mfapi.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "base/ascii.h"
#include "message/loop_seal.h"
#include "milter_decision.h"
#include "platform/files.h"

namespace kz::tool {

namespace {

MilterService* gService = nullptr;

struct Connection {
    std::string clientAddress;
    MilterTransaction transaction;
    std::size_t size = 0;
    bool returning = false;  // one of the milter's own new messages, back again
};

Connection* Of(SMFICTX* ctx) {
    return static_cast<Connection*>(smfi_getpriv(ctx));
}

std::string WithoutBrackets(const char* address) {
    std::string_view a = address ? address : "";
    if (a.size() >= 2 && a.front() == '<' && a.back() == '>') a = a.substr(1, a.size() - 2);
    return std::string(a);
}

std::string Symbol(SMFICTX* ctx, const char* name) {
    const char* value = smfi_getsymval(ctx, const_cast<char*>(name));
    return value ? value : "";
}

sfsistat Reply(SMFICTX* ctx, const char* code, const char* enhanced, const std::string& text,
               sfsistat status) {
    smfi_setreply(ctx, const_cast<char*>(code), const_cast<char*>(enhanced),
                  const_cast<char*>(text.c_str()));
    return status;
}

sfsistat TempFail(SMFICTX* ctx, const std::string& why) {
    std::fprintf(stderr, "kzmta milter: temporary failure: %s\n", why.c_str());
    return Reply(ctx, "451", "4.3.0", "Mail filter temporarily unavailable", SMFIS_TEMPFAIL);
}

sfsistat TooBig(SMFICTX* ctx) {
    return Reply(ctx, "552", "5.3.4", "Message size exceeds the mail filter's limit", SMFIS_REJECT);
}

bool Grow(Connection& c, std::size_t bytes) {
    c.size += bytes;
    return c.size <= gService->options.maxSize;
}

sfsistat OnConnect(SMFICTX* ctx, char*, _SOCK_ADDR* address) {
    auto connection = std::make_unique<Connection>();
    char text[INET6_ADDRSTRLEN] = {};
    if (address && address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address && address->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    }
    connection->clientAddress = text;
    smfi_setpriv(ctx, connection.release());
    return SMFIS_CONTINUE;
}

sfsistat OnEnvelopeFrom(SMFICTX* ctx, char** argv) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    c->transaction = MilterTransaction{};
    c->size = 0;
    c->returning = false;
    c->transaction.clientAddress = c->clientAddress;
    c->transaction.sender = WithoutBrackets(argv[0]);
    c->transaction.login = Symbol(ctx, "{auth_authen}");
    c->transaction.server = Symbol(ctx, "j");
    // The size the client announces: refused before any data is sent.
    for (char** arg = argv + 1; *arg; ++arg) {
        if (startsWithIgnoreCase(*arg, "SIZE=") &&
            std::strtoull(*arg + 5, nullptr, 10) > gService->options.maxSize)
            return TooBig(ctx);
    }
    return SMFIS_CONTINUE;
}

sfsistat OnRecipient(SMFICTX* ctx, char** argv) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    c->transaction.recipients.push_back(WithoutBrackets(argv[0]));
    return SMFIS_CONTINUE;
}

sfsistat OnHeader(SMFICTX* ctx, char* name, char* value) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    std::string_view n = name ? name : "", v = value ? value : "";
    if (!Grow(*c, n.size() + v.size() + 4)) return TooBig(ctx);
    if (equalsIgnoreCase(n, kLoopSealHeaderName) && gService->seals.takeBack(v))
        c->returning = true;
    c->transaction.headers.emplace_back(n, v);
    return SMFIS_CONTINUE;
}

sfsistat OnBody(SMFICTX* ctx, unsigned char* data, size_t length) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    if (!Grow(*c, length)) return TooBig(ctx);
    c->transaction.body.append(reinterpret_cast<const char*>(data), length);
    return SMFIS_CONTINUE;
}

// libmilter takes non-const buffers that it only reads: the decision is the caller's own.
bool Apply(SMFICTX* ctx, MilterDecision& decision) {
    for (HeaderChange& h : decision.headers) {
        char* name = h.name.data();
        char* value = h.value.data();
        int rc = MI_FAILURE;
        switch (h.kind) {
            case HeaderChange::Kind::Change:
                rc = smfi_chgheader(ctx, name, h.index, value);
                break;
            case HeaderChange::Kind::Delete:
                rc = smfi_chgheader(ctx, name, h.index, nullptr);
                break;
            case HeaderChange::Kind::Insert:
                rc = smfi_insheader(ctx, h.index, name, value);
                break;
            case HeaderChange::Kind::Add:
                rc = smfi_addheader(ctx, name, value);
                break;
        }
        if (rc != MI_SUCCESS) return false;
    }
    if (decision.body) {
        // Sent in pieces: the protocol's packets are bounded.
        constexpr std::size_t kPiece = 64 * 1024;
        std::string& body = *decision.body;
        if (body.empty() &&
            smfi_replacebody(ctx, reinterpret_cast<unsigned char*>(body.data()), 0) != MI_SUCCESS)
            return false;
        for (std::size_t at = 0; at < body.size(); at += kPiece) {
            int length = int(std::min(kPiece, body.size() - at));
            if (smfi_replacebody(ctx, reinterpret_cast<unsigned char*>(body.data() + at), length) !=
                MI_SUCCESS)
                return false;
        }
    }
    for (const std::string& r : decision.addedRecipients) {
        std::string address = "<" + r + ">";
        if (smfi_addrcpt(ctx, address.data()) != MI_SUCCESS) return false;
    }
    for (const std::string& r : decision.removedRecipients) {
        std::string address = "<" + r + ">";
        if (smfi_delrcpt(ctx, address.data()) != MI_SUCCESS) return false;
    }
    return true;
}

sfsistat OnEndOfMessage(SMFICTX* ctx) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    if (c->returning) {
        std::fprintf(gService->console,
                     "kzmta milter: a message it handed on came back, let through\n");
        std::fflush(gService->console);
        return SMFIS_CONTINUE;
    }
    MilterSpool& spool = gService->spool;
    std::optional<SpooledMessage> queued = spool.write(c->transaction);
    c->transaction.body.clear();
    if (!queued) return TempFail(ctx, "cannot write the message into " + spool.inbound());

    auto result = gService->runs.run(queued->id, spool.connector(), [&spool, copy = *queued] {
        spool.remove(copy);
        gService->handOff.wake();
    });
    if (result != AgentRuns::Result::Done) {
        if (result == AgentRuns::Result::Busy) spool.remove(*queued);
        return TempFail(ctx, result == AgentRuns::Result::Busy ? "every agent run is busy"
                                                               : "the agent run timed out");
    }
    MilterDecision decision = CompareQueuedMessage(queued->text, queued->commands,
                                                   platform::readFile(queued->messageFile),
                                                   platform::readFile(queued->commandFile));
    spool.remove(*queued);
    gService->handOff.wake();
    if (decision.gone) {
        const MilterOptions& o = gService->options;
        if (!o.rejectRemoved) return SMFIS_DISCARD;
        return Reply(ctx, o.reject.code.c_str(),
                     o.reject.enhanced.empty() ? nullptr : o.reject.enhanced.c_str(), o.reject.text,
                     SMFIS_REJECT);
    }
    if (!Apply(ctx, decision)) return TempFail(ctx, "the MTA refused a change");
    return SMFIS_CONTINUE;
}

sfsistat OnAbort(SMFICTX* ctx) {
    if (Connection* c = Of(ctx)) c->transaction = MilterTransaction{};
    return SMFIS_CONTINUE;
}

sfsistat OnClose(SMFICTX* ctx) {
    delete Of(ctx);
    smfi_setpriv(ctx, nullptr);
    return SMFIS_CONTINUE;
}

}  // namespace

int ServeMilter(MilterService& service) {
    gService = &service;
    smfiDesc description{};
    description.xxfi_name = const_cast<char*>("kzmta");
    description.xxfi_version = SMFI_VERSION;
    description.xxfi_flags =
        SMFIF_ADDHDRS | SMFIF_CHGHDRS | SMFIF_CHGBODY | SMFIF_ADDRCPT | SMFIF_DELRCPT;
    description.xxfi_connect = OnConnect;
    description.xxfi_envfrom = OnEnvelopeFrom;
    description.xxfi_envrcpt = OnRecipient;
    description.xxfi_header = OnHeader;
    description.xxfi_body = OnBody;
    description.xxfi_eom = OnEndOfMessage;
    description.xxfi_abort = OnAbort;
    description.xxfi_close = OnClose;
    if (smfi_setconn(const_cast<char*>(service.options.socket.c_str())) != MI_SUCCESS ||
        smfi_register(description) != MI_SUCCESS) {
        std::fprintf(stderr, "kzmta milter: cannot register the filter\n");
        return 1;
    }
    // The MTA waits for an answer no longer than the run's bound and a margin.
    smfi_settimeout(int(service.options.timeout.count()) + 30);
    if (smfi_opensocket(true) != MI_SUCCESS) {
        std::fprintf(stderr, "kzmta milter: cannot open %s\n", service.options.socket.c_str());
        return 1;
    }
    // The MTA's own user must reach a Unix socket.
    std::string_view socket = service.options.socket;
    for (std::string_view prefix : {"unix:", "local:"}) {
        if (socket.substr(0, prefix.size()) == prefix &&
            chmod(std::string(socket.substr(prefix.size())).c_str(), service.options.socketMode) !=
                0)
            std::fprintf(stderr, "kzmta milter: cannot set the socket's mode\n");
    }
    std::fprintf(service.console, "kzmta milter: listening on %s\n",
                 service.options.socket.c_str());
    std::fflush(service.console);
    int rc = smfi_main();
    return rc == MI_SUCCESS ? 0 : 1;
}

}  // namespace kz::tool
