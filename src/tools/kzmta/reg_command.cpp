#include <cstdio>

#include "commands.h"

namespace kz::tool {

int runRegCommand(const Args&) {
    std::fprintf(stderr, "kzmta reg: not available yet\n");
    return 1;
}

}  // namespace kz::tool
