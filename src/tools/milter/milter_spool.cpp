#include "milter_spool.h"

#include <ctime>

#include "base/ascii.h"
#include "base/line_breaks.h"
#include "platform/files.h"
#include "platform/guid.h"

namespace kz::tool {

namespace {

using platform::joinPath;
using platform::resolvePath;

constexpr std::string_view kTransactionPrefix = "MILTER-";
constexpr std::size_t kSubjectMaximum = 1023;

// Every line end becomes CR LF: what the MTA hands over may end lines with LF alone.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// A folded value keeps its folds; a line inside it that does not start with a blank
// would end the header block early, so it gets one.
std::string FoldedValue(std::string_view value) {
    std::string text = WithCrLf(value);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\n' &&
            (i + 1 >= text.size() || (text[i + 1] != ' ' && text[i + 1] != '\t')))
            out += '\t';
    }
    return out;
}

std::string DomainOf(std::string_view address) {
    std::size_t at = address.rfind('@');
    return at == std::string_view::npos ? std::string() : std::string(address.substr(at + 1));
}

std::string FirstSubject(const MilterTransaction& transaction) {
    for (const auto& [name, value] : transaction.headers) {
        if (!equalsIgnoreCase(name, "Subject")) continue;
        std::string subject = BlankLineBreaks(value);
        if (subject.size() > kSubjectMaximum) subject.resize(kSubjectMaximum);
        return subject;
    }
    return {};
}

// Whole under a temporary name, then renamed: the agent never sees half a file. Not
// flushed to disk: the MTA keeps the message until the milter answers, and a crash
// leaves only files that the next start clears.
bool WriteWhole(const std::string& path, std::string_view content) {
    std::string temporary = platform::temporaryNameFor(path);
    if (platform::appendFile(temporary, content) && platform::renameFile(temporary, path))
        return true;
    platform::removeFile(temporary);
    return false;
}

bool IsWorkingCopyOf(std::string_view name) {
    return name.size() > 1 && name[0] == '_' && MilterSpool::isTransactionId(name.substr(1));
}

}  // namespace

std::string EnvelopeAddressOf(std::string_view address) {
    return "[SMTP:" + BlankLineBreaks(address) + "]";
}

std::string AddressOfEnvelopeValue(std::string_view value) {
    std::size_t colon = value.find(':');
    std::size_t close = value.rfind(']');
    if (value.empty() || value.front() != '[' || colon == std::string_view::npos ||
        close == std::string_view::npos || close < colon)
        return std::string(value);
    return std::string(value.substr(colon + 1, close - colon - 1));
}

std::vector<std::string> EnvelopeRecipients(std::string_view recipientsLine) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= recipientsLine.size()) {
        std::size_t end = recipientsLine.find(';', start);
        if (end == std::string_view::npos) end = recipientsLine.size();
        std::string_view entry = recipientsLine.substr(start, end - start);
        if (!entry.empty()) out.push_back(AddressOfEnvelopeValue(entry));
        start = end + 1;
    }
    return out;
}

std::string CommandFileValue(std::string_view commandFile, std::string_view key) {
    std::string value;  // a key given twice takes its last line, as the agent reads it
    std::size_t start = 0;
    while (start < commandFile.size()) {
        std::size_t end = commandFile.find('\n', start);
        if (end == std::string_view::npos) end = commandFile.size();
        std::string_view line = commandFile.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=')
            value = line.substr(key.size() + 1);
        start = end + 1;
    }
    return value;
}

std::string QueuedMessageText(const MilterTransaction& transaction) {
    std::string text;
    for (const auto& [name, value] : transaction.headers)
        text += BlankLineBreaks(name) + ": " + FoldedValue(value) + "\r\n";
    text += "\r\n";
    text += WithCrLf(transaction.body);
    return text;
}

std::string QueuedCommandText(const MilterTransaction& transaction) {
    std::string recipients;
    for (const std::string& recipient : transaction.recipients) {
        if (!recipients.empty()) recipients += ';';
        recipients += EnvelopeAddressOf(recipient);
    }
    std::string account =
        transaction.recipients.empty() ? std::string() : DomainOf(transaction.recipients.front());
    bool authenticated = !transaction.login.empty();
    return "Recipients=" + recipients + "\r\nSender=" + EnvelopeAddressOf(transaction.sender) +
           "\r\nServer=" + BlankLineBreaks(transaction.server) +
           "\r\nClientIP=" + BlankLineBreaks(transaction.clientAddress) +
           "\r\nAccount=" + BlankLineBreaks(account) +
           "\r\nUser=" + BlankLineBreaks(transaction.login) +
           "\r\nStatus=Undelivered\r\nCommandType=SMTP" +
           "\r\nSubject=" + FirstSubject(transaction) +
           "\r\nTimeAcquired=" + std::to_string(long(std::time(nullptr))) +
           "\r\nAuthenticationStatus=" + (authenticated ? "1" : "0") + "\r\n";
}

MilterSpool::MilterSpool(std::string connectorRoot, std::string connector)
    : root_(std::move(connectorRoot)), connector_(std::move(connector)) {
    platform::createDirectory(root_);
    std::string connectorDir = resolvePath(joinPath(root_, connector_));
    platform::createDirectory(connectorDir);
    inbound_ = resolvePath(joinPath(connectorDir, "Inbound"));
    outgoing_ = resolvePath(joinPath(connectorDir, "Outgoing"));
    platform::createDirectory(inbound_);
    inboundMessages_ = resolvePath(joinPath(inbound_, "Messages"));
    platform::createDirectory(inboundMessages_);
    outgoingMessages_ = resolvePath(joinPath(outgoing_, "Messages"));
}

std::string MilterSpool::newTransactionId() {
    return std::string(kTransactionPrefix) + platform::newQueuedMessageId();
}

bool MilterSpool::isTransactionId(std::string_view name) {
    return name.size() > kTransactionPrefix.size() &&
           name.substr(0, kTransactionPrefix.size()) == kTransactionPrefix;
}

std::optional<SpooledMessage> MilterSpool::write(const MilterTransaction& transaction) const {
    SpooledMessage message;
    message.id = newTransactionId();
    message.messageFile = joinPath(inboundMessages_, message.id);
    message.commandFile = joinPath(inbound_, message.id);
    message.text = QueuedMessageText(transaction);
    message.commands = QueuedCommandText(transaction);
    if (!WriteWhole(message.messageFile, message.text)) return std::nullopt;
    if (!WriteWhole(message.commandFile, message.commands)) {
        platform::removeFile(message.messageFile);
        return std::nullopt;
    }
    return message;
}

void MilterSpool::remove(const SpooledMessage& message) const {
    platform::removeFile(message.commandFile);
    platform::removeFile(message.messageFile);
    platform::removeFile(joinPath(inboundMessages_, "_" + message.id));
}

std::size_t MilterSpool::clearLeftovers() const {
    std::size_t removed = 0;
    for (const std::string& folder : {inbound_, inboundMessages_}) {
        for (const std::string& name : platform::listDirectory(folder)) {
            if (!isTransactionId(name) && !IsWorkingCopyOf(name) &&
                !platform::isTemporaryName(name))
                continue;
            std::string path = joinPath(folder, name);
            if (!platform::isDirectory(path) && platform::removeFile(path)) ++removed;
        }
    }
    return removed;
}

}  // namespace kz::tool
