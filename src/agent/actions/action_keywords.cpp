#include "actions/action_keywords.h"

#include "actions/add_header.h"
#include "actions/annotations.h"
#include "actions/append_recipient.h"
#include "actions/copy_to_folder.h"
#include "actions/execute_application.h"
#include "actions/forward.h"
#include "actions/match_description.h"
#include "actions/notifications.h"
#include "actions/subject_prefix.h"
#include "base/ascii.h"
#include "base/text_limit.h"
#include "filters/config_fields.h"
#include "filters/result_tokens.h"
#include "message/envelope.h"
#include "message/envelope_address.h"
#include "message/queue_operations.h"

namespace kz::actions {

namespace {

constexpr TextLimit kTextLimit{1024};
constexpr TextLimit kPartLimit{512};

// "first|second" split at the first bar, each part cut to its field.
std::pair<std::string, std::string> SplitAtBar(std::string_view data, TextLimit secondLimit) {
    std::size_t bar = data.find('|');
    std::string_view first = data.substr(0, bar);
    std::string_view second =
        bar == std::string_view::npos ? std::string_view() : data.substr(bar + 1);
    return {std::string(kPartLimit.cut(first)), std::string(secondLimit.cut(second))};
}

std::string ExpandEnvelopeTokens(std::string value, const MessageContext& context) {
    std::string senderAddress;
    AddressAfterType(context.sender, senderAddress, kTextLimit);
    const std::pair<std::string_view, std::string_view> tokens[] = {
        {"%IPADDRESS%", context.clientIp},    {"%POSTOFFICE%", context.account},
        {"%SENDER%", context.sender},         {"%SENDERADDRESS%", senderAddress},
        {"%RECIPIENTS%", context.recipients}, {"%USER%", context.user},
    };
    for (const auto& [token, replacement] : tokens)
        filters::ReplaceToken(value, token, replacement, kTextLimit);
    return value;
}

bool Delete(const ActionCall& call) {
    return DeleteQueuedMessage(call.context);
}
bool BadMail(const ActionCall& call) {
    return CopyToBadMail(call.context);
}
bool Quarantine(const ActionCall& call) {
    return CopyToQuarantine(call.context);
}
bool Copy(const ActionCall& call) {
    return CopyToMailboxFolder(call.context, call.data);
}
bool Move(const ActionCall& call) {
    return MoveToMailboxFolder(call.context, call.data);
}

bool SubjectPrefix(const ActionCall& call) {
    std::string prefix(call.data);
    filters::ExpandResultTokens(call.matchDescription, prefix, kTextLimit, 1);
    return AddSubjectPrefix(call.edits, call.context, prefix);
}

bool NotifySenderAction(const ActionCall& call) {
    return NotifySender(call.context, call.data, call.matchDescription, call.filter.description,
                        call.description);
}

bool NotifyAddressAction(const ActionCall& call) {
    return NotifyAddress(call.context, call.data, call.matchDescription, call.filter.description,
                         call.description);
}

bool Forward(const ActionCall& call) {
    return ForwardToAddress(call.context, call.data);
}

bool Execute(const ActionCall& call) {
    auto [command, parameters] = SplitAtBar(call.data, kPartLimit);
    return ExecuteApplication(call.context, command, parameters);
}

bool AddHeader(const ActionCall& call) {
    auto [name, value] = SplitAtBar(call.data, kTextLimit);
    filters::ExpandResultTokens(call.matchDescription, value, kTextLimit, 0);
    value = ExpandEnvelopeTokens(std::move(value), call.context);
    return AddHeaderLine(call.edits, call.context, name, value);
}

bool NotifyRecipientsAction(const ActionCall& call) {
    return NotifyRecipients(call.context, call.data, call.matchDescription, call.filter.description,
                            call.description);
}

bool AppendRecipients(const ActionCall& call) {
    // The address comes from the filter's description, as administrators configure it.
    AppendRecipient(call.context, call.filter.description);
    return WriteEnvelope(call.context);
}

bool Annotations(const ActionCall& call) {
    AnnotationRequest request;
    request.owner = "System";
    request.topName = call.filter.criteriaName;
    request.bottomName = call.filter.criteriaName;
    int32_t mode = filters::AtoiText(call.data);
    request.bottom = mode == 1 || mode == 2;
    request.top = mode == 2;
    return AppendAnnotations(call.edits, call.context, request);
}

bool Stop(const ActionCall&) {
    return true;
}

constexpr ActionKeyword kActionKeywords[] = {
    {"DELETE", Delete, Recording::OnSuccess, FileUse::Reads, false, Disposition::Removes},
    {"COPY_TO_BADMAIL", BadMail, Recording::OnSuccess, FileUse::Reads, false,
     Disposition::KeepsCopy},
    {"COPY_TO_QUARANTINE", Quarantine, Recording::OnSuccess, FileUse::Reads, false,
     Disposition::KeepsCopy},
    // A report line names only what happened: a folder copy that failed is left out.
    {"COPY", Copy, Recording::OnSuccess, FileUse::Reads, false},
    {"MOVE", Move, Recording::OnSuccess, FileUse::Reads, false, Disposition::Removes},
    {"ADD_SUBJECT_PREFIX", SubjectPrefix, Recording::OnSuccess, FileUse::Edits, false},
    {"NOTIFY_SENDER", NotifySenderAction, Recording::OnSuccess, FileUse::Reads, false},
    {"NOTIFY_ADDRESS", NotifyAddressAction, Recording::OnSuccess, FileUse::Reads, false},
    {"FORWARD_TO_ADDRESS", Forward, Recording::OnSuccess, FileUse::Reads, false},
    {"EXECUTE_APPLICATION", Execute, Recording::OnSuccess, FileUse::Reads, false},
    {"ADD_HEADER", AddHeader, Recording::OnSuccess, FileUse::Edits, false},
    {"NOTIFY_RECIPIENTS", NotifyRecipientsAction, Recording::OnSuccess, FileUse::Reads, false},
    {"APPEND_RECIPIENTS", AppendRecipients, Recording::OnSuccess, FileUse::None, false},
    {"APPEND_ANNOTATIONS", Annotations, Recording::OnSuccess, FileUse::Edits, false},
    {"STOP_PROCESSING", Stop, Recording::Always, FileUse::None, true},
};

}  // namespace

std::span<const ActionKeyword> ActionKeywords() {
    return kActionKeywords;
}

const ActionKeyword* FindActionKeyword(std::string_view keyword) {
    for (const ActionKeyword& entry : kActionKeywords) {
        if (equalsIgnoreCase(entry.keyword, keyword)) return &entry;
    }
    return nullptr;
}

}  // namespace kz::actions
