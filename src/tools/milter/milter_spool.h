#pragma once
// The milter's spool: each SMTP transaction becomes a queued message in the SMTP
// connector's Inbound folder, where the agent expects what the MTA queues.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kz::tool {

// What the MTA told the milter about one message.
struct MilterTransaction {
    std::string clientAddress;
    std::string server;                   // the MTA's host name
    std::string sender;                   // MAIL FROM, without angle brackets
    std::vector<std::string> recipients;  // RCPT TO, without angle brackets
    std::string login;                    // the authenticated login, empty when none
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

// The message text as queued: headers, blank line, body, every line ended by CR LF.
std::string QueuedMessageText(const MilterTransaction& transaction);
// The command file: the envelope as key=value lines ended by CR LF.
std::string QueuedCommandText(const MilterTransaction& transaction);

struct SpooledMessage {
    std::string id;
    std::string commandFile;
    std::string messageFile;
    std::string text;      // the message file as written
    std::string commands;  // the command file as written
};

class MilterSpool {
  public:
    // The queue of `connector` under the Connector Root Directory; creates its folders.
    MilterSpool(std::string connectorRoot, std::string connector);

    const std::string& connector() const { return connector_; }
    const std::string& inbound() const { return inbound_; }
    const std::string& inboundMessages() const { return inboundMessages_; }
    const std::string& outgoing() const { return outgoing_; }
    const std::string& outgoingMessages() const { return outgoingMessages_; }

    // A new name of the milter's own, told apart from the names actions queue under.
    static std::string newTransactionId();
    static bool isTransactionId(std::string_view name);

    // Message file first, command file last, each whole under a temporary name first.
    // Empty when either cannot be written (nothing is left behind then).
    std::optional<SpooledMessage> write(const MilterTransaction& transaction) const;
    // Removes what is left of a transaction: its two files and a working copy.
    void remove(const SpooledMessage& message) const;
    // What a crash left: the milter's own transactions, temporaries and working copies.
    // New messages that actions queued are not touched; they are still to be handed on.
    std::size_t clearLeftovers() const;

  private:
    std::string root_, connector_;
    std::string inbound_, inboundMessages_, outgoing_, outgoingMessages_;
};

}  // namespace kz::tool
