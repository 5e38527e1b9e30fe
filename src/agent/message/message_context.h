#pragma once
// The per-message record of one filter run: the queue names, the envelope read from
// the command file, and what the scan and providers learn about the message. It belongs
// to one run on one thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/text_limit.h"

namespace kz {

// Envelope fields of the command file, with the limits of their fixed fields
// (recipients has no limit).
struct MessageEnvelope {
    static constexpr TextLimit kSenderLimit{512};
    static constexpr TextLimit kServerLimit{256};
    static constexpr TextLimit kClientIpLimit{66};
    static constexpr TextLimit kAccountLimit{128};
    static constexpr TextLimit kUserLimit{128};
    static constexpr TextLimit kStatusLimit{16};
    static constexpr TextLimit kCommandTypeLimit{32};
    static constexpr TextLimit kSubjectLimit{1024};

    std::string recipients;  // EnvelopeAddress entries joined by ';'
    std::string sender;
    std::string server;
    std::string clientIp;
    std::string account;
    std::string user;
    std::string status;
    std::string commandType;
    std::string subject;
    int32_t timeAcquired = 0;
    int32_t authenticationStatus = 0;
};

// The command file as ReadEnvelope found it. Rewriting the envelope of the same message
// keeps the lines the writer does not produce itself, so no envelope data the MTA put
// there is lost.
struct CommandFileSource {
    bool read = false;
    std::string connectorName;  // the queue names the lines were read under
    std::string messageId;
    std::vector<std::string> lines;  // without their line ends
};

struct MessageContext : MessageEnvelope {
    static constexpr TextLimit kNameLimit{64};  // connectorName, messageId

    std::string connectorName;
    std::string messageId;

    CommandFileSource commandFile;

    // Set when the run only explains its decisions: checks that would change a file
    // (the DKIM header, quarantine copies) leave it alone.
    bool readOnly = false;

    // Set for a message evaluated outside the queue (a file or a mail folder the
    // administrator's tool reads): its text in the queued form, which the scan reads
    // instead of the Inbound queue's message file. Its owner outlives the run.
    const std::string* heldText = nullptr;

    // Set by the scan for a message the agent queued itself (its seal verified): no
    // action queues another message about it, so a verdict on it cannot start a loop.
    bool ownMessage = false;
};

}  // namespace kz
