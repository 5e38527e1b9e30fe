#pragma once
// The envelope of a message that comes as a file rather than from the queue (kzmta
// explain FILE, kzmta replay): taken from the options, else from the headers the
// delivering server left (Return-Path, Delivered-To / X-Original-To, the first Received
// header's address), else from the message's own From, To and Cc headers.

#include <string>
#include <vector>

#include "message/message_context.h"

namespace CLI {
class App;
}

namespace kz::tool {

struct EnvelopeOptions {
    std::string from;                // --from: the sender address
    std::vector<std::string> rcpt;   // --rcpt, repeated: the recipient addresses
    std::string ip;                  // --ip: the client's address
    std::string connector = "SMTP";  // --connector
    std::string authenticated;       // --authenticated USER: the sender logged in as USER
};

// Adds --from, --rcpt (any number), --ip, --connector and --authenticated to a command.
void AddEnvelopeOptions(CLI::App& command, EnvelopeOptions& options);
// Throws std::runtime_error for an address that cannot stand in an envelope or a
// connector that is not a plain name.
void CheckEnvelopeOptions(const EnvelopeOptions& options);

// The message as the MTA would queue it: every bare line feed made CR LF.
std::string QueuedForm(std::string_view text);

// Fills the context's envelope (and connector) for `queued`, the message in its queued
// form, as the command file of such a message would hold it.
void FillFileEnvelope(MessageContext& context, const std::string& queued,
                      const EnvelopeOptions& options);

}  // namespace kz::tool
