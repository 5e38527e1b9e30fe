#pragma once
// The loop check of both scans. A message is the agent's own only when it carries the
// loop header and a seal that verifies for the name it is queued under; a loop header
// from outside, or a seal copied from another message, changes nothing. The agent's own
// message is still held to the antivirus verdict: a forwarded copy carries whatever the
// original carried.

#include <string>
#include <string_view>
#include <vector>

#include "evaluate/evaluation.h"
#include "message/mime_headers.h"

namespace kz::evaluate {

class LoopCheck {
  public:
    explicit LoopCheck(std::string_view messageName) : messageName_(messageName) {}

    void noteHeader(std::string_view name, std::string_view value);
    // A raw header line, "name:" and its value; a line without a colon is no header.
    void noteLine(std::string_view line);
    bool ownMessage() const { return loopHeader_ && sealed_; }

  private:
    std::string messageName_;
    bool loopHeader_ = false;
    bool sealed_ = false;
};

bool IsOwnMessage(const std::vector<HeaderEntry>& headers, std::string_view messageName);

// The scan's result for the agent's own message: marks the context, drops every hit but
// the antivirus verdict's and gives true (actions run) when a filter has that verdict.
bool OwnMessageResult(Evaluation& evaluation);

}  // namespace kz::evaluate
