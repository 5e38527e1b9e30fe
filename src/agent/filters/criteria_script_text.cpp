#include "filters/criteria_script_text.h"

#include "base/format.h"
#include "base/text_limit.h"
#include "config/settings.h"
#include "filters/criterion_type.h"
#include "log/trace.h"

namespace kz::filters {

namespace {

constexpr std::string_view kHead =
    "Dim KZResultData\r\nKZResultData = \"SCRIPT\"\r\nFunction KZ_GetResultData()\r\n"
    "KZ_GetResultData=KZResultData\r\nEnd Function\r\nFunction CriteriaMet(Value,Condition)\r\n"
    "\tCriteriaMet=(Value<>0)\r\nEnd Function\r\nFunction KZ_Execute\r\n\tFilterResult=0\r\n";
constexpr std::string_view kTail = "\r\nKZ_Execute = FilterResult\r\nEnd Function\r\n";
constexpr TextLimit kSenderAddressLimit{512};

void ReplaceAll(std::string& text, std::string_view token, std::string_view value) {
    for (std::size_t at = text.find(token); at != std::string::npos;
         at = text.find(token, at + value.size()))
        text.replace(at, token.size(), value);
}

// Every placeholder stands inside a string literal in the scripts administrators write,
// so a double quote in any envelope value is doubled: a sender such as
// "x\" : FilterResult = 1 : y = \""@host must not become script code.
std::string Quoted(std::string_view value) {
    std::string out;
    for (char c : value) {
        out += c;
        if (c == '"') out += '"';
    }
    return out;
}

std::string SenderAddress(std::string_view sender) {
    std::size_t colon = sender.find(':');
    if (colon == std::string_view::npos) return std::string(kSenderAddressLimit.cut(sender));
    std::string_view address = sender.substr(colon + 1);
    if (!address.empty()) address.remove_suffix(1);
    return std::string(kSenderAddressLimit.cut(address));
}

void ReplaceTokens(std::string& script, int position, const FilterDefinition& filter,
                   const CriteriaResults& results, bool trace) {
    const MatchResultBlock* block = position >= 1 && std::size_t(position) <= results.blocks.size()
                                        ? &results.block(position)
                                        : nullptr;
    for (int k = 0; k < kCriterionCount; ++k) {
        std::string token = formatText("[KZ_%s]", std::string(KindOf(k).keyword).c_str());
        for (int j = 0; j < filter.slots[std::size_t(k)].instanceCount; ++j) {
            // Instances past the result row have no value: they count as unmet.
            std::string_view value;
            if (block && j < kMaxInstances)
                value = block->instanceValue[std::size_t(k)][std::size_t(j)];
            if (trace)
                log::Trace("Checking Filter[%ld]Criteria[%ld]::(%s)->%ld\n", long(position),
                           long(k), std::string(value).c_str(), long(value.empty() ? 0 : value[0]));
            bool met = !value.empty() && value != "0";
            if (trace) {
                if (met)
                    log::Trace("Setting True value %s\n", std::string(value).c_str());
                else
                    log::Trace("Setting False\n");
            }
            std::size_t at = script.find(token);
            if (at != std::string::npos) script.replace(at, token.size(), met ? value : "0");
        }
    }
}

}  // namespace

std::string ReplacePlaceholders(std::string scriptText, const MessageEnvelope& message) {
    ReplaceAll(scriptText, "%IPADDRESS%", Quoted(message.clientIp));
    ReplaceAll(scriptText, "%POSTOFFICE%", Quoted(message.account));
    ReplaceAll(scriptText, "%SENDER%", Quoted(message.sender));
    ReplaceAll(scriptText, "%SENDERADDRESS%", Quoted(SenderAddress(message.sender)));
    ReplaceAll(scriptText, "%RECIPIENTS%", Quoted(message.recipients));
    ReplaceAll(scriptText, "%SUBJECT%", Quoted(message.subject));
    return scriptText;
}

std::string GenerateCriteriaScript(int position, const FilterDefinition& filter,
                                   const CriteriaResults& results, const MessageEnvelope* message,
                                   bool traceTokens) {
    std::string script = filter.scriptText;
    if (config::Settings().scriptLiteralMode != 0)
        script = ReplacePlaceholders(std::move(script), message ? *message : MessageEnvelope());
    ReplaceTokens(script, position, filter, results, traceTokens);
    std::string generated;
    generated.reserve(kHead.size() + script.size() + kTail.size());
    generated.append(kHead).append(script).append(kTail);
    return generated;
}

}  // namespace kz::filters
