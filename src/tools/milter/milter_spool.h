#pragma once
// The milter's spool: each SMTP transaction becomes a queued message in the SMTP
// connector's Inbound folder, where the agent expects what the MTA queues.

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "milter_digest.h"

namespace kz::tool {

// What the MTA told the milter about one message.
struct MilterTransaction {
    std::string clientAddress;
    std::string server;                   // the MTA's host name
    std::string sender;                   // MAIL FROM, without angle brackets
    std::vector<std::string> recipients;  // RCPT TO, without angle brackets
    std::string login;                    // the authenticated login, empty when none
    std::string queueId;                  // the MTA's queue ID ({i}), empty when not sent
    std::vector<std::pair<std::string, std::string>> headers;  // name, value as given
    std::string body;
};

// "[SMTP:address]", the envelope address form of the queue.
std::string EnvelopeAddressOf(std::string_view address);
// The bare address of "[TYPE:address]"; the text itself when it is not in that form.
std::string AddressOfEnvelopeValue(std::string_view value);
// Splits "Recipients=" entries joined by ';' into bare addresses.
std::vector<std::string> EnvelopeRecipients(std::string_view recipientsLine);
// The value of the last "Key=" line of a command file (empty when absent).
std::string CommandFileValue(std::string_view commandFile, std::string_view key);

// The header block as queued, the blank line that ends it included, lines ended by CR LF.
std::string QueuedHeaderBlock(const MilterTransaction& transaction);
// The command file: the envelope as key=value lines ended by CR LF.
std::string QueuedCommandText(const MilterTransaction& transaction);

struct SpooledMessage {
    std::string id;
    std::string commandFile;
    std::string messageFile;
    std::string headers;     // the message file's header block as written, blank line included
    std::string bodyDigest;  // of the body as written (BodyDigest)
    std::string commands;    // the command file as written
};

class MilterSpool;

// One transaction's message file, written as the MTA sends it: the header block, then
// the body piece by piece with its line ends made CR LF, under a temporary name (mode
// 0600) until finish() names it. The body is never held whole.
class SpoolWriter {
  public:
    SpoolWriter(const MilterSpool& spool, const MilterTransaction& transaction);
    ~SpoolWriter();  // a message never finished leaves nothing behind
    SpoolWriter(const SpoolWriter&) = delete;
    SpoolWriter& operator=(const SpoolWriter&) = delete;

    bool appendBody(std::string_view piece);
    // Names the message file `id` (a new transaction name when empty) and writes the
    // command file last; empty when either cannot be written (nothing is left then).
    std::optional<SpooledMessage> finish(std::string id = {});
    // Bytes written so far (the header block included).
    std::uint64_t size() const { return size_; }
    // The body's digest; no body can be appended after it is asked for.
    const std::string& bodyDigest();

  private:
    bool write(std::string_view bytes);

    const MilterSpool& spool_;
    std::string commands_, headers_, temporary_, bodyDigest_;
    int fd_ = -1;
    bool failed_ = false, afterCr_ = false;
    std::uint64_t size_ = 0;
    BodyDigest digest_;
};

class MilterSpool {
  public:
    // The queue of `connector` under the Connector Root Directory; creates its folders.
    MilterSpool(std::string connectorRoot, std::string connector);

    const std::string& connector() const { return connector_; }
    // The connector's folder, where the milter keeps what is not queued mail.
    const std::string& folder() const { return folder_; }
    const std::string& inbound() const { return inbound_; }
    const std::string& inboundMessages() const { return inboundMessages_; }
    const std::string& outgoing() const { return outgoing_; }
    const std::string& outgoingMessages() const { return outgoingMessages_; }
    // Where a new message waits while the MTA takes it.
    const std::string& sending() const { return sending_; }
    const std::string& sendingMessages() const { return sendingMessages_; }

    // A new name of the milter's own, told apart from the names actions queue under.
    static std::string newTransactionId();
    static bool isTransactionId(std::string_view name);

    // The whole transaction through a SpoolWriter at once.
    std::optional<SpooledMessage> write(const MilterTransaction& transaction) const;
    // Removes what is left of a transaction: its two files and a working copy.
    void remove(const SpooledMessage& message) const;
    // Whether a transaction is queued under the name now (the hand-off leaves it alone;
    // a message that came back is queued under the name it was handed on with).
    bool holds(const std::string& name) const;
    // What a crash left: the milter's own transactions, temporaries and working copies.
    // New messages that actions queued are not touched; they are still to be handed on.
    std::size_t clearLeftovers() const;

  private:
    friend class SpoolWriter;
    mutable std::mutex mutex_;
    mutable std::set<std::string> held_;
    std::string root_, connector_, folder_;
    std::string inbound_, inboundMessages_, outgoing_, outgoingMessages_;
    std::string sending_, sendingMessages_;
};

}  // namespace kz::tool
