#include "base/format.h"
#include "config/settings.h"
#include "filters/script_host.h"
#include "log/debug_log.h"
#include "log/trace.h"

namespace kz::filters {

void ScriptLog(std::string_view text) {
    switch (config::Settings().debugStatus) {
        case 1:
            log::DebugLog(text);
            break;
        case 2:
            log::Trace("%.*s", int(text.size()), text.data());
            break;
        default:
            break;
    }
}

}  // namespace kz::filters
