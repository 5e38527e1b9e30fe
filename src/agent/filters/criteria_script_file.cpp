// A criteria script: its whole text is kept for the script host, and each criterion
// token in it enables its kind with the token's argument as one more instance.

#include <optional>

#include "base/format.h"
#include "filters/criteria_files.h"
#include "filters/criteria_script_tokens.h"
#include "log/trace.h"
#include "platform/files.h"

namespace kz::filters {

namespace {

void addInstance(FilterTable& table, int kind, const std::string& argument, CriterionSlot& slot) {
    slot.instanceCount += 1;
    slot.enabled = 1;
    log::Trace("Setting Critieria:%ld:%s\n", long(kind), argument.c_str());
    if (table.patternCaching) CacheWordFile(table, argument, CacheSource::CriteriaScript);
    // Every instance after the first gets its separator, even after an empty argument,
    // so instance j stays field j+1 of the data.
    if (slot.instanceCount > 1) slot.data += '\t';
    slot.data += argument;
}

}  // namespace

void LoadCriteriaScript(FilterTable& table, FilterDefinition& filter, const std::string& path) {
    filter.isScript = true;
    filter.scriptText = platform::readTextFile(path).value_or(std::string());
    for (const ScriptToken& token : ParseScriptTokens(filter.scriptText)) {
        int kind = CriterionFromKeyword(token.keyword);
        if (kind < 0) continue;
        addInstance(table, kind, token.argument, filter.slots[kind]);
    }
}

}  // namespace kz::filters
