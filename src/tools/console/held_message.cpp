#include "held_message.h"

#include "base/ascii.h"
#include "console_error.h"
#include "message/envelope_address.h"
#include "message/envelope_fields.h"
#include "message/envelope_text.h"
#include "message/queue_names.h"
#include "platform/files.h"
#include "printable_text.h"

namespace kz::console {

namespace {

// Enough for the headers of nearly every message; a subject beyond it is taken from the
// envelope.
constexpr std::size_t kHeaderPrefix = 32 * 1024;

std::string bareAddress(std::string_view value) {
    std::string address;
    AddressFromEnvelopeValue(value, address, TextLimit{1024});
    return address;
}

std::vector<std::string> recipientList(std::string_view recipients) {
    std::vector<std::string> list;
    while (!recipients.empty()) {
        std::size_t end = recipients.find(';');
        std::string address = bareAddress(recipients.substr(0, end));
        if (!address.empty()) list.push_back(std::move(address));
        if (end == std::string_view::npos) break;
        recipients.remove_prefix(end + 1);
    }
    return list;
}

std::string subjectOf(const std::string& messageFile, const MessageEnvelope& envelope) {
    auto prefix = platform::readFilePrefix(messageFile, kHeaderPrefix);
    if (prefix) {
        std::string_view text = prefix->text;
        std::size_t end = text.find("\r\n\r\n");
        if (end == std::string_view::npos) end = text.find("\n\n");
        // Without the whole header block the last header may be cut: only what is whole.
        if (end == std::string_view::npos && prefix->cut) end = text.rfind('\n');
        auto headers = ParseHeaderList(text.substr(0, end));
        if (const HeaderEntry* subject = FindFirstHeader(headers, "Subject"))
            return tool::PrintableText(subject->value, false);
        if (end != std::string_view::npos && !prefix->cut) return {};
    }
    return tool::PrintableText(envelope.subject, false);
}

}  // namespace

bool IsValidHeldId(std::string_view id) {
    if (id.empty() || !MessageContext::kNameLimit.fits(id)) return false;
    if (!IsSafeQueueName(id) || id.front() == '.' || platform::isTemporaryName(id)) return false;
    if (equalsIgnoreCase(id, "Messages")) return false;
    for (char c : id)
        if (c <= ' ' || c > '~' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|')
            return false;
    return true;
}

std::string HeldMessagesFolder(const std::string& quarantine) {
    return platform::resolvePath(platform::joinPath(quarantine, "Messages"));
}

std::optional<HeldMessage> ReadHeldSummary(const std::string& quarantine,
                                           const std::string& messagesFolder, const std::string& id,
                                           HeldFiles* files) {
    HeldFiles read;
    read.commandFile = platform::joinPath(quarantine, id);
    read.messageFile = platform::joinPath(messagesFolder, id);
    auto commandVersion = platform::fileVersion(read.commandFile);
    if (!commandVersion) {
        read.commandFile = platform::resolvePath(read.commandFile);
        commandVersion = platform::fileVersion(read.commandFile);
        if (!commandVersion) return std::nullopt;
    }
    auto content = platform::readTextFile(read.commandFile);
    if (!content) return std::nullopt;
    auto messageVersion = platform::fileVersion(read.messageFile);
    if (!messageVersion) {
        read.messageFile = platform::resolvePath(read.messageFile);
        messageVersion = platform::fileVersion(read.messageFile);
    }

    HeldMessage message;
    message.id = id;
    message.time = commandVersion->modified;
    read.commandLines = SplitCommandFileLines(*content);
    for (const std::string& line : read.commandLines) {
        ApplyEnvelopeLine(read.envelope, line);
        message.milter |= line.starts_with("QueueID=");
    }
    message.sender = bareAddress(read.envelope.sender);
    message.recipients = recipientList(read.envelope.recipients);
    message.size = messageVersion ? messageVersion->size : 0;
    message.subject = subjectOf(read.messageFile, read.envelope);
    if (files) *files = std::move(read);
    return message;
}

HeldFiles OpenHeld(const Installation& installation, const std::string& id) {
    if (!IsValidHeldId(id))
        throw ConsoleError(ErrorKind::InvalidId, "not a quarantined message's ID: \"" +
                                                     tool::PrintableText(id.substr(0, 100), false) +
                                                     "\"");
    if (installation.quarantine.empty())
        throw ConsoleError(ErrorKind::Unavailable,
                           "the registry names no \"Quarantine Directory\"");
    HeldFiles files;
    auto summary = ReadHeldSummary(installation.quarantine,
                                   HeldMessagesFolder(installation.quarantine), id, &files);
    if (!summary) throw ConsoleError(ErrorKind::NotHeld, "no message " + id + " in the quarantine");
    files.summary = std::move(*summary);
    return files;
}

}  // namespace kz::console
