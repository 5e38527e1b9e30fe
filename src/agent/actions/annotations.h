#pragma once
// APPEND_ANNOTATIONS: the post office's annotation texts added to the message.

#include <string>
#include <string_view>

#include "actions/message_edits.h"
#include "base/text_limit.h"
#include "message/message_context.h"

namespace kz::actions {

struct AnnotationRequest {
    static constexpr TextLimit kOwnerLimit{256};
    static constexpr TextLimit kTopNameLimit{260};
    static constexpr TextLimit kBottomNameLimit{256};

    std::string owner;  // the folder under POSTOFFICES that holds the Annotations
    std::string topName;
    bool top = false;
    std::string bottomName;
    bool bottom = false;
};

// "<configuration>/POSTOFFICES/<owner>/Annotations/<name>.TXT"; empty for names that
// are not single path components.
std::string AnnotationFilePath(std::string_view configuration, std::string_view owner,
                               std::string_view name);

// Adds the requested annotations to the run's text of the message file (the Outgoing copy
// when there is one, else the Inbound one). True when the message is as it should be (also
// unchanged: already filtered, no boundary, no annotation file, no message file); false for
// unsafe queue names.
bool AppendAnnotations(MessageEdits& edits, const MessageContext& context,
                       const AnnotationRequest& request);

}  // namespace kz::actions
