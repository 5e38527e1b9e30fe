#include "spamd_check.h"

#include "platform/stream_socket.h"
#include "provider_support/provider_key.h"

namespace kz::providers {

namespace {

constexpr uint16_t kSpamdPort = 783;
// Headers and the rule names; anything longer is not a SYMBOLS answer.
constexpr std::size_t kMaxReply = 64 * 1024;

}  // namespace

SpamdSettings ReadSpamdSettings() {
    const ProviderKey key("SpamAssassin");
    SpamdSettings settings;
    settings.server = key.text("Server", settings.server);
    settings.connectTimeout = key.milliseconds("Connect Timeout", settings.connectTimeout.count());
    settings.timeout = key.milliseconds("Timeout", settings.timeout.count());
    settings.maxSize = key.number("Max Size", settings.maxSize);
    return settings;
}

std::optional<SpamdVerdict> AskSpamd(const SpamdSettings& settings, std::string_view message,
                                     std::string& why) {
    auto connection = platform::StreamConnection::connect(settings.server, kSpamdPort,
                                                          settings.connectTimeout, why);
    if (!connection) return std::nullopt;
    const auto deadline = platform::StreamConnection::Clock::now() + settings.timeout;
    const std::string head =
        "SYMBOLS SPAMC/1.5\r\nContent-length: " + std::to_string(message.size()) + "\r\n\r\n";
    if (!connection->send(head, deadline) || !connection->send(message, deadline)) {
        why = settings.server + ": " + connection->error();
        return std::nullopt;
    }
    connection->finishSending();
    std::string reply;
    using End = platform::StreamConnection::ReceiveEnd;
    switch (connection->receive(reply, kMaxReply, deadline)) {
        case End::Closed:
            break;
        case End::Limit:
            why = settings.server + ": answer longer than " + std::to_string(kMaxReply) + " bytes";
            return std::nullopt;
        default:
            why = settings.server + ": " + connection->error();
            return std::nullopt;
    }
    auto verdict = ParseSpamdReply(reply, why);
    if (!verdict) why = settings.server + ": " + why;
    return verdict;
}

}  // namespace kz::providers
