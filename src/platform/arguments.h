#pragma once
// A program's arguments, as UTF-8 on every system.

#include <string>
#include <vector>

namespace kz::platform {

// Windows hands main() its arguments in the ANSI code page, where a character outside it
// (a folder named in Chinese on a Western system) is lost: there they are read again
// from the wide command line. Elsewhere argv is UTF-8 already and taken as it is.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace kz::platform
