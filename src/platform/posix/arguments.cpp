#include "platform/arguments.h"

namespace kz::platform {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace kz::platform
