#include "actions/notification_queue.h"

#include <optional>

#include "actions/notification_lines.h"
#include "actions/notification_template.h"
#include "actions/notification_tokens.h"
#include "base/format.h"
#include "base/line_breaks.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/paths.h"
#include "config/settings.h"
#include "log/debug_log.h"
#include "log/trace.h"
#include "message/loop_seal.h"
#include "message/queue_new_message.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace kz::actions {

namespace {

constexpr TextLimit kSenderLineLimit{1024};  // template lines and reasons to the sender
constexpr TextLimit kOtherLineLimit{2048};
constexpr TextLimit kReasonLimit{1024};

// What the named tokens stand for in this notification.
struct Identity {
    std::string messageId;
    std::string messageIdText;
    std::string senderAddress;
    std::string dateText;
};

// The notification's name stands for what it says and to whom: the same request about
// the same message, made again by a run repeated after a crash, names the same message.
std::string NotificationId(const MessageContext& context, const NotificationRequest& request) {
    std::string action = "NOTIFY" + std::to_string(int(request.kind));
    for (std::string_view part :
         {std::string_view(request.templateName), std::string_view(request.toAddress),
          request.texts.filterDescription, request.texts.actionDescription}) {
        action += '\0';
        action += part;
    }
    return NewMessageIdFor(context, action);
}

Identity NewIdentity(std::string messageId) {
    Identity identity;
    identity.messageId = std::move(messageId);
    identity.messageIdText = formatText("<%s@%s>", identity.messageId.c_str(),
                                        config::Settings().localDomainName.c_str());
    // A line break would end the From header and the Sender line of the command file.
    identity.senderAddress = BlankLineBreaks(config::BadMailNotificationSenderAddress());
    identity.dateText = platform::mailDateText(platform::systemNow());
    return identity;
}

// Token values may land in a template's header lines: none may break a line there.
NamedTokens TokensFor(const NotificationRequest& request, const Identity& identity,
                      bool withActionDescription) {
    NamedTokens tokens;
    tokens.emplace_back("[KZ_FILTERNAME]", BlankLineBreaks(request.texts.filterDescription));
    if (withActionDescription)
        tokens.emplace_back("[KZ_ACTIONDESC]", BlankLineBreaks(request.texts.actionDescription));
    tokens.emplace_back("[KZ_BADMAILSENDER]", identity.senderAddress);
    tokens.emplace_back("[KZ_MID]", BlankLineBreaks(identity.messageIdText));
    tokens.emplace_back("[KZ_TIME]", identity.dateText);
    return tokens;
}

std::optional<std::string> ReadTemplate(std::string_view name) {
    if (name.empty()) return std::nullopt;
    // A name that leaves the templates folder would mail any readable file out.
    if (!config::IsPlainName(name)) {
        log::DebugLogf(
            "Notification template name (%.*s) refused: not a plain file name. The "
            "fixed notification is sent instead.\n",
            int(name.size()), name.data());
        return std::nullopt;
    }
    std::string path = platform::resolvePath(
        config::TemplatePath(config::CurrentDirectories()->configuration, name));
    log::Trace("%s\n", path.c_str());
    return platform::readTextFile(path);
}

std::string FixedText(const NotificationRequest& request, const Identity& identity,
                      const std::vector<std::string>& headerLines, std::string_view description) {
    FixedNotificationFields fields;
    fields.kind = request.kind;
    fields.messageIdText = identity.messageIdText;
    fields.senderAddress = identity.senderAddress;
    fields.toAddress = request.toAddress;
    fields.filterDescription = request.texts.filterDescription;
    fields.dateText = identity.dateText;
    fields.loopLines = LoopHeaderLines(identity.messageId, "\n");
    fields.reason.assign(kReasonLimit.cut(request.texts.actionDescription));
    ExpandNotificationTokens(fields.reason, TokensFor(request, identity, false), description,
                             kReasonLimit);
    fields.headerLines = headerLines;
    return FixedNotification(fields);
}

MessageEnvelope NotificationEnvelope(const MessageContext& context,
                                     const NotificationRequest& request, const Identity& identity) {
    MessageEnvelope envelope = context;
    std::string sender = formatText("[SMTP:%s]", identity.senderAddress.c_str());
    MessageEnvelope::kSenderLimit.assign(envelope.sender, sender);
    envelope.recipients = request.recipients;
    envelope.status = "Undelivered";
    envelope.commandType = "NDR";
    return envelope;
}

}  // namespace

bool QueueNotification(const MessageContext& context, const NotificationRequest& request,
                       const std::vector<std::string>& headerLines, const QueueStepHook& hook) {
    if (context.ownMessage) {
        // A notice about the agent's own message could be acted on in turn, without end.
        log::Trace("No notification about %s: the filter queued it itself\n",
                   context.messageId.c_str());
        return false;
    }
    Identity identity = NewIdentity(NotificationId(context, request));
    // Match texts come from the message; none of them may break a line of the notification.
    std::string description = BlankLineBreaks(request.texts.matchDescription);
    TextLimit lineLimit =
        request.kind == NotificationKind::Sender ? kSenderLineLimit : kOtherLineLimit;
    std::optional<std::string> templateText = ReadTemplate(request.templateName);
    std::string text =
        templateText
            ? TemplateNotification(identity.messageId, *templateText, headerLines,
                                   TokensFor(request, identity, true), description, lineLimit)
            : FixedText(request, identity, headerLines, description);
    return QueueNewMessage(config::CurrentDirectories()->connectorRoot, context.connectorName,
                           identity.messageId, WithCrLfLineEnds(text),
                           NotificationEnvelope(context, request, identity), hook)
               ? 1
               : 0;
}

}  // namespace kz::actions
