#pragma once
// The command line of kzmta milter.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "tools/kzmta/command_line.h"

namespace kz::tool {

// An SMTP reply the milter gives: "550", "5.7.1" and the text.
struct SmtpReply {
    std::string code, enhanced, text;
};

struct MilterOptions {
    std::string socket;          // "unix:PATH" or "inet:PORT@HOST"
    unsigned socketMode = 0660;  // of a Unix socket
    std::string registry;
    std::string library;
    unsigned threads = 1;  // agent runs at one time
    // A message the agent removed is discarded, or rejected with this reply.
    bool rejectRemoved = false;
    SmtpReply reject{"550", "5.7.1", "Message refused by the mail filter"};
    std::string sendmail = "sendmail";  // for new messages, unless submit is set
    std::string submit;                 // HOST:PORT to hand new messages to by SMTP
    std::size_t maxSize = 50u << 20;    // bytes of one message
    std::chrono::seconds timeout{120};  // one agent run
    // Bytes of mail held in memory across connections (header blocks; bodies are spooled).
    std::size_t memoryLimit = 256u << 20;
    // New messages handed on come back through this milter (non_smtpd_milters, or a
    // --submit port that uses it): only then are their seals remembered.
    bool handOffReturns = false;
    // A new message the MTA refuses for longer than this goes to the Bad Mail Directory.
    std::chrono::hours handOffExpiry{24};
    bool verbose = false;  // the agent's trace lines on standard error
};

// Adds `kzmta milter` with its options; `run` gets them once they are parsed and checked
// (a malformed value is a usage error).
void AddMilterOptions(CommandLine& cli, std::function<int(const MilterOptions&)> run);
// "550 5.7.1 text", "554 text": a 5xx code, an optional enhanced code, the text.
SmtpReply ParseRejectReply(const std::string& text);

}  // namespace kz::tool
