#include "file_envelope.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "base/ascii.h"
#include "config/paths.h"
#include "message/mime_headers.h"
#include "message/mime_reader.h"

namespace kz::tool {

namespace {

std::string_view headerBlockOf(const std::string& queued) {
    std::size_t end = queued.find("\r\n\r\n");
    return end == std::string::npos ? std::string_view(queued)
                                    : std::string_view(queued).substr(0, end + 2);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// An address that can stand in an envelope value: one line, no blank, no bracket or
// separator of the envelope's own syntax.
bool isPlainAddress(std::string_view address) {
    if (address.find('@') == std::string_view::npos) return false;
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f ||
            std::string_view("\"<>[];,").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

// The addresses of an address list: "Name <a@b>, c@d" gives a@b and c@d. Commas inside
// quotes or angle brackets do not separate.
std::vector<std::string> addressesOf(std::string_view list) {
    std::vector<std::string> found;
    auto take = [&found](std::string_view item) {
        std::size_t open = item.rfind('<');
        std::size_t close = open == std::string_view::npos ? open : item.find('>', open);
        std::string_view address =
            close != std::string_view::npos ? item.substr(open + 1, close - open - 1) : item;
        address = trimmed(address);
        if (isPlainAddress(address)) found.emplace_back(address);
    };
    bool quoted = false;
    int angle = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        char c = list[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '<') ++angle;
        if (c == '>' && angle > 0) --angle;
        if ((c == ',' || c == ';') && angle == 0) {
            take(list.substr(start, i - start));
            start = i + 1;
        }
    }
    take(list.substr(start));
    return found;
}

bool isAddressText(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '.' && c != ':') return false;
    return text.find_first_of(".:") != std::string_view::npos;
}

// The first "[address]" of a Received header ("[IPv6:...]" included).
std::string receivedAddress(std::string_view received) {
    for (std::size_t open = received.find('['); open != std::string_view::npos;
         open = received.find('[', open + 1)) {
        std::size_t close = received.find(']', open);
        if (close == std::string_view::npos) break;
        std::string_view inside = received.substr(open + 1, close - open - 1);
        if (startsWithIgnoreCase(inside, "IPv6:")) inside.remove_prefix(5);
        if (isAddressText(inside)) return std::string(inside);
    }
    return {};
}

std::string envelopeAddress(std::string_view address) {
    return "[SMTP:" + std::string(address) + "]";
}

}  // namespace

void CheckEnvelopeOptions(const EnvelopeOptions& options) {
    if (!options.from.empty() && !isPlainAddress(options.from))
        throw std::runtime_error("--from takes an address: '" + options.from + "'");
    for (const std::string& address : options.rcpt)
        if (!isPlainAddress(address))
            throw std::runtime_error("--rcpt takes an address: '" + address + "'");
    if (!options.ip.empty() && !isAddressText(options.ip))
        throw std::runtime_error("--ip takes an IPv4 or IPv6 address: '" + options.ip + "'");
    if (options.connector.empty() || !config::IsPlainName(options.connector))
        throw std::runtime_error("--connector takes a connector name: '" + options.connector + "'");
}

std::string QueuedForm(std::string_view text) {
    return NormaliseLineEnds(text);
}

void FillFileEnvelope(MessageContext& context, const std::string& queued,
                      const EnvelopeOptions& options) {
    const std::vector<HeaderEntry> headers = ParseHeaderList(headerBlockOf(queued));
    auto first = [&headers](std::string_view name) -> std::string_view {
        const HeaderEntry* entry = FindFirstHeader(headers, name);
        return entry ? std::string_view(entry->value) : std::string_view();
    };

    // "Return-Path: <>" is the null sender of a bounce: no From address stands in for it.
    std::string sender = options.from;
    const bool hasReturnPath = FindFirstHeader(headers, "Return-Path") != nullptr;
    if (sender.empty()) {
        std::vector<std::string> found = addressesOf(first(hasReturnPath ? "Return-Path" : "From"));
        if (!found.empty()) sender = found.front();
    }
    std::vector<std::string> recipients = options.rcpt;
    for (const auto& names : {std::vector<std::string_view>{"Delivered-To", "X-Original-To"},
                              std::vector<std::string_view>{"To", "Cc"}}) {
        if (!recipients.empty()) break;
        for (const HeaderEntry& entry : headers) {
            bool wanted = false;
            for (std::string_view name : names) wanted |= equalsIgnoreCase(entry.name, name);
            if (!wanted) continue;
            for (std::string& address : addressesOf(entry.value)) {
                bool known = false;
                for (const std::string& r : recipients) known |= equalsIgnoreCase(r, address);
                if (!known) recipients.push_back(std::move(address));
            }
        }
    }

    static_cast<MessageEnvelope&>(context) = MessageEnvelope{};
    context.connectorName.assign(MessageContext::kNameLimit.cut(options.connector));
    MessageEnvelope::kSenderLimit.assign(context.sender,
                                         sender.empty() ? std::string() : envelopeAddress(sender));
    for (const std::string& recipient : recipients)
        context.recipients += (context.recipients.empty() ? "" : ";") + envelopeAddress(recipient);
    MessageEnvelope::kClientIpLimit.assign(
        context.clientIp, options.ip.empty() ? receivedAddress(first("Received")) : options.ip);
    MessageEnvelope::kUserLimit.assign(context.user, options.authenticated);
    context.authenticationStatus = options.authenticated.empty() ? 0 : 1;
    std::string subject(first("Subject"));
    std::replace_if(
        subject.begin(), subject.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    MessageEnvelope::kSubjectLimit.assign(context.subject, subject);
}

}  // namespace kz::tool
