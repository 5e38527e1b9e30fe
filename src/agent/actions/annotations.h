#pragma once
// APPEND_ANNOTATIONS: the post office's annotation texts added to the message.

#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "message/message_context.h"
#include "message/queue_publish.h"

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

// Rewrites the message file (the Outgoing copy when there is one, else the Inbound one)
// with the requested annotations, through a working copy renamed over it. True when the
// message is as it should be (also unchanged: already filtered, no boundary, no
// annotation file, no message file); false for unsafe queue names or a failed rewrite.
bool AppendAnnotations(const MessageContext& context, const AnnotationRequest& request,
                       const QueueStepHook& hook = {});

}  // namespace kz::actions
