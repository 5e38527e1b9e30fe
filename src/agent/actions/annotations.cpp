#include "actions/annotations.h"

#include <optional>
#include <utility>

#include "actions/annotation_text.h"
#include "actions/message_source.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/paths.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::actions {

namespace {

std::optional<std::string> ReadAnnotation(bool wanted, std::string_view owner,
                                          std::string_view name, TextLimit nameLimit) {
    if (!wanted) return std::nullopt;
    std::string path =
        AnnotationFilePath(config::CurrentDirectories()->configuration,
                           AnnotationRequest::kOwnerLimit.cut(owner), nameLimit.cut(name));
    if (path.empty()) return std::nullopt;
    return platform::readTextFile(platform::resolvePath(path));
}

}  // namespace

std::string AnnotationFilePath(std::string_view configuration, std::string_view owner,
                               std::string_view name) {
    if (configuration.empty() || !config::IsPlainName(owner) || !config::IsPlainName(name))
        return {};
    std::string dir = platform::joinPath(platform::joinPath(configuration, "POSTOFFICES"), owner);
    return platform::joinPath(platform::joinPath(dir, "Annotations"), std::string(name) + ".TXT");
}

bool AppendAnnotations(MessageEdits& edits, const MessageContext& context,
                       const AnnotationRequest& request) {
    if (!InboundQueuePaths(config::CurrentDirectories()->connectorRoot, context.connectorName,
                           context.messageId))
        return false;
    if (!request.top && !request.bottom) return true;
    std::optional<std::string> source = DispositionMessageFile(context);
    if (!source) return true;
    const std::string* message = edits.text(*source);
    if (!message) return true;
    std::optional<std::string> annotated =
        AnnotateMessageText(*message,
                            ReadAnnotation(request.top, request.owner, request.topName,
                                           AnnotationRequest::kTopNameLimit),
                            ReadAnnotation(request.bottom, request.owner, request.bottomName,
                                           AnnotationRequest::kBottomNameLimit));
    if (annotated)
        edits.replace(*source, std::move(*annotated), platform::temporaryNameFor(*source));
    return true;
}

}  // namespace kz::actions
