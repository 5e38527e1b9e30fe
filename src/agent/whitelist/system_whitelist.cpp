#include "whitelist/system_whitelist.h"

#include <cstddef>
#include <exception>
#include <string>
#include <vector>

#include "base/text_limit.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "log/debug_log.h"
#include "log/exception_report.h"
#include "platform/registry.h"
#include "whitelist/address_patterns.h"

namespace kz::whitelist {

namespace {

// Pattern names are read into a buffer of this limit; a longer name is no address
// pattern and is passed over.
constexpr TextLimit kPatternNameLimit{256};

// Steps of IsWhitelisted, named in the exception report.
enum Step { kStarting = 0, kReadingKey = 1, kComparing = 2, kReporting = 3 };

}  // namespace

bool IsWhitelisted(std::string_view clientAddress) {
    int lineTrace = kStarting;
    try {
        lineTrace = kReadingKey;
        std::vector<platform::RegValue> entries =
            config::machineRegistry().values(config::kWhiteListKey);
        lineTrace = kComparing;
        for (const platform::RegValue& entry : entries) {
            if (!kPatternNameLimit.fits(entry.name)) continue;
            if (!MatchesAddressPattern(entry.name, clientAddress)) continue;
            lineTrace = kReporting;
            std::string address(clientAddress);
            log::DebugLogf(
                "KZ-I0092: %s is registered in the system whitelist and was therefore "
                "excluded from checking\n",
                address.c_str());
            return true;
        }
        return false;
    } catch (...) {
        log::ReportEscapedException("IsWhitelisted", std::current_exception(),
                                    {__FILE__, __LINE__, lineTrace});
        throw;
    }
}

}  // namespace kz::whitelist
