#pragma once
// One held message's files in the Quarantine Directory and what is read from them.

#include <optional>
#include <string>
#include <vector>

#include "message/message_context.h"
#include "quarantine.h"

namespace kz::console {

// The quarantine's folder of message files as it is spelled on disk.
std::string HeldMessagesFolder(const std::string& quarantine);

struct HeldFiles {
    std::string commandFile, messageFile;
    std::vector<std::string> commandLines;  // without line ends
    MessageEnvelope envelope;
    HeldMessage summary;  // without what the report log adds
};

// The files of a held message: refuses an ID that is not valid (InvalidId) and one
// without its command file (NotHeld). Throws ConsoleError.
HeldFiles OpenHeld(const Installation& installation, const std::string& id);

// The list row of a message, from its command file and the start of its message file;
// empty when its command file is gone (another process released it meanwhile).
std::optional<HeldMessage> ReadHeldSummary(const std::string& quarantine,
                                           const std::string& messagesFolder, const std::string& id,
                                           HeldFiles* files = nullptr);

// The connector and filters of the report lines that copied the message into the
// quarantine (the last line's connector), and those lines when `lines` is given.
void AddReportFacts(const Installation& installation, HeldMessage& message,
                    std::vector<std::string>* lines = nullptr);

}  // namespace kz::console
