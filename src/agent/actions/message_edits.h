#pragma once
// The edits of one dispatch run to its message files (header lines, subject prefix,
// annotations), made on one copy in memory and written once: before an action that reads
// or replaces the files on disk, and at the end of the run.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "message/queue_publish.h"

namespace kz::actions {

class MessageEdits {
  public:
    // The hook is handed to every rewrite (tests count and break them with it).
    explicit MessageEdits(QueueStepHook hook = {});
    MessageEdits(const MessageEdits&) = delete;
    MessageEdits& operator=(const MessageEdits&) = delete;
    // Writes what is left, as when an action throws: the edits before it stay made.
    ~MessageEdits();

    // The file's text with this run's edits, read whole when first asked for; null when the
    // file cannot be read (errno tells why). Valid until the next call on this object.
    const std::string* text(const std::string& path);
    // The text of a file that text() gave, to be changed in place. It is written under
    // `temporary` (in the file's folder) and renamed over the file by the next flush.
    std::string& change(const std::string& path, std::string_view temporary);
    // change() with a new text.
    void replace(const std::string& path, std::string text, std::string_view temporary) {
        change(path, temporary) = std::move(text);
    }

    // Rewrites each changed file once; afterwards every file is read afresh, as an action
    // in between may change it. False when a rewrite failed: that file is left as it was.
    bool flush();

  private:
    struct File {
        std::string path;
        std::string text;
        std::string temporary;  // empty while unchanged
    };
    File* find(const std::string& path);

    QueueStepHook hook_;
    std::vector<File> files_;  // the Inbound message file and the Outgoing copy at most
};

}  // namespace kz::actions
