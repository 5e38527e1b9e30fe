#pragma once
// What the agent did to a queued message, read from what it left in the queue, put as
// the changes a milter can ask of the MTA.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "milter_readback.h"

namespace kz::tool {

struct HeaderChange {
    enum class Kind {
        Change,  // the index-th header of the name gets a new value
        Delete,  // the index-th header of the name goes
        Insert,  // a new header at position `index` of the header block
        Add,     // a new header at the end of the header block
    };
    Kind kind;
    std::string name;
    int index = 0;      // 1-based among headers of the name; 0-based position for Insert
    std::string value;  // folded lines joined by LF, as the milter protocol takes them
    bool operator==(const HeaderChange&) const = default;
};

struct MilterDecision {
    bool gone = false;                  // no longer queued: deleted or moved away
    std::vector<HeaderChange> headers;  // changes and deletions first, then insertions
    bool bodyChanged = false;           // the queued body is the new one
    std::vector<std::string> addedRecipients;
    std::vector<std::string> removedRecipients;
};

// The value of a message's first header of the name (folds kept), empty when absent.
std::string FirstHeaderValue(std::string_view text, std::string_view name);

// Compares the header block, body digest and command file as written with what is
// queued after the run (which must not be Unreadable).
MilterDecision CompareQueuedMessage(std::string_view headersBefore, std::string_view digestBefore,
                                    std::string_view commandsBefore, const QueuedAfterRun& after);

}  // namespace kz::tool
