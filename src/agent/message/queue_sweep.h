#pragma once
// What a process killed in the middle of its work leaves behind: temporaries that were
// never renamed, working copies of a header rewrite, new messages whose message file was
// written but whose command file never was, and messages whose DELETE removed the command
// file but not the message file. Nothing reads them, so they would stay for ever. The sweep clears
// them once they are old enough that no running process can still be writing them, and deletes
// nothing that could be the only copy of a message.

#include <chrono>
#include <cstddef>
#include <string>

namespace kz {

struct SweepFolders {
    std::string connectorRoot;  // every connector's Inbound and Outgoing, with Messages
    std::string badMail;        // with Messages; also where orphaned messages go
    std::string quarantine;     // with Messages
    std::string mailRoot;       // the mail store's folders, at any depth
};

struct SweepReport {
    std::size_t temporariesRemoved = 0;
    std::size_t workingCopiesRemoved = 0;
    std::size_t messagesMovedToBadMail = 0;
};

// Files last changed at least `minimumAge` ago:
// - temporaries (names of platform::temporaryNameFor) are removed;
// - in a connector's Inbound/Messages, a working copy "_<id>" with no command file of its
//   own is removed when the message "<id>" is still there, else moved to bad mail;
// - in a connector's Inbound/Messages, any other message file with no command file (the
//   MTA writes the message file first, moments before the command file) is moved to the
//   bad-mail folder's Messages, the owner's alone.
// A file of the same name already in bad mail is left where it is. Each step is logged.
SweepReport SweepQueueLeftovers(const SweepFolders& folders, std::chrono::seconds minimumAge);

}  // namespace kz
