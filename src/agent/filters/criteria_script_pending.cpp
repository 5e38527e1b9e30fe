#include "filters/criteria_script.h"
#include "filters/script_host.h"

namespace kz::filters {

// Until the script engine arrives no script is generated; the script host reports that
// it is not available, and script filters never hold.
int RunCriteriaScript(int, const FilterDefinition&, CriteriaResults&, std::string& resultText,
                      std::size_t resultSize) {
    long result = RunScript({}, "KZ_Execute", resultText, resultSize, true);
    return result == 1 ? 1 : 0;
}

}  // namespace kz::filters
