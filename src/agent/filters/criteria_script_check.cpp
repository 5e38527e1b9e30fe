#include "filters/criteria_script_text.h"

namespace kz::filters {

namespace {

MessageEnvelope SampleEnvelope() {
    MessageEnvelope envelope;
    envelope.clientIp = "192.0.2.1";
    envelope.account = "Main";
    envelope.sender = "[SMTP:sender@example.com]";
    envelope.recipients = "[SMTP:recipient@example.com]";
    envelope.subject = "Sample subject";
    return envelope;
}

}  // namespace

std::optional<ScriptSyntaxError> CheckCriteriaScript(const FilterDefinition& filter) {
    CriteriaResults results;
    results.blocks.resize(1);
    for (auto& row : results.block(1).instanceValue)
        for (std::string& value : row) value = "1";
    MessageEnvelope envelope = SampleEnvelope();
    std::optional<ScriptSyntaxError> error =
        CheckScriptSyntax(GenerateCriteriaScript(1, filter, results, &envelope, false));
    if (error && error->line > kGeneratedHeadLines) error->line -= kGeneratedHeadLines;
    return error;
}

}  // namespace kz::filters
