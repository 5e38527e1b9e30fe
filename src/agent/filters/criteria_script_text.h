#pragma once
// The generated script of a criteria script filter: the fixed head, the filter's script
// with its placeholders and criterion tokens substituted, and the fixed tail.

#include <optional>
#include <string>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "filters/script_host.h"
#include "message/message_context.h"

namespace kz::filters {

// The generated script of the filter at position, with the instance values of results
// and the envelope of message (placeholders empty without one). Placeholders are
// replaced when "Script Literal Mode" is not 0. With traceTokens, each token
// substitution writes its trace lines to standard output.
std::string GenerateCriteriaScript(int position, const FilterDefinition& filter,
                                   const CriteriaResults& results, const MessageEnvelope* message,
                                   bool traceTokens);

// Lines of the generated script before the criteria script's first line.
constexpr int kGeneratedHeadLines = 10;

// Compiles the filter's generated script as the host would run it, with sample envelope
// values for the placeholders and every token met; the syntax error, if any, with its
// line counted in the criteria script itself (past its end for an unclosed block).
std::optional<ScriptSyntaxError> CheckCriteriaScript(const FilterDefinition& filter);

// The literal-mode placeholders of scriptText replaced by the envelope's values.
std::string ReplacePlaceholders(std::string scriptText, const MessageEnvelope& message);

}  // namespace kz::filters
