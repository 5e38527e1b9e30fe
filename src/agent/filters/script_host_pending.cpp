#include "filters/script_host.h"
#include "log/debug_log.h"

namespace kz::filters {

// No script engine yet: every script run fails, so script filters never hold.
long RunScript(std::string_view, std::string_view, std::string& resultData, std::size_t, bool) {
    resultData.clear();
    log::DebugLog("Kaztrel Filter Script incurred an error: (0) script control not available\n");
    return 0;
}

}  // namespace kz::filters
