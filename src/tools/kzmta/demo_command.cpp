#include <cstdio>

#include "commands.h"

namespace kz::tool {

int runDemoCommand(const Args&) {
    std::printf("kzmta demo: nothing to show yet\n");
    return 0;
}

}  // namespace kz::tool
