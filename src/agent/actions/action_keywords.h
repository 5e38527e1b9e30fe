#pragma once
// The action keywords and the operation each runs, in the order a keyword is compared.

#include <span>
#include <string>
#include <string_view>

#include "actions/message_edits.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::actions {

// What an action operation is given.
struct ActionCall {
    MessageContext& context;
    const filters::FilterDefinition& filter;
    std::string_view data;         // field 3
    std::string_view description;  // field 5
    const std::string& matchDescription;
    MessageEdits& edits;  // the run's pending changes to the message files
};

enum class Recording {
    OnSuccess,  // the keyword is recorded when the operation succeeded
    Always,     // recorded before the operation is tried (STOP_PROCESSING)
};

// What an action does with the queued message's files.
enum class FileUse {
    None,   // nothing (the command file at most)
    Edits,  // changes the run's text of the message through ActionCall::edits
    Reads,  // reads, copies, deletes or hands on the files: the edits are written before it
};

// What an action does with the queued message itself.
enum class Disposition {
    None,
    KeepsCopy,  // holds a copy for the administrator (quarantine, bad mail)
    Removes,    // takes the message out of the queue (DELETE, MOVE)
};

struct ActionKeyword {
    std::string_view keyword;
    bool (*run)(const ActionCall&);
    Recording recording;
    FileUse files;
    bool stops;  // STOP_PROCESSING
    Disposition disposition = Disposition::None;
};

// Every keyword, in the order they are compared.
std::span<const ActionKeyword> ActionKeywords();

// The keyword's entry, compared without regard to case; null for unknown keywords.
const ActionKeyword* FindActionKeyword(std::string_view keyword);

}  // namespace kz::actions
