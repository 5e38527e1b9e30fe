#include "filters/criteria_script.h"

#include "base/format.h"
#include "filters/criteria_script_text.h"
#include "filters/script_host.h"

namespace kz::filters {

int32_t RunCriteriaScript(int position, const FilterDefinition& filter, CriteriaResults& results,
                          const MessageContext* message, std::string& resultText,
                          TextLimit resultLimit) {
    std::string script = GenerateCriteriaScript(position, filter, results, message, true);
    ScriptLog(formatText("Executing filter script for %s\n", filter.description.c_str()));
    return int32_t(RunScript(script, "KZ_Execute", resultText, resultLimit, false));
}

}  // namespace kz::filters
