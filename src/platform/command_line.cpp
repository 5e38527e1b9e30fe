// The Windows C runtime's reading of a command line, shared by both systems so that a
// command line starts the same program with the same arguments everywhere.

#include <string>
#include <string_view>

#include "platform/process.h"

namespace kz::platform {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The program name: up to the next blank outside quotes; quotes are dropped and
// backslashes have no special meaning. Leaves `i` after the blank that ended it.
std::string programName(std::string_view line, size_t& i) {
    std::string name;
    bool quoted = false;
    while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && isBlank(c)) {
            break;
        } else {
            name += c;
        }
    }
    return name;
}

// One argument after the program name, starting at a non-blank character.
std::string nextArgument(std::string_view line, size_t& i) {
    std::string arg;
    bool quoted = false;
    while (i < line.size()) {
        size_t slashes = 0;
        while (i < line.size() && line[i] == '\\') ++slashes, ++i;
        bool copy = true;
        if (i < line.size() && line[i] == '"') {
            if (slashes % 2 == 0) {
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    ++i;  // "" inside quotes: the second quote is copied, quoting goes on
                } else {
                    copy = false;
                    quoted = !quoted;
                }
            }
            slashes /= 2;
        }
        arg.append(slashes, '\\');
        if (i >= line.size() || (!quoted && isBlank(line[i]))) break;
        if (copy) arg += line[i];
        ++i;
    }
    return arg;
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    if (line.empty()) return args;
    size_t i = 0;
    args.push_back(programName(line, i));
    for (;;) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        args.push_back(nextArgument(line, i));
    }
    return args;
}

}  // namespace kz::platform
