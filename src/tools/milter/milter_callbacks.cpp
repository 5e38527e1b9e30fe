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
#include "milter_connection.h"

namespace kz::tool {

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

namespace {

MilterService* gService = nullptr;

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

sfsistat TooBig(SMFICTX* ctx) {
    return Reply(ctx, "552", "5.3.4", "Message size exceeds the mail filter's limit", SMFIS_REJECT);
}

bool Grow(Connection& c, std::size_t bytes) {
    c.size += bytes;
    return c.size <= gService->options.maxSize;
}

// Bytes the connection keeps in memory until the end of the transaction.
bool Hold(Connection& c, std::size_t bytes) {
    if (!gService->memory.take(bytes)) return false;
    c.held += bytes;
    return true;
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
    c->reset(gService->memory);
    c->transaction.clientAddress = c->clientAddress;
    c->transaction.sender = WithoutBrackets(argv[0]);
    c->transaction.login = Symbol(ctx, "{auth_authen}");
    c->transaction.server = Symbol(ctx, "j");
    c->transaction.queueId = Symbol(ctx, "i");
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
    std::string recipient = WithoutBrackets(argv[0]);
    if (!Hold(*c, recipient.size() + 16))
        return TempFail(ctx, "the milter holds too much mail in memory");
    c->transaction.recipients.push_back(std::move(recipient));
    return SMFIS_CONTINUE;
}

sfsistat OnHeader(SMFICTX* ctx, char* name, char* value) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    std::string_view n = name ? name : "", v = value ? value : "";
    if (!Grow(*c, n.size() + v.size() + 4)) return TooBig(ctx);
    // Twice: the header as given, and the header block written from it.
    if (!Hold(*c, 2 * (n.size() + v.size() + 4)))
        return TempFail(ctx, "the milter holds too much mail in memory");
    if (equalsIgnoreCase(n, kLoopSealHeaderName) && c->seal.empty()) c->seal = v;
    c->transaction.headers.emplace_back(n, v);
    return SMFIS_CONTINUE;
}

sfsistat OnBody(SMFICTX* ctx, unsigned char* data, size_t length) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    if (!Grow(*c, length)) return TooBig(ctx);
    if (!c->writer) {
        if (std::string queueId = Symbol(ctx, "i"); !queueId.empty())
            c->transaction.queueId = queueId;
        c->writer = std::make_unique<SpoolWriter>(gService->spool, c->transaction);
    }
    if (!c->writer->appendBody(std::string_view(reinterpret_cast<const char*>(data), length)))
        return TempFail(ctx, "cannot write the message into " + gService->spool.inbound());
    return SMFIS_CONTINUE;
}

sfsistat OnEndOfMessage(SMFICTX* ctx) {
    Connection* c = Of(ctx);
    if (!c) return TempFail(ctx, "no connection state");
    sfsistat status = EndOfMessage(ctx, *c, *gService);
    c->reset(gService->memory);
    return status;
}

sfsistat OnAbort(SMFICTX* ctx) {
    if (Connection* c = Of(ctx)) c->reset(gService->memory);
    return SMFIS_CONTINUE;
}

sfsistat OnClose(SMFICTX* ctx) {
    if (Connection* c = Of(ctx)) {
        c->reset(gService->memory);
        delete c;
    }
    smfi_setpriv(ctx, nullptr);
    return SMFIS_CONTINUE;
}

}  // namespace

bool OpenMilterSocket(MilterService& service) {
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
        return false;
    }
    // The MTA waits for an answer no longer than the run's bound and a margin.
    smfi_settimeout(int(service.options.timeout.count()) + 30);
    if (smfi_opensocket(true) != MI_SUCCESS) {
        std::fprintf(stderr, "kzmta milter: cannot open %s\n", service.options.socket.c_str());
        return false;
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
    return true;
}

int ServeMilter() {
    return smfi_main() == MI_SUCCESS ? 0 : 1;
}

}  // namespace kz::tool
