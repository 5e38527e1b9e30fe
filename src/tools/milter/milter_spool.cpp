#include "milter_spool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Every line end becomes CR LF: what the MTA hands over may end lines with LF alone. A
// CR LF split between two pieces stays one line end.
void AppendWithCrLf(std::string_view piece, bool& afterCr, std::string& out) {
    out.reserve(out.size() + piece.size() + piece.size() / 32);
    for (char c : piece) {
        bool lineFeedOfCr = afterCr && c == '\n';
        afterCr = c == '\r';
        if (lineFeedOfCr) continue;
        if (c == '\r' || c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    bool afterCr = false;
    AppendWithCrLf(text, afterCr, out);
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
    if (platform::appendFile(temporary, content) && chmod(temporary.c_str(), 0600) == 0 &&
        platform::renameFile(temporary, path))
        return true;
    platform::removeFile(temporary);
    return false;
}

// Mail in transit is for the milter's user alone, whatever the umask.
void CreatePrivateFolder(const std::string& path) {
    platform::createDirectory(path);
    chmod(path.c_str(), 0700);
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

std::string QueuedHeaderBlock(const MilterTransaction& transaction) {
    std::string text;
    for (const auto& [name, value] : transaction.headers)
        text += BlankLineBreaks(name) + ": " + FoldedValue(value) + "\r\n";
    return text + "\r\n";
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
           "\r\nAuthenticationStatus=" + (authenticated ? "1" : "0") +
           "\r\nQueueID=" + BlankLineBreaks(transaction.queueId) + "\r\n";
}

MilterSpool::MilterSpool(std::string connectorRoot, std::string connector)
    : root_(std::move(connectorRoot)), connector_(std::move(connector)) {
    CreatePrivateFolder(root_);
    std::string connectorDir = resolvePath(joinPath(root_, connector_));
    CreatePrivateFolder(connectorDir);
    folder_ = connectorDir;
    inbound_ = resolvePath(joinPath(connectorDir, "Inbound"));
    outgoing_ = resolvePath(joinPath(connectorDir, "Outgoing"));
    CreatePrivateFolder(inbound_);
    inboundMessages_ = resolvePath(joinPath(inbound_, "Messages"));
    CreatePrivateFolder(inboundMessages_);
    outgoingMessages_ = resolvePath(joinPath(outgoing_, "Messages"));
    sending_ = joinPath(connectorDir, "Sending");
    sendingMessages_ = joinPath(sending_, "Messages");
    CreatePrivateFolder(sending_);
    CreatePrivateFolder(sendingMessages_);
}

std::string MilterSpool::newTransactionId() {
    return std::string(kTransactionPrefix) + platform::newQueuedMessageId();
}

bool MilterSpool::isTransactionId(std::string_view name) {
    return name.size() > kTransactionPrefix.size() &&
           name.substr(0, kTransactionPrefix.size()) == kTransactionPrefix;
}

std::optional<SpooledMessage> MilterSpool::write(const MilterTransaction& transaction) const {
    SpoolWriter writer(*this, transaction);
    if (!writer.appendBody(transaction.body)) return std::nullopt;
    return writer.finish();
}

void MilterSpool::remove(const SpooledMessage& message) const {
    platform::removeFile(message.commandFile);
    platform::removeFile(message.messageFile);
    platform::removeFile(joinPath(inboundMessages_, "_" + message.id));
    std::lock_guard lock(mutex_);
    held_.erase(message.id);
}

bool MilterSpool::holds(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return held_.count(name) > 0;
}

SpoolWriter::SpoolWriter(const MilterSpool& spool, const MilterTransaction& transaction)
    : spool_(spool),
      commands_(QueuedCommandText(transaction)),
      headers_(QueuedHeaderBlock(transaction)) {
    temporary_ = platform::temporaryNameFor(joinPath(spool.inboundMessages(), "MILTER"));
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    failed_ = fd_ < 0 || !write(headers_);
}

SpoolWriter::~SpoolWriter() {
    if (fd_ >= 0) close(fd_);
    if (!temporary_.empty()) platform::removeFile(temporary_);
}

bool SpoolWriter::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(std::size_t(n));
        size_ += uint64_t(n);
    }
    return true;
}

const std::string& SpoolWriter::bodyDigest() {
    if (bodyDigest_.empty()) bodyDigest_ = digest_.finish();
    return bodyDigest_;
}

bool SpoolWriter::appendBody(std::string_view piece) {
    if (failed_ || !bodyDigest_.empty()) return false;
    std::string out;
    AppendWithCrLf(piece, afterCr_, out);
    digest_.add(out);
    failed_ = !write(out);
    return !failed_;
}

std::optional<SpooledMessage> SpoolWriter::finish(std::string id) {
    if (failed_ || close(std::exchange(fd_, -1)) != 0) return std::nullopt;
    SpooledMessage message;
    message.id = id.empty() ? MilterSpool::newTransactionId() : std::move(id);
    message.messageFile = joinPath(spool_.inboundMessages(), message.id);
    message.commandFile = joinPath(spool_.inbound(), message.id);
    message.headers = headers_;
    message.bodyDigest = bodyDigest();
    message.commands = commands_;
    {
        // Held before the command file makes it a queued message.
        std::lock_guard lock(spool_.mutex_);
        if (!spool_.held_.insert(message.id).second) return std::nullopt;
    }
    if (platform::renameFile(temporary_, message.messageFile)) {
        temporary_.clear();
        if (WriteWhole(message.commandFile, message.commands)) return message;
        platform::removeFile(message.messageFile);
    }
    std::lock_guard lock(spool_.mutex_);
    spool_.held_.erase(message.id);
    return std::nullopt;
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
