// Fuzz target: the .reg text of the registry file. A text that parses, written back and
// parsed again, must give the same keys, values and deletions: a rewrite for an
// unrelated change may never alter a value.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/registry.h"

namespace {

bool sameKeys(const std::vector<kz::platform::RegKey>& a,
              const std::vector<kz::platform::RegKey>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].path != b[i].path || a[i].remove != b[i].remove || a[i].values != b[i].values ||
            a[i].removedValues != b[i].removedValues) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<kz::platform::RegKey> keys;
    kz::platform::RegFormat format{};
    if (!kz::platform::parseRegText(bytes, keys, &format).ok()) return 0;
    std::string written = kz::platform::formatRegText(keys, format);
    std::vector<kz::platform::RegKey> again;
    kz::platform::RegResult result = kz::platform::parseRegText(written, again);
    if (!result.ok()) std::fprintf(stderr, "%s\n", result.message.c_str());
    KZ_FUZZ_CHECK(result.ok());
    KZ_FUZZ_CHECK(sameKeys(keys, again));
    return 0;
}
