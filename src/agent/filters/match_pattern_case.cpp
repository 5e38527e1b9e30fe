#include "config/settings.h"
#include "filters/match_pattern.h"

namespace kz::filters {

bool CaseSensitiveMatching() {
    return config::CaseSensitivity() == 1;
}

}  // namespace kz::filters
